#include "ErrorLog.h"

#include <cstdio>

namespace sl
{
namespace
{
const char* const s_sectionNames[] = {"Other",   "RndGens", "Stats", "Vars",    "Params",    "Init",
                                      "PreProc", "ODEqs",   "TFs",   "NLEqs",   "MeasEqs",   "ECs",
                                      "ReadModel", "Limits", "PostProc", "RTSolution"};
constexpr td::BYTE cSections = sizeof(s_sectionNames) / sizeof(s_sectionNames[0]);

template <typename V> void appendNumber(ErrorLog& log, const char* format, V value)
{
    char scratch[64];
    int n = std::snprintf(scratch, sizeof(scratch), format, value);
    if (n < 0)
        n = 0;
    if (n >= static_cast<int>(sizeof(scratch)))
        n = sizeof(scratch) - 1;
    log.append(scratch, static_cast<td::UINT4>(n));
}
} // namespace

const char* errorSectionName(td::BYTE section) { return section < cSections ? s_sectionNames[section] : "NDEF"; }

void beginErrorEntry(ErrorLog& log, td::UINT2 line, td::BYTE section)
{
    if (!log.isEmpty())
        log.append('\n');
    log.append('(');
    appendNumber(log, "%hu", line);
    log.append(',');
    log.append(errorSectionName(section));
    log.append("):");
}

void appendErrorArg(ErrorLog& log, td::UINT2 value) { appendNumber(log, "%hu", value); }
void appendErrorArg(ErrorLog& log, td::INT4 value) { appendNumber(log, "%d", value); }
void appendErrorArg(ErrorLog& log, td::UINT4 value) { appendNumber(log, "%u", value); }
void appendErrorArg(ErrorLog& log, td::LUINT8 value) { appendNumber(log, "%llu", static_cast<unsigned long long>(value)); }
} // namespace sl
