// A logger for tests: keeps every message with its slot, position and type.
#pragma once

#include <string>
#include <vector>

#include <sc/AtSubstitution.h>
#include <sc/ILog.h>

namespace test
{
class RecordingLog final : public sc::ILog
{
public:
    enum class Slot
    {
        Entry,
        Text,
        Formatted,
        KeyAt,
        Key
    };

    struct Message
    {
        Slot slot;
        std::string text;
        td::UINT4 line;
        td::UINT4 col;
        Type type;
    };

    void reserved0() override { ++reserved0Calls; }
    void reserved1() override {}
    void reserved2() override {}
    void showEntry(const LE& entry, Type type) override
    {
        record(Slot::Entry, entry.msg.c_str(), entry.line, entry.col, type);
    }
    void setTranslator(Translator translator) override { _translator = translator; }
    void showText(const td::String& text, Type type) override { record(Slot::Text, text.c_str(), 0, 0, type); }
    void showFormatted(const char* key, td::UINT4 line, td::UINT4 col, Type type, int nStrings, ...) override
    {
        if (!key || !*key)
            return;
        va_list args;
        va_start(args, nStrings);
        td::String text = sc::substituteAtV(translate(key).c_str(), nStrings, args);
        va_end(args);
        record(Slot::Formatted, text.c_str(), line, col, type);
    }
    void showKeyAt(const char* key, td::UINT4 line, td::UINT4 col, Type type) override
    {
        record(Slot::KeyAt, translate(key).c_str(), line, col, type);
    }
    void showKey(const char* key, Type type) override { record(Slot::Key, translate(key).c_str(), 0, 0, type); }
    void reserved9() override {}
    td::UINT4 reserved10() override { return countAnswer; }

    std::size_t countOfType(Type type) const
    {
        std::size_t n = 0;
        for (const Message& m : messages)
            n += m.type == type;
        return n;
    }

    std::vector<Message> messages;
    int reserved0Calls = 0;
    td::UINT4 countAnswer = 0;

private:
    td::String translate(const char* key) const { return _translator ? _translator(key) : td::String(key); }
    void record(Slot slot, const char* text, td::UINT4 line, td::UINT4 col, Type type)
    {
        messages.push_back({slot, text ? text : "", line, col, type});
    }

    Translator _translator = nullptr;
};
} // namespace test
