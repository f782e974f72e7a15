// Model texts and XML documents without the statements that run after a solve has converged
// (limit groups, post-processing, repetitions): what those write is the model's own doing, so a
// value they make infinite is a finding only when the model without them shows it too.
#pragma once

#include <string>
#include <vector>

namespace test
{
namespace late
{
inline std::string trimmed(const std::string& line)
{
    const std::size_t a = line.find_first_not_of(" \t\r");
    return a == std::string::npos ? std::string() : line.substr(a, line.find_last_not_of(" \t\r") + 1 - a);
}

inline bool startsWord(const std::string& line, const char* word)
{
    const std::size_t n = std::char_traits<char>::length(word);
    return line.compare(0, n, word) == 0 &&
           (line.size() == n || line[n] == ' ' || line[n] == '[' || line[n] == ':' || line[n] == '\t');
}

inline bool isGroupLine(const std::string& line, bool lateOnly)
{
    static const char* late[] = {"PostProc", "BasePostP", "IterPostP", "Limits", "Repeats", "ReInit"};
    static const char* others[] = {"Model", "SubModel", "Vars", "Params", "Distribs", "Stats", "PreProc",
                                   "NLEs",  "WLSEs",    "ECs",  "ODEs",   "PDEs",     "TFs",   "Plots"};
    if (line.find(':') == std::string::npos)
        return false;
    for (const char* g : late)
    {
        if (startsWord(line, g))
            return true;
    }
    if (lateOnly)
        return false;
    for (const char* g : others)
    {
        if (startsWord(line, g))
            return true;
    }
    return false;
}

inline bool opensBlock(const std::string& line)
{
    for (const char* w : {"if", "switch", "group", "linePlot", "barPlot", "piePlot"})
    {
        if (startsWord(line, w))
            return true;
    }
    return false;
}
} // namespace late

// The text without its late groups: each is dropped from its group line up to the next group
// line or the end that closes its model (blocks inside the group are skipped whole).
inline std::string withoutLateGroups(const std::string& text)
{
    std::string out;
    bool skipping = false;
    int depth = 0;
    std::size_t start = 0;
    while (start <= text.size())
    {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string raw = text.substr(start, end - start);
        const std::string line = late::trimmed(raw);
        start = end + 1;
        if (late::isGroupLine(line, true))
        {
            skipping = true;
            depth = 0;
            continue;
        }
        if (skipping)
        {
            if (late::isGroupLine(line, false))
                skipping = false;
            else if (late::opensBlock(line))
                ++depth;
            else if (late::startsWord(line, "end") && depth-- == 0)
                skipping = false;
            if (skipping)
                continue;
        }
        out += raw + "\n";
    }
    return out;
}

// The document without its Limits, PostProc and IterPostProc elements.
inline std::string withoutLateElements(std::string doc)
{
    for (const char* tag : {"Limits", "PostProc", "IterPostProc"})
    {
        const std::string open = std::string("<") + tag, close = std::string("</") + tag + ">";
        for (std::size_t at = doc.find(open); at != std::string::npos; at = doc.find(open, at))
        {
            const std::size_t after = at + open.size();
            if (after < doc.size() && doc[after] != '>' && doc[after] != ' ' && doc[after] != '/')
            {
                at = after;
                continue;
            }
            const std::size_t selfClose = doc.find("/>", after), gt = doc.find('>', after);
            std::size_t stop = std::string::npos;
            if (gt != std::string::npos && selfClose != std::string::npos && selfClose + 1 == gt)
                stop = gt + 1;
            else if (const std::size_t c = doc.find(close, after); c != std::string::npos)
                stop = c + close.size();
            if (stop == std::string::npos)
                break;
            doc.erase(at, stop - at);
        }
    }
    return doc;
}
} // namespace test
