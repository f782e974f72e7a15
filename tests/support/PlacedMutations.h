// One-place mutations of model texts for the message-place test: each mutant is a text with one
// change (a token deleted, a statement doubled, a name renamed, an end or a group line dropped,
// ...), and where the change touched one line, the lines where its first message may stand.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace test
{
// A token of a line: its start (from 0) and length in the line, and whether it is a name or a
// number.
struct LineToken
{
    std::size_t start = 0;
    std::size_t length = 0;
    enum Kind
    {
        Name,
        Number,
        Text,
        Sign
    } kind = Sign;
};

// The lines of a model text with their tokens, the group each belongs to and the blocks open
// at each; lines count from 1.
class ModelOutline
{
public:
    explicit ModelOutline(const std::string& text)
    {
        std::size_t start = 0;
        for (std::size_t i = 0; i <= text.size(); ++i)
        {
            if (i < text.size() && text[i] != '\n')
                continue;
            if (i < text.size() || start < text.size())
                _lines.push_back(text.substr(start, i - start));
            start = i + 1;
        }
        _endsWithLineEnd = !text.empty() && text.back() == '\n';
        _tokens.resize(_lines.size());
        for (std::size_t i = 0; i < _lines.size(); ++i)
            _tokens[i] = tokensOf(_lines[i]);
        outline();
    }

    std::size_t size() const { return _lines.size(); }
    const std::string& line(std::size_t n) const { return _lines[n - 1]; }
    const std::vector<LineToken>& tokens(std::size_t n) const { return _tokens[n - 1]; }
    std::string tokenText(std::size_t n, std::size_t t) const
    {
        return line(n).substr(tokens(n)[t].start, tokens(n)[t].length);
    }
    std::string firstWord(std::size_t n) const { return tokens(n).empty() ? std::string() : tokenText(n, 0); }

    bool inHeader(std::size_t n) const { return n <= _headerEnd; }
    bool isGroupLine(std::size_t n) const { return _info[n - 1].isGroup; }
    // The line of the group that holds line n (n itself for a group line; 0: none).
    std::size_t groupOf(std::size_t n) const { return _info[n - 1].group; }
    // The line of the group before the one that holds line n (0: none).
    std::size_t groupBefore(std::size_t n) const
    {
        const std::size_t g = groupOf(n);
        return g > 1 ? groupOf(g - 1) : 0;
    }
    // The openers of the blocks (if, switch, group, plots) open at line n; for an end line,
    // the block it closes too.
    const std::vector<std::size_t>& openBlocks(std::size_t n) const { return _info[n - 1].blocks; }
    // For an opener, branch (else, case, default) or end line of a block: the lines from the
    // block's opener to its end (the text's last line when it has none); else empty.
    std::vector<std::size_t> blockLinesOf(std::size_t n) const
    {
        const std::size_t opener = _info[n - 1].ownBlock;
        if (opener == 0)
            return {};
        const std::size_t end = _info[opener - 1].blockEnd ? _info[opener - 1].blockEnd : size();
        std::vector<std::size_t> out;
        for (std::size_t k = opener; k <= end; ++k)
            out.push_back(k);
        return out;
    }
    // The Model or SubModel line of the model that holds line n (0: none).
    std::size_t modelOf(std::size_t n) const { return _info[n - 1].model; }
    // The lines of the groups that hold equations, whose counts the variables must match.
    std::set<std::size_t> equationGroupLines() const
    {
        std::set<std::size_t> out;
        for (std::size_t n = 1; n <= size(); ++n)
        {
            const std::string w = firstWord(n);
            if (isGroupLine(n) && (w == "NLEs" || w == "WLSEs" || w == "ECs" || w == "ODEs" || w == "TFs"))
                out.insert(n);
        }
        return out;
    }
    // How many names the Vars groups declare.
    std::size_t variableCount() const
    {
        std::size_t n = 0;
        for (const auto& [name, group] : _declared)
            n += group == "Vars";
        return n;
    }
    // The Model or SubModel line that an end line closes (0: none).
    std::size_t modelClosedBy(std::size_t n) const { return _info[n - 1].closesModel; }
    bool isEnd(std::size_t n) const { return firstWord(n) == "end" && tokens(n).size() == 1; }
    bool isBlockOpener(std::size_t n) const { return isOpenerWord(firstWord(n)); }
    // A line of the model's body with tokens that is neither a group line nor an end.
    bool isStatement(std::size_t n) const
    {
        return !inHeader(n) && groupOf(n) != 0 && !isGroupLine(n) && !tokens(n).empty() && !isEnd(n);
    }
    // Whether line n declares names (it stands in a Vars, Params, Distribs or Stats group).
    bool isDeclaration(std::size_t n) const
    {
        const std::size_t g = groupOf(n);
        if (g == 0 || g == n)
            return false;
        const std::string word = firstWord(g);
        return word == "Vars" || word == "Params" || word == "Distribs" || word == "Stats";
    }
    // The group line's group word.
    std::string groupWord(std::size_t n) const { return groupOf(n) ? firstWord(groupOf(n)) : std::string(); }
    // The first line with tokens after the end that closes the model (0: none).
    std::size_t firstLineAfterModel() const
    {
        for (std::size_t n = _afterModel; n != 0 && n <= size(); ++n)
            if (!tokens(n).empty())
                return n;
        return 0;
    }
    // Names the declaration groups declare, with the group word of their first declaration.
    const std::map<std::string, std::string>& declarations() const { return _declared; }
    bool isDeclared(const std::string& name) const { return _declared.count(name) != 0; }
    // The lines where name stands as a token.
    std::set<std::size_t> linesNaming(const std::string& name) const
    {
        std::set<std::size_t> out;
        for (std::size_t n = 1; n <= size(); ++n)
            for (std::size_t t = 0; t < tokens(n).size(); ++t)
                if (tokens(n)[t].kind == LineToken::Name && tokenText(n, t) == name)
                    out.insert(n);
        return out;
    }

    // The text with the lines given (a line end after each, but after the last as the
    // original text had it).
    std::string join(const std::vector<std::string>& lines) const
    {
        std::string out;
        for (std::size_t i = 0; i < lines.size(); ++i)
        {
            out += lines[i];
            if (i + 1 < lines.size() || _endsWithLineEnd)
                out += '\n';
        }
        return out;
    }
    const std::vector<std::string>& lines() const { return _lines; }

    static bool isGroupWord(const std::string& word)
    {
        static const std::set<std::string> groups = {
            "Model", "SubModel", "Vars", "Params", "Distribs",  "Stats",     "ReInit",   "PreProc", "NLEs",    "WLSEs",
            "ECs",   "ODEs",     "PDEs", "TFs",    "IterPostP", "BasePostP", "PostProc", "Limits",  "Repeats", "Plots"};
        return groups.count(word) != 0;
    }
    static bool isOpenerWord(const std::string& word)
    {
        return word == "if" || word == "switch" || word == "group" || word == "linePlot" || word == "barPlot" ||
               word == "piePlot";
    }

private:
    struct Info
    {
        bool isGroup = false;
        std::size_t group = 0;
        std::vector<std::size_t> blocks;
        std::size_t closesModel = 0;
        // The Model or SubModel line of the model that holds the line (0: none).
        std::size_t model = 0;
        // The block whose opener, branch or end the line is; on an opener, its end.
        std::size_t ownBlock = 0;
        std::size_t blockEnd = 0;
    };

    static bool isNameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == '@'; }
    static bool isNameByte(char c)
    {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '#' || c == '@';
    }

    static std::vector<LineToken> tokensOf(const std::string& s)
    {
        std::vector<LineToken> out;
        std::size_t i = 0;
        while (i < s.size())
        {
            const char c = s[i];
            if (c == ' ' || c == '\t' || c == '\r')
            {
                ++i;
                continue;
            }
            if (c == '/' && i + 1 < s.size() && s[i + 1] == '/')
                break;
            LineToken t;
            t.start = i;
            if (isNameStart(c))
            {
                while (i < s.size() && isNameByte(s[i]))
                    ++i;
                t.kind = LineToken::Name;
            }
            else if (std::isdigit(static_cast<unsigned char>(c)) ||
                     (c == '.' && i + 1 < s.size() && std::isdigit(static_cast<unsigned char>(s[i + 1]))))
            {
                while (i < s.size() && (std::isalnum(static_cast<unsigned char>(s[i])) || s[i] == '.' ||
                                        ((s[i] == '-' || s[i] == '+') && (s[i - 1] == 'e' || s[i - 1] == 'E'))))
                    ++i;
                t.kind = LineToken::Number;
            }
            else if (c == '"')
            {
                const std::size_t close = s.find('"', i + 1);
                i = close == std::string::npos ? s.size() : close + 1;
                t.kind = LineToken::Text;
            }
            else
            {
                static const char* pairs[] = {"==", "!=", ">=", "<=", "->", "+=", "-=", "*=", "/=", "^=", "&&", "||"};
                std::size_t n = 1;
                for (const char* p : pairs)
                    if (s.compare(i, 2, p) == 0)
                        n = 2;
                i += n;
                t.kind = LineToken::Sign;
            }
            t.length = i - t.start;
            out.push_back(t);
        }
        return out;
    }

    // Groups, blocks and declared names, line by line.
    void outline()
    {
        _info.resize(_lines.size());
        for (std::size_t n = 1; n <= _lines.size(); ++n)
        {
            if (firstWord(n) == "end")
            {
                _headerEnd = n;
                break;
            }
        }
        if (_lines.empty() || firstWord(1) != "Header")
            _headerEnd = 0;
        // The header is a block of the Header line.
        for (std::size_t n = 2; n <= _headerEnd; ++n)
            _info[n - 1].blocks = {1};
        std::size_t group = 0;
        std::vector<std::size_t> blocks, models;
        for (std::size_t n = _headerEnd + 1; n <= _lines.size(); ++n)
        {
            Info& info = _info[n - 1];
            const std::string word = firstWord(n);
            const bool groupLine =
                isGroupWord(word) && tokens(n).size() >= 2 && (tokenText(n, 1) == ":" || tokenText(n, 1) == "[");
            if (groupLine)
            {
                group = n;
                blocks.clear();
                if (word == "Model" || word == "SubModel")
                    models.push_back(n);
            }
            info.isGroup = groupLine;
            info.group = group;
            info.blocks = blocks;
            info.model = models.empty() ? 0 : models.back();
            if (isOpenerWord(word))
            {
                blocks.push_back(n);
                info.ownBlock = n;
            }
            else if ((word == "else" || word == "case" || word == "default") && !blocks.empty())
                info.ownBlock = blocks.back();
            else if (word == "end" && !blocks.empty())
            {
                info.blocks = blocks;
                info.ownBlock = blocks.back();
                _info[blocks.back() - 1].blockEnd = n;
                blocks.pop_back();
            }
            else if (word == "end" && !models.empty())
            {
                info.closesModel = models.back();
                models.pop_back();
                if (models.empty() && _afterModel == 0)
                    _afterModel = n + 1;
            }
            if (group != 0 && !groupLine && !tokens(n).empty() && tokens(n)[0].kind == LineToken::Name)
            {
                const std::string g = firstWord(group);
                if (g == "Vars" || g == "Params" || g == "Distribs" || g == "Stats")
                    _declared.emplace(word, g);
            }
        }
    }

    std::vector<std::string> _lines;
    std::vector<std::vector<LineToken>> _tokens;
    std::vector<Info> _info;
    std::map<std::string, std::string> _declared;
    std::size_t _headerEnd = 0;
    std::size_t _afterModel = 0;
    bool _endsWithLineEnd = false;
};

