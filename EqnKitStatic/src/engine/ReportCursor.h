// Where a build reports: the line and column given to message keys, the line and section
// of error entries, the solver's text error log and its logger.
#pragma once

#include <sc/ILog.h>
#include <td/String.h>
#include <td/Types.h>

#include "ErrorLog.h"

namespace sl
{
struct ReportCursor
{
    // The solver's text error log and logger; null: nothing is written there.
    ErrorLog* pErrorLog = nullptr;
    sc::ILog* pLog = nullptr;
    // Line and column given to message keys while an equation is compiled (0: none).
    td::UINT4 keyLine = 0;
    td::UINT4 keyColumn = 0;
    // Line and section of error entries.
    td::UINT4 currentLine = 0;
    td::BYTE currentSection = 0;
    // XML documents: the line (from 1) of the element whose texts are being read; 0: none.
    td::UINT4 xmlLine = 0;
    // The XML road sends no keys: the error log holds all it reports.
    td::BYTE keysSilenced = 0;

    // Line of the entries written now: the model text's statement being built, else the
    // XML element being read, else the current line; so that an entry about one element
    // stands at its line, whichever reader writes it.
    td::UINT4 entryLine() const
    {
        if (keyLine != 0)
            return keyLine;
        return xmlLine != 0 ? xmlLine : currentLine;
    }
    // The logger; null without one or while keys are silenced.
    sc::ILog* getLog() const { return keysSilenced ? nullptr : pLog; }

    // The first key sent while keys are silenced, so that the XML road can give the reason
    // in its own entry: the key (null: none), its arguments joined by ", " and its column
    // (0: none). A reader clears it before the step whose reason it wants.
    struct HeldKey
    {
        const char* key = nullptr;
        td::String args;
        td::UINT4 column = 0;
    };
    mutable HeldKey heldKey;
    void clearHeldKey() const { heldKey = HeldKey{}; }
    // Shows a key with no, one or two arguments at line and column as an error; while keys
    // are silenced the first one is held instead. Every key of a model text goes out here
    // or through the parser's logKey, both at a place.
    void reportKey(const char* key, td::UINT4 line, td::UINT4 column, const char* arg1 = nullptr,
                   const char* arg2 = nullptr) const;

    // Appends an entry at the entry line and the current section; each "@" of the text
    // takes the next argument (C text, td::String, u16, i32, u32 or u64).
    template <typename... Args> void addError(const char* text, const Args&... args) const
    {
        if (!pErrorLog)
            return;
        beginEntry(entryLine(), currentSection);
        appendSubstituted(*pErrorLog, text, args...);
    }
    // Starts an entry at a line (kept as the line of the last entry) in a section.
    void beginEntry(td::UINT4 line, td::BYTE section) const
    {
        lastEntryLine = line;
        beginErrorEntry(*pErrorLog, line, section);
    }

    // The same with an explicit line and section, straight into a log.
    static void addErrorEntry(ErrorLog& log, td::UINT2 line, td::BYTE section, const char* text, const td::String& arg1,
                              td::LUINT8 arg2)
    {
        beginErrorEntry(log, line, section);
        appendSubstituted(log, text, arg1, arg2);
    }

    // Starts an entry "<item>#: <number>" in the given section (16: the current one); the
    // item word follows the current section. The caller appends its message. It tells
    // where the entry before it stands, so it takes that entry's line where no statement
    // or element is being read any more.
    void itemLocationText(td::UINT4 number, td::BYTE section) const;
    // The same as "Group#: <group>; <item>#: <number>".
    void groupItemLocationText(td::UINT4 group, td::UINT4 number, td::BYTE section) const;

private:
    // The line of the last entry written.
    mutable td::UINT4 lastEntryLine = 0;
    const char* itemWord() const;
    bool beginLocation(td::BYTE section) const;
};
} // namespace sl
