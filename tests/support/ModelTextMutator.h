// Mutants of model texts for the fuzz tests: byte, line and token changes, pieces of the
// modelling language and of what breaks it, long and deep statements; fixed seeds repeat.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace test
{
// The files of a folder (those whose name ends in suffix), in name order.
inline std::vector<std::string> readModels(const std::filesystem::path& folder, const std::string& suffix = {})
{
    std::vector<std::filesystem::path> paths;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
    {
        if (entry.path().string().ends_with(suffix))
            paths.push_back(entry.path());
    }
    std::sort(paths.begin(), paths.end());
    std::vector<std::string> out;
    for (const auto& path : paths)
    {
        std::ifstream in(path, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        out.push_back(ss.str());
    }
    return out;
}

// The text with every from replaced by to.
inline std::string replaced(std::string text, const std::string& from, const std::string& to)
{
    for (std::size_t p = text.find(from); p != std::string::npos; p = text.find(from, p + to.size()))
        text.replace(p, from.size(), to);
    return text;
}

// The example models (of the folder examples) and the model texts of the test data's front
// end and XML samples (of the folder testData); those without a header of their own get
// one, the DAE sample's method placeholder a method.
inline std::vector<std::string> modelTextSeeds(const std::string& examples, const std::string& testData)
{
    std::vector<std::string> seeds = readModels(examples, ".txt");
    for (const char* folder : {"/frontend", "/xml"})
    {
        for (std::string& text : readModels(testData + folder, ".txt"))
        {
            if (text.rfind("Header", 0) != 0)
                text = "Header:\nmaxIter = 100\ndTime = 0.01\nend\n" + text;
            seeds.push_back(replaced(text, "METHOD", "Trapez"));
        }
    }
    return seeds;
}

// Pieces of the modelling language and of what breaks it.
inline const std::vector<std::string>& vocabulary()
{
    static const std::vector<std::string> words = {
        "Header:",
        "end",
        "Model",
        "SubModel",
        "Model [type = NL]:",
        "SubModel [copyPars = -1]:",
        "Vars:",
        "Params:",
        "Distribs:",
        "Stats:",
        "ReInit:",
        "PreProc:",
        "NLEs:",
        "WLSEs:",
        "ECs:",
        "ODEs:",
        "PDEs:",
        "TFs:",
        "IterPostP:",
        "BasePostP:",
        "PostProc:",
        "Limits:",
        "Repeats:",
        "Plots:",
        "if",
        "else",
        "switch",
        "case",
        "default",
        "group",
        "repeat",
        "@main",
        "@main.",
        "->",
        "s",
        "linePlot",
        "barPlot",
        "piePlot",
        "[out = true]",
        "[w = 2]",
        "[type = Gauss, mean = 0, dev = 1]",
        "[domain = cmplx]",
        "[type = DAE]",
        "[type = ODE]",
        "[type = WLS]",
        "[method = Trapez]",
        "eps = 1e-300",
        "maxIter = 0",
        "dTime = -1",
        "startTime = 1e308",
        "report = All",
        "type",
        "domain",
        "cmplx",
        "real",
        "lim(",
        "min(",
        "max(",
        "atg2(",
        "round(",
        "disn(",
        "disc(",
        "diff(",
        "int(",
        "rnd(",
        "avg(",
        "smin(",
        "smax(",
        "var(",
        "dev(",
        "conj(",
        "imag(",
        "abs(",
        "sqrt(",
        "ln(",
        "log(",
        "exp(",
        "sin(",
        "tg(",
        "sign(",
        "and",
        "or",
        "xor",
        "not",
        "==",
        "!=",
        ">=",
        "<=",
        ">",
        "<",
        "=",
        "+=",
        "-=",
        "*=",
        "/=",
        "^=",
        "'",
        "''",
        ";",
        ",",
        ".",
        ":",
        "//",
        "/*",
        "*/",
        "\"",
        "\"unclosed",
        "1e400",
        "-0",
        "0x1F",
        "3000000000",
        "1i",
        "2.5i",
        "pi",
        "e",
        "true",
        "false",
        "x",
        "y",
        "z",
        "u",
        "k",
        "p",
        "q",
        "#x",
        "x'",
        "_",
        "$",
    };
    return words;
}

inline const std::vector<std::string>& fragments()
{
    static const std::vector<std::string> pieces = {
        "\xC3\xA9",
        "\xE2\x82\xAC",
        "\xF0\x9F\x98\x80",
        "\xC3",
        "\xE2\x82",
        "\xF0\x9F\x98",
        "\xC0\x80",
        "\xFF\xFE",
        "\xEF\xBB\xBF",
        "\xED\xA0\x80",
        std::string(1, '\0'),
        "\r",
        "\r\n",
        "\t",
        "\x1B",
    };
    return pieces;
}

// Each mutant is a seed after one to three mutations; a fixed seed of the generator gives
// the same mutants on every run. Derived mutators add their own mutations.
class Mutator
{
public:
    Mutator(std::vector<std::string> seeds, std::uint32_t seed) : _seeds(std::move(seeds)), _rng(seed) {}
    virtual ~Mutator() = default;

    std::string next()
    {
        std::string text = _seeds[pick(_seeds.size())];
        const std::size_t n = mutationCount();
        for (std::size_t i = 0; i < n; ++i)
            mutate(text);
        return text;
    }

protected:
    // How many mutations make the next mutant.
    virtual std::size_t mutationCount() { return 1 + pick(3); }

    std::size_t pick(std::size_t n) { return n == 0 ? 0 : _rng() % n; }
    std::size_t position(const std::string& text) { return pick(text.size() + 1); }

    static std::vector<std::string> lines(const std::string& text)
    {
        std::vector<std::string> out;
        std::size_t start = 0;
        for (std::size_t i = 0; i <= text.size(); ++i)
        {
            if (i == text.size() || text[i] == '\n')
            {
                out.push_back(text.substr(start, i - start));
                start = i + 1;
            }
        }
        return out;
    }

    static std::string join(const std::vector<std::string>& parts, std::size_t from, std::size_t to)
    {
        std::string out;
        for (std::size_t i = from; i < to && i < parts.size(); ++i)
            out += parts[i] + "\n";
        return out;
    }

    // A statement line of a long or a deep expression.
    std::string expressionLine()
    {
        // Names that most seed models declare, and literals.
        static const char* atoms[] = {"x", "x", "y", "1", "2.5", "pi", "0"};
        static const char* ops[] = {"+", "-", "*", "/", "^", " and ", ">"};
        static const char* opens[] = {"(",    "-(",    "sin(", "exp(", "lim(", "min(x,",
                                      "abs(", "sqrt(", "x*(",  "x/(",  "x^("};
        const char* atom = atoms[pick(std::size(atoms))];
        // Mostly moderate sizes; now and then a large one.
        const std::size_t size = pick(20) == 0 ? 1 + pick(2000) : 1 + pick(100);
        std::string line = std::string(atoms[pick(3)]) + " = ";
        if (pick(2) == 0)
        {
            const char* op = ops[pick(std::size(ops))];
            line += atom;
            for (std::size_t i = 1; i < size; ++i)
                line += std::string(op) + atoms[pick(std::size(atoms))];
            return line;
        }
        const std::string open = opens[pick(std::size(opens))];
        const std::string close = open == "lim(" ? ",0,1)" : ")";
        for (std::size_t i = 0; i < size; ++i)
            line += open;
        line += atom;
        for (std::size_t i = 0; i < size; ++i)
            line += close;
        return line;
    }

    virtual void mutate(std::string& text)
    {
        switch (pick(11))
        {
        case 0:
        {
            // One byte replaced, inserted or removed.
            const std::size_t at = position(text);
            const char byte = static_cast<char>(pick(256));
            const std::size_t kind = pick(3);
            if (kind == 0 && at < text.size())
                text[at] = byte;
            else if (kind == 1)
                text.insert(at, 1, byte);
            else if (at < text.size())
                text.erase(at, 1);
            break;
        }
        case 1:
        {
            // A line removed, doubled or moved.
            std::vector<std::string> parts = lines(text);
            const std::size_t a = pick(parts.size()), b = pick(parts.size());
            const std::size_t kind = pick(3);
            if (kind == 0)
                parts.erase(parts.begin() + static_cast<std::ptrdiff_t>(a));
            else if (kind == 1)
                parts.insert(parts.begin() + static_cast<std::ptrdiff_t>(a), parts[b]);
            else
                std::swap(parts[a], parts[b]);
            text = join(parts, 0, parts.size());
            break;
        }
        case 2:
        {
            // The head of this text and the tail of another.
            std::vector<std::string> head = lines(text);
            std::vector<std::string> tail = lines(_seeds[pick(_seeds.size())]);
            text = join(head, 0, pick(head.size() + 1)) + join(tail, pick(tail.size()), tail.size());
            break;
        }
        case 3:
        {
            const std::string& word = vocabulary()[pick(vocabulary().size())];
            const char* spacing[] = {" ", "\n", ""};
            text.insert(position(text), spacing[pick(3)] + word + spacing[pick(3)]);
            break;
        }
        case 4:
        {
            static const char brackets[] = "()[]{},;:=";
            std::string run;
            for (std::size_t n = 1 + pick(6); n > 0; --n)
                run += brackets[pick(sizeof(brackets) - 1)];
            text.insert(position(text), run);
            break;
        }
        case 5:
        case 6:
        {
            // A long or deep statement on a line of its own, mostly at the head of a
            // statement group.
            std::vector<std::string> parts = lines(text);
            std::vector<std::size_t> groupLines;
            for (std::size_t i = 0; i < parts.size(); ++i)
            {
                for (const char* group : {"NLEs:", "PreProc:", "PostProc:", "ODEs:", "WLSEs:", "ECs:", "Limits:"})
                    if (parts[i].rfind(group, 0) == 0)
                        groupLines.push_back(i + 1);
            }
            const std::size_t at =
                groupLines.empty() || pick(4) == 0 ? pick(parts.size() + 1) : groupLines[pick(groupLines.size())];
            parts.insert(parts.begin() + static_cast<std::ptrdiff_t>(at), expressionLine());
            text = join(parts, 0, parts.size());
            break;
        }
        case 7: text.insert(position(text), fragments()[pick(fragments().size())]); break;
        case 8:
        {
            // Line ends turned into CR LF or CR.
            for (std::size_t i = 0; i < text.size(); ++i)
            {
                if (text[i] != '\n' || pick(3) != 0)
                    continue;
                if (pick(2) == 0)
                    text.insert(i++, 1, '\r');
                else
                    text[i] = '\r';
            }
            break;
        }
        case 9: text.resize(position(text)); break;
        default:
        {
            // A stretch of the text repeated.
            const std::size_t at = position(text);
            const std::size_t length = std::min(text.size() - std::min(at, text.size()), 1 + pick(40));
            const std::string piece = text.substr(std::min(at, text.size()), length);
            for (std::size_t n = pick(50); n > 0; --n)
                text.insert(at, piece);
            break;
        }
        }
    }

    std::vector<std::string> _seeds;
    std::mt19937 _rng;
};
} // namespace test