// A mutant: what was changed, the text, and the lines where its first message may stand
// (empty when the change touched more than one line).
struct PlacedMutant
{
    std::string what;
    std::string text;
    std::set<std::size_t> places;
};

class PlacedMutations
{
public:
    explicit PlacedMutations(const std::string& text) : _o(text) {}

    // Every mutant of the text, in a fixed order.
    std::vector<PlacedMutant> all()
    {
        for (std::size_t n = 1; n <= _o.size(); ++n)
        {
            deleteTokens(n);
            renameSymbol(n);
            changeNumbers(n);
            splitLine(n);
            joinLines(n);
            duplicateLine(n);
            dropLine(n);
            strayBranch(n);
        }
        moveGroups();
        return std::move(_out);
    }

private:
    // The lines where a message about line n may stand: n, its group's line and the blocks
    // open at it.
    std::set<std::size_t> around(std::size_t n) const
    {
        std::set<std::size_t> out = {n};
        if (_o.groupOf(n))
            out.insert(_o.groupOf(n));
        for (std::size_t b : _o.openBlocks(n))
            out.insert(b);
        // A change to a block's opener, branch or end breaks the block: it may be told at
        // any of its lines (the statements that a lost branch joins to the one before).
        for (std::size_t b : _o.blockLinesOf(n))
            out.insert(b);
        if (_o.modelClosedBy(n))
            out.insert(_o.modelClosedBy(n));
        return out;
    }

