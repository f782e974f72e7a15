// The logger of a host that sees only Include/: it keeps each message as "text@line:col".
// Shared by the tests that link the shared solver library alone.
#pragma once

#include <string>
#include <vector>

#include <sc/ILog.h>

namespace test
{
class HostLog final : public sc::ILog
{
public:
    void reserved0() override {}
    void reserved1() override {}
    void reserved2() override {}
    void showEntry(const LE& entry, Type) override { keep(entry.msg.c_str(), entry.line, entry.col); }
    void setTranslator(Translator) override {}
    void showText(const td::String& text, Type) override { keep(text.c_str(), 0, 0); }
    void showFormatted(const char* key, td::UINT4 line, td::UINT4 col, Type, int, ...) override
    {
        keep(key, line, col);
    }
    void showKeyAt(const char* key, td::UINT4 line, td::UINT4 col, Type) override { keep(key, line, col); }
    void showKey(const char* key, Type) override { keep(key, 0, 0); }
    void reserved9() override {}
    td::UINT4 reserved10() override { return 0; }

    std::vector<std::string> messages;

private:
    void keep(const char* text, td::UINT4 line, td::UINT4 col)
    {
        messages.push_back(std::string(text ? text : "") + "@" + std::to_string(line) + ":" + std::to_string(col));
    }
};
} // namespace test
