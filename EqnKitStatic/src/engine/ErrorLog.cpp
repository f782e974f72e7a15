#include "ErrorLog.h"

#include <cstdio>

namespace sl
{
namespace
{
const char* const s_sectionNames[] = {"Other",     "RndGens", "Stats",    "Vars",      "Params",  "Init",
                                      "PreProc",   "ODEqs",   "TFs",      "NLEqs",     "MeasEqs", "ECs",
                                      "ReadModel", "Limits",  "PostProc", "RTSolution"};
constexpr td::BYTE cSections = sizeof(s_sectionNames) / sizeof(s_sectionNames[0]);
} // namespace

const char* errorSectionName(td::BYTE section) { return section < cSections ? s_sectionNames[section] : "NDEF"; }

void beginErrorEntry(ErrorLog& log, td::UINT4 line, td::BYTE section)
{
    if (!log.isEmpty())
        log.append('\n');
    log.append('(');
    appendErrorArg(log, line);
    log.append(',');
    log.append(errorSectionName(section));
    log.append("):");
}

void appendErrorArg(ErrorLog& log, td::LUINT8 value)
{
    char scratch[32];
    int n = std::snprintf(scratch, sizeof(scratch), "%llu", static_cast<unsigned long long>(value));
    log.append(scratch, static_cast<td::UINT4>(n));
}
} // namespace sl