    std::string where(std::size_t n) const { return " at line " + std::to_string(n); }

    // A change that declares a name otherwise may be first reported where the name stands;
    // one that ends the model before its text ends, where the text after its end begins.
    void add(std::string what, std::vector<std::string> lines, std::set<std::size_t> places)
    {
        std::string text = _o.join(lines);
        if (!places.empty())
        {
            const ModelOutline mutant(text);
            if (_o.firstLineAfterModel() == 0 && mutant.firstLineAfterModel() != 0)
                places.insert(mutant.firstLineAfterModel());
            std::set<std::string> changed;
            for (const auto& [name, group] : _o.declarations())
            {
                auto it = mutant.declarations().find(name);
                if (it == mutant.declarations().end() || it->second != group)
                    changed.insert(name);
            }
            for (const auto& [name, group] : mutant.declarations())
                if (!_o.isDeclared(name))
                    changed.insert(name);
            for (const std::string& name : changed)
                for (std::size_t n : mutant.linesNaming(name))
                    places.insert(n);
            // Another number of variables breaks the counts of the equation groups, which
            // a missing group has at its model's line.
            if (mutant.variableCount() != _o.variableCount())
            {
                for (std::size_t n : mutant.equationGroupLines())
                    places.insert(n);
                for (std::size_t n = 1; n <= mutant.size(); ++n)
                    if (mutant.isGroupLine(n) && (mutant.firstWord(n) == "Model" || mutant.firstWord(n) == "SubModel"))
                        places.insert(n);
            }
        }
        _out.push_back({std::move(what), std::move(text), std::move(places)});
    }

