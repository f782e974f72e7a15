// Pull interface of an editor that hands its text to a line loader, line by line.
// Positions are the editor's own; the loader only passes them back.
#pragma once

#include <td/String.h>

namespace mu
{
class ILineLoader
{
public:
    // Puts the next line, without its terminator, into line; false at the end of the text.
    virtual bool getLine(td::MutableString& line) = 0;
    // Position behind the last line read.
    virtual td::UINT4 getCurrentPosition() const = 0;
    // Continues reading at a position returned by getCurrentPosition.
    virtual void setPosition(td::UINT4 pos) = 0;

protected:
    ~ILineLoader() = default;
};
} // namespace mu
