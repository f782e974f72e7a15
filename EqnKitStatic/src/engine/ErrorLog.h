// The text error log of a solver: entries "(" line "," section "):" text, one per line,
// with each "@" of a text replaced by the next argument.
#pragma once

#include <cstring>

#include <cnt/StringBuilder.h>
#include <td/String.h>
#include <td/Types.h>

namespace sl
{
enum class ErrorSection : td::BYTE
{
    Other = 0,
    RndGens = 1,
    Stats = 2,
    Vars = 3,
    Params = 4,
    Init = 5,
    PreProc = 6,
    ODEqs = 7,
    TFs = 8,
    NLEqs = 9,
    MeasEqs = 10,
    ECs = 11,
    ReadModel = 12,
    Limits = 13,
    PostProc = 14,
    RTSolution = 15
};

using ErrorLog = cnt::StringBuilder<1024>;

// Name of a section code; "NDEF" for a code outside the list.
const char* errorSectionName(td::BYTE section);

// A line break when the log is not empty, then "(" line "," section name "):"; the line
// of a model text counts from its first line (0: no line).
void beginErrorEntry(ErrorLog& log, td::UINT4 line, td::BYTE section);

// Arguments of an entry text.
inline void appendErrorArg(ErrorLog& log, const char* text)
{
    if (text)
        log.append(text);
}
inline void appendErrorArg(ErrorLog& log, const td::String& text) { log.append(text); }
inline void appendErrorArg(ErrorLog& log, td::UINT2 value) { log.append(static_cast<td::UINT4>(value)); }
inline void appendErrorArg(ErrorLog& log, td::INT4 value) { log.append(value); }
inline void appendErrorArg(ErrorLog& log, td::UINT4 value) { log.append(value); }
void appendErrorArg(ErrorLog& log, td::LUINT8 value);

namespace priv
{
// Copies text up to its next "@", writes the argument in its place and returns the
// text behind it; without a further "@" the text is returned as it is.
template <typename A> const char* substituteNext(ErrorLog& log, const char* text, const A& arg)
{
    const char* at = std::strchr(text, '@');
    if (!at)
        return text;
    log.append(text, static_cast<td::UINT4>(at - text));
    appendErrorArg(log, arg);
    return at + 1;
}
} // namespace priv

// Writes text with its first "@"s replaced by the arguments in order; arguments beyond
// the last "@" are dropped, "@"s beyond the last argument copied unchanged.
template <typename... Args> void appendSubstituted(ErrorLog& log, const char* text, const Args&... args)
{
    const char* rest = text ? text : "";
    ((rest = priv::substituteNext(log, rest, args)), ...);
    log.append(rest);
}
} // namespace sl

namespace slDbl
{
using ErrorSection = sl::ErrorSection;
}

namespace slCmplx
{
using ErrorSection = sl::ErrorSection;
}
