// The console logger's output format and the model library's console logger export.
#include "ConsoleLog.h"

#include <cstdarg>
#include <cstdio>

#include <sc/AtSubstitution.h>
#include <sc/ModelFactories.h>

constinit ConsoleLog s_consoleLog;

td::String ConsoleLog::translate(const char* key) const
{
    if (_translator)
        return _translator(key);
    return td::String(key);
}

void ConsoleLog::showEntry(const LE& entry, Type type)
{
    if (type != Info && type != Warning && type != Error)
        return;
    if (type != Info)
    {
        const char* kind = type == Warning ? "Warning!" : "Error!";
        if (entry.line != 0)
            std::printf("%s LineNo=%u, colNo=%u, msg=", kind, entry.line, entry.col);
        else
            std::printf("%s Msg=", kind);
    }
    std::fwrite(entry.msg.c_str(), 1, entry.msg.length(), stdout);
    std::fputc('\n', stdout);
}

void ConsoleLog::showText(const td::String& text, Type type) { showEntry(LE{text, 0, 0}, type); }

void ConsoleLog::showFormatted(const char* key, td::UINT4 line, td::UINT4 col, Type type, int nStrings, ...)
{
    if (!key || !*key)
        return;
    va_list args;
    va_start(args, nStrings);
    td::String text = sc::substituteAtV(translate(key).c_str(), nStrings, args);
    va_end(args);
    showEntry(LE{text, line, col}, type);
}

void ConsoleLog::showKeyAt(const char* key, td::UINT4 line, td::UINT4 col, Type type)
{
    showEntry(LE{translate(key), line, col}, type);
}

void ConsoleLog::showKey(const char* key, Type type) { showEntry(LE{translate(key), 0, 0}, type); }

sc::ILog* sc::getConsoleLogger() { return &s_consoleLog; }