    std::vector<std::string> replacedLine(std::size_t n, const std::string& with) const
    {
        std::vector<std::string> lines = _o.lines();
        lines[n - 1] = with;
        return lines;
    }

    // A token deleted: the first, the last and two between them.
    void deleteTokens(std::size_t n)
    {
        const std::vector<LineToken>& tokens = _o.tokens(n);
        std::set<std::size_t> picks;
        if (tokens.empty())
            return;
        for (std::size_t t : {std::size_t(0), tokens.size() / 3, (2 * tokens.size()) / 3, tokens.size() - 1})
            picks.insert(t);
        for (std::size_t t : picks)
        {
            std::string s = _o.line(n);
            s.erase(tokens[t].start, tokens[t].length);
            add("delete token " + _o.tokenText(n, t) + where(n), replacedLine(n, s),
                closesSubModel(n) ? std::set<std::size_t>() : around(n));
        }
    }

    // A sub-model without its end reads on to the model's last end: the main model's groups
    // after it are the sub-model's, and its first refusal is the first main-model name it
    // reads, which may stand anywhere in them.
    bool closesSubModel(std::size_t n) const
    {
        return _o.isEnd(n) && _o.modelClosedBy(n) && _o.firstWord(_o.modelClosedBy(n)) == "SubModel";
    }

    // The first declared name that a statement reads becomes one that nothing declares.
    void renameSymbol(std::size_t n)
    {
        if (!_o.isStatement(n) || _o.isDeclaration(n))
            return;
        const std::vector<LineToken>& tokens = _o.tokens(n);
        for (std::size_t t = 0; t < tokens.size(); ++t)
        {
            const std::string name = _o.tokenText(n, t);
            if (tokens[t].kind != LineToken::Name || !_o.isDeclared(name))
                continue;
            std::string s = _o.line(n);
            s.replace(tokens[t].start, tokens[t].length, "undeclaredName");
            add("rename " + name + where(n), replacedLine(n, s), around(n));
            return;
        }
    }

    // The first number of the line as a word, as zero and, when whole, with a fraction.
    void changeNumbers(std::size_t n)
    {
        const std::vector<LineToken>& tokens = _o.tokens(n);
        for (std::size_t t = 0; t < tokens.size(); ++t)
        {
            if (tokens[t].kind != LineToken::Number)
                continue;
            const std::string number = _o.tokenText(n, t);
            const bool whole = number.find_first_not_of("0123456789") == std::string::npos;
            for (const std::string& to : {std::string("abc"), std::string("0"), whole ? number + ".5" : std::string()})
            {
                if (to.empty() || to == number)
                    continue;
                std::string s = _o.line(n);
                s.replace(tokens[t].start, tokens[t].length, to);
                add("number " + number + " to " + to + where(n), replacedLine(n, s), around(n));
            }
            return;
        }
    }

