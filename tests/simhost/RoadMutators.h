// Mutants for the whole-road fuzz test: model texts with the general mutations and those that
// change what a model is (groups, types, methods, header values, numbers, status symbols), and
// XML model documents with byte, line, element, attribute and formula changes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <support/ModelTextMutator.h>

namespace test
{
// Extreme and odd values for numbers, header values and attribute values.
inline const std::vector<std::string>& extremeNumbers()
{
    static const std::vector<std::string> numbers = {
        "0",      "-0",         "1e308", "-1e308",  "1e400", "1e-320", "4.9e-324", "65535", "65536", "70000", "-1",
        "-70000", "2147483648", "1e19",  "1.5e-30", "1e30",  "0.5",    "2",        "3",     "1i",    "1e400i"};
    return numbers;
}

// Names of the language a statement may read or that mean something in a model text.
inline const std::vector<std::string>& roadWords()
{
    static const std::vector<std::string> words = {
        "repeat#", "succRep#", "outIter#", "baseIter#", "totIter#", "solState#", "reqEps#", "obtEps#",
        "startT#", "endT#",    "@solOk#",  "t",         "dT",       "s",         "@x",      "@y",
        "@cond",   "hLine@",   "x'",       "y'",        "conj(",    "real(",     "imag(",   "lim(x, 0, 1)",
        "= 1 =",   "(x)",      "2K",       "*s",        "/ u =",    "disn(",     "int(",    "diff("};
    return words;
}

// Model texts: the general mutations, and two times in five one that changes the model's kind.
class TextRoadMutator : public Mutator
{
public:
    using Mutator::Mutator;

protected:
    // Mostly one mutation, so that many mutants still build and reach the solvers.
    std::size_t mutationCount() override { return pick(4) == 0 ? 2 : 1; }

    void mutate(std::string& text) override
    {
        if (pick(5) >= 2)
        {
            Mutator::mutate(text);
            return;
        }
        switch (pick(6))
        {
        case 0: swapGroup(text); break;
        case 1: replaceNumber(text); break;
        case 2: replaceWord(text, {"NL", "WLS", "ODE", "DAE"}); break;
        case 3: replaceWord(text, {"Euler", "Trapez", "RK2", "RK4", "RK6", "real", "cmplx"}); break;
        case 4: headerValue(text); break;
        default: insertWord(text); break;
        }
    }

    static bool isNameByte(char c)
    {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '.' ||
               c == '#' || c == '@';
    }

    // Starts of whole words of text equal to one of words.
    static std::vector<std::pair<std::size_t, std::size_t>> findWords(const std::string& text,
                                                                      const std::vector<std::string>& words)
    {
        std::vector<std::pair<std::size_t, std::size_t>> out;
        for (const std::string& w : words)
        {
            for (std::size_t at = text.find(w); at != std::string::npos; at = text.find(w, at + 1))
            {
                const bool startsWord = at == 0 || !isNameByte(text[at - 1]);
                const bool endsWord = at + w.size() == text.size() || !isNameByte(text[at + w.size()]);
                if (startsWord && endsWord)
                    out.emplace_back(at, w.size());
            }
        }
        return out;
    }

    void replaceWord(std::string& text, const std::vector<std::string>& words)
    {
        const auto found = findWords(text, words);
        if (found.empty())
            return;
        const auto [at, length] = found[pick(found.size())];
        text.replace(at, length, words[pick(words.size())]);
    }

    // A group line becomes another group's.
    void swapGroup(std::string& text)
    {
        static const std::vector<std::string> groups = {
            "SubModel", "Vars", "Params", "Distribs",  "Stats",     "ReInit",   "PreProc", "NLEs",    "WLSEs", "ECs",
            "ODEs",     "PDEs", "TFs",    "IterPostP", "BasePostP", "PostProc", "Limits",  "Repeats", "Plots"};
        replaceWord(text, groups);
    }

    // A number of the text becomes an extreme one.
    void replaceNumber(std::string& text)
    {
        std::vector<std::pair<std::size_t, std::size_t>> numbers;
        for (std::size_t i = 0; i < text.size();)
        {
            const bool starts = text[i] >= '0' && text[i] <= '9' && (i == 0 || !isNameByte(text[i - 1]));
            if (!starts)
            {
                ++i;
                continue;
            }
            std::size_t end = i;
            while (end < text.size() && (isNameByte(text[end]) || text[end] == '.' ||
                                         ((text[end] == '-' || text[end] == '+') && (text[end - 1] | 0x20) == 'e')))
                ++end;
            numbers.emplace_back(i, end - i);
            i = end;
        }
        if (numbers.empty())
            return;
        const auto [at, length] = numbers[pick(numbers.size())];
        text.replace(at, length, extremeNumbers()[pick(extremeNumbers().size())]);
    }

