#include "ReportCursor.h"

namespace sl
{
namespace
{
constexpr td::BYTE cCurrentSection = 16;
}

void ReportCursor::reportKey(const char* key, td::UINT4 line, td::UINT4 column, const char* arg1,
                             const char* arg2) const
{
    if (keysSilenced)
    {
        if (heldKey.key)
            return;
        td::MutableString args;
        if (arg1)
            args.append(arg1);
        if (arg2)
        {
            args.append(", ");
            args.append(arg2);
        }
        heldKey = HeldKey{key, args.toString(), column};
        return;
    }
    if (!pLog)
        return;
    if (arg2)
        pLog->showFormatted(key, line, column, sc::ILog::Error, 2, arg1 ? arg1 : "", arg2);
    else if (arg1)
        pLog->showFormatted(key, line, column, sc::ILog::Error, 1, arg1);
    else
        pLog->showKeyAt(key, line, column, sc::ILog::Error);
}

const char* ReportCursor::itemWord() const
{
    switch (static_cast<ErrorSection>(currentSection))
    {
    case ErrorSection::RndGens: return "RndGen";
    case ErrorSection::Vars: return "Var";
    case ErrorSection::Params: return "Par";
    default: return "Eq";
    }
}

bool ReportCursor::beginLocation(td::BYTE section) const
{
    if (!pErrorLog)
        return false;
    // The entry before it is the one it tells the item of.
    td::UINT4 line = keyLine;
    if (line == 0)
        line = lastEntryLine != 0 ? lastEntryLine : entryLine();
    beginEntry(line, section == cCurrentSection ? currentSection : section);
    return true;
}

void ReportCursor::itemLocationText(td::UINT4 number, td::BYTE section) const
{
    if (beginLocation(section))
        appendSubstituted(*pErrorLog, "@#: @", itemWord(), number);
}

void ReportCursor::groupItemLocationText(td::UINT4 group, td::UINT4 number, td::BYTE section) const
{
    if (beginLocation(section))
        appendSubstituted(*pErrorLog, "Group#: @; @#: @", group, itemWord(), number);
}
} // namespace sl