    // The line split before its middle token.
    void splitLine(std::size_t n)
    {
        const std::vector<LineToken>& tokens = _o.tokens(n);
        if (tokens.size() < 3)
            return;
        const std::size_t at = tokens[tokens.size() / 2].start;
        std::vector<std::string> lines = _o.lines();
        lines[n - 1] = _o.line(n).substr(0, at);
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(n), _o.line(n).substr(at));
        std::set<std::size_t> places = around(n);
        places.insert(n + 1);
        add("split line " + std::to_string(n), lines, places);
    }

    // The line and the next one joined.
    void joinLines(std::size_t n)
    {
        if (n >= _o.size() || _o.tokens(n).empty() || _o.tokens(n + 1).empty())
            return;
        std::vector<std::string> lines = _o.lines();
        lines[n - 1] = _o.line(n) + " " + _o.line(n + 1);
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(n));
        std::set<std::size_t> places = around(n);
        // What stood around the next line, which is now this one.
        for (std::size_t p : around(n + 1))
            places.insert(p > n ? p - 1 : p);
        add("join lines " + std::to_string(n) + " and " + std::to_string(n + 1), lines, places);
    }

    // A statement, a group line or an end doubled.
    void duplicateLine(std::size_t n)
    {
        if (_o.tokens(n).empty() || _o.inHeader(n))
            return;
        std::vector<std::string> lines = _o.lines();
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(n), _o.line(n));
        std::set<std::size_t> places = around(n);
        places.insert(n + 1);
        add("duplicate line " + std::to_string(n), lines, places);
    }

    // An end or a group line dropped.
    void dropLine(std::size_t n)
    {
        if (_o.inHeader(n) || !(_o.isEnd(n) || _o.isGroupLine(n)))
            return;
        std::vector<std::string> lines = _o.lines();
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(n - 1));
        std::set<std::size_t> places;
        if (_o.isEnd(n) && !closesSubModel(n))
        {
            // The block or model it closed, and the group that holds it.
            places = around(n);
            places.erase(n);
        }
        else if (!_o.isEnd(n))
        {
            // The statements that followed, now in the group before; the group's count, at
            // its model's line.
            places.insert(n);
            if (_o.groupBefore(n))
                places.insert(_o.groupBefore(n));
            if (_o.modelOf(n))
                places.insert(_o.modelOf(n));
        }
        add(std::string(_o.isEnd(n) ? "drop end" : "drop group line") + where(n), lines, places);
    }

    // An else, case or default of no block placed after a statement that no block holds.
    void strayBranch(std::size_t n)
    {
        if (!_o.isStatement(n) || _o.isDeclaration(n) || !_o.openBlocks(n).empty() || _o.isBlockOpener(n))
            return;
        const std::string group = _o.groupWord(n);
        if (group == "Model" || group == "SubModel")
            return;
        for (const char* word : {"else", "case x > 0", "default"})
        {
            std::vector<std::string> lines = _o.lines();
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(n), word);
            add(std::string("stray ") + word + where(n + 1), lines, {n + 1});
        }
    }

    // Each group (its line and statements) moved before the group before it.
    void moveGroups()
    {
        std::vector<std::size_t> starts;
        for (std::size_t n = 1; n <= _o.size(); ++n)
            if (_o.isGroupLine(n) && _o.firstWord(n) != "Model")
                starts.push_back(n);
        for (std::size_t i = 1; i < starts.size(); ++i)
        {
            const std::size_t from = starts[i];
            // The last group ends before the model's end.
            std::size_t to = _o.size() + 1;
            if (i + 1 < starts.size())
                to = starts[i + 1];
            else
                while (to > from + 1 && _o.tokens(to - 1).empty())
                    --to;
            if (i + 1 == starts.size() && to > from + 1 && _o.isEnd(to - 1))
                --to;
            std::vector<std::string> lines = _o.lines();
            std::vector<std::string> moved(lines.begin() + static_cast<std::ptrdiff_t>(from - 1),
                                           lines.begin() + static_cast<std::ptrdiff_t>(to - 1));
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(from - 1),
                        lines.begin() + static_cast<std::ptrdiff_t>(to - 1));
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(starts[i - 1] - 1), moved.begin(), moved.end());
            add("move group at line " + std::to_string(from), lines, {});
        }
    }

    ModelOutline _o;
    std::vector<PlacedMutant> _out;
};
} // namespace test
