// The console logger: every message one line on standard output, with its kind and, for
// a message from the model text, its line and column.
#pragma once

#include <sc/ILog.h>

// Shared by every model of the process through s_consoleLog; no one owns or frees it.
// Writes without a lock of its own and does not flush.
class ConsoleLog final : public sc::ILog
{
public:
    // Lines are shown as given: the line of the model text counted from its first line
    // (entries at line 0 have no position).
    constexpr ConsoleLog() = default;

    void reserved0() override {}
    void reserved1() override {}
    void reserved2() override {}
    void showEntry(const LE& entry, Type type) override;
    void setTranslator(Translator translator) override { _translator = translator; }
    void showText(const td::String& text, Type type) override;
    // nStrings C strings follow; each "@" of the translated key takes the next one, and
    // no more than nStrings are read.
    void showFormatted(const char* key, td::UINT4 line, td::UINT4 col, Type type, int nStrings, ...) override;
    void showKeyAt(const char* key, td::UINT4 line, td::UINT4 col, Type type) override;
    void showKey(const char* key, Type type) override;
    void reserved9() override {}
    // Lets every message through the loaders' limit.
    td::UINT4 reserved10() override { return 0; }

private:
    // The translator's text for the key, or the key itself when there is none.
    td::String translate(const char* key) const;

    Translator _translator = nullptr;
};

// The one console logger of the process, constant-initialised: ready before any code runs,
// also for static initialisers of other libraries.
extern ConsoleLog s_consoleLog;
