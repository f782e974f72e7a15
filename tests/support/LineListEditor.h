// An editor for tests that hands out a fixed list of lines; positions are line numbers.
#pragma once

#include <string>
#include <vector>

#include <mu/ILineLoader.h>

namespace test
{
class LineListEditor final : public mu::ILineLoader
{
public:
    explicit LineListEditor(std::vector<std::string> lines) : _lines(std::move(lines)) {}
    bool getLine(td::MutableString& line) override
    {
        line.clear();
        if (_pos >= _lines.size())
            return false;
        line.append(_lines[_pos].c_str(), _lines[_pos].size());
        ++_pos;
        return true;
    }
    td::UINT4 getCurrentPosition() const override { return static_cast<td::UINT4>(_pos); }
    void setPosition(td::UINT4 pos) override { _pos = pos; }

private:
    std::vector<std::string> _lines;
    std::size_t _pos = 0;
};
} // namespace test