    // A header line that sets an iteration, repetition or time value, placed after the
    // header's first line.
    void headerValue(std::string& text)
    {
        static const char* names[] = {"maxIter", "maxReps", "dTime", "startTime", "endTime"};
        const std::string line =
            std::string(names[pick(std::size(names))]) + " = " + extremeNumbers()[pick(extremeNumbers().size())] + "\n";
        const std::size_t header = text.find("Header:");
        const std::size_t at = header == std::string::npos ? 0 : text.find('\n', header);
        text.insert(at == std::string::npos ? text.size() : at + (header == std::string::npos ? 0 : 1), line);
    }

    // A status symbol, a reserved word or an operator placed into a statement.
    void insertWord(std::string& text)
    {
        const std::vector<std::string> parts = lines(text);
        if (parts.empty())
            return;
        const std::size_t line = pick(parts.size());
        std::size_t start = 0;
        for (std::size_t i = 0; i < line; ++i)
            start += parts[i].size() + 1;
        const std::size_t at = start + pick(parts[line].size() + 1);
        text.insert(std::min(at, text.size()), roadWords()[pick(roadWords().size())]);
    }
};

// XML model documents: the bytes and lines changed as in a text, elements renamed, copied or
// dropped, attribute values and formulas replaced.
class XmlRoadMutator : public TextRoadMutator
{
public:
    using TextRoadMutator::TextRoadMutator;

protected:
    void mutate(std::string& text) override
    {
        switch (pick(8))
        {
        case 0: Mutator::mutate(text); break;
        case 1: renameElement(text); break;
        case 2: attributeValue(text); break;
        case 3:
        case 4: formula(text); break;
        case 5:
            replaceWord(text, {"NR", "WLS", "ODE", "DAE", "real", "cmplx", "Euler", "Trapez", "RK2", "RK4", "RK6"});
            break;
        case 6: replaceNumber(text); break;
        default: lineFromAnother(text); break;
        }
    }

    void renameElement(std::string& text)
    {
        static const std::vector<std::string> elements = {
            "Model", "Vars", "Var",     "Params",   "Param",  "NLEqs", "ODEqs", "MeasEqs", "ECs",     "TFs",   "Eq",
            "Then",  "Else", "PreProc", "PostProc", "Limits", "Group", "Init",  "Stats",   "RndGens", "RndGen"};
        replaceWord(text, elements);
    }

    // Spans of the attribute values (between the quotes) of the document.
    static std::vector<std::pair<std::size_t, std::size_t>> values(const std::string& text)
    {
        std::vector<std::pair<std::size_t, std::size_t>> out;
        for (std::size_t at = text.find("=\""); at != std::string::npos; at = text.find("=\"", at + 2))
        {
            const std::size_t end = text.find('"', at + 2);
            if (end == std::string::npos)
                break;
            out.emplace_back(at + 2, end - at - 2);
        }
        return out;
    }

    void attributeValue(std::string& text)
    {
        const auto spans = values(text);
        if (spans.empty())
            return;
        static const std::vector<std::string> words = {"",      "NR",  "DAE", "cmplx", "RK6",   "true",
                                                       "x",     "nan", "inf", "&lt;",  "x > 1", "a, b",
                                                       "1e400", "-1",  "0",   "u'",    "base.x"};
        const auto [at, length] = spans[pick(spans.size())];
        const bool number = pick(2) == 0;
        text.replace(at, length, number ? extremeNumbers()[pick(extremeNumbers().size())] : words[pick(words.size())]);
    }

    // A formula of an fx or cond attribute changed as a statement would be.
    void formula(std::string& text)
    {
        std::vector<std::pair<std::size_t, std::size_t>> formulas;
        for (const auto& [at, length] : values(text))
        {
            const bool fx = at >= 4 && text.compare(at - 4, 2, "fx") == 0;
            if (fx || (at >= 6 && text.compare(at - 6, 4, "cond") == 0))
                formulas.emplace_back(at, length);
        }
        if (formulas.empty())
            return;
        const auto [at, length] = formulas[pick(formulas.size())];
        std::string f = text.substr(at, length);
        const std::size_t where = pick(f.size() + 1);
        switch (pick(4))
        {
        case 0: f.insert(where, roadWords()[pick(roadWords().size())]); break;
        case 1: f.insert(where, vocabulary()[pick(vocabulary().size())]); break;
        case 2: f.resize(where); break;
        default: f.insert(where, " " + extremeNumbers()[pick(extremeNumbers().size())] + " "); break;
        }
        std::string escaped;
        for (char c : f)
            escaped += c == '<' ? "&lt;" : c == '&' ? "&amp;" : c == '"' ? "&quot;" : std::string(1, c);
        text.replace(at, length, escaped);
    }

    // A line of another document placed at a line of this one.
    void lineFromAnother(std::string& text)
    {
        std::vector<std::string> parts = lines(text);
        const std::vector<std::string> other = lines(_seeds[pick(_seeds.size())]);
        if (other.empty())
            return;
        parts.insert(parts.begin() + static_cast<std::ptrdiff_t>(pick(parts.size() + 1)), other[pick(other.size())]);
        text = join(parts, 0, parts.size());
    }
};
} // namespace test
