// The tables of the language reference are the tables of the code: the function list is the
// function table (the same words in the same order, the same models, and "none" where
// neither build has a derivative), and the header settings are the header table (names,
// kinds, defaults and who acts on each).
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <sc/ModelEnums.h>
#include <sc/SCLib.h>
#include <sc/priv/FunctionTable.h>

namespace
{
using Cells = std::vector<std::string>;

std::string trimmed(const std::string& s)
{
    const auto first = s.find_first_not_of(' ');
    const auto last = s.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : s.substr(first, last - first + 1);
}

// The cells of the rows of the table under the heading `section` of the language
// reference whose first cell is a word in backticks; each row has nCells cells.
std::vector<Cells> documentedRows(const std::string& section, std::size_t nCells)
{
    const std::string path = EQNKIT_DOCS "/ModelLanguage.md";
    std::ifstream in(path);
    EXPECT_TRUE(in) << path;
    std::vector<Cells> rows;
    std::string line;
    bool inSection = false;
    while (std::getline(in, line))
    {
        if (line.rfind("## ", 0) == 0)
            inSection = line == section;
        if (!inSection || line.rfind("| `", 0) != 0)
            continue;
        Cells cells;
        std::stringstream cellsIn(line.substr(1));
        std::string cell;
        while (std::getline(cellsIn, cell, '|'))
            cells.push_back(trimmed(cell));
        EXPECT_EQ(cells.size(), nCells) << line;
        if (cells.size() == nCells)
            rows.push_back(cells);
    }
    return rows;
}

struct FunctionRow
{
    const char* word;
    const char* models;
    bool noDerivative;
};

#define EQNKIT_DOC_ROW(name, word, domain, op, cOp, arity, cArity, rule, cRule)                                        \
    {word, sc::priv::FunctionDomain::domain == sc::priv::FunctionDomain::Both ? "real and complex" : "complex",        \
     std::string(#rule) == "None" && std::string(#cRule) == "None"},
const std::vector<FunctionRow> cFunctions = {EQNKIT_FUNCTIONS(EQNKIT_DOC_ROW)};
#undef EQNKIT_DOC_ROW

TEST(LanguageReference, TheFunctionListIsTheFunctionTable)
{
    // Cells: the call, its models, what it computes, its derivative.
    const std::vector<Cells> documented = documentedRows("## Functions", 4);
    ASSERT_EQ(documented.size(), cFunctions.size());
    for (std::size_t i = 0; i < cFunctions.size(); ++i)
    {
        const std::string& call = documented[i][0];
        EXPECT_EQ(call.substr(1, call.find('(') - 1), cFunctions[i].word) << "row " << i;
        EXPECT_EQ(documented[i][1], cFunctions[i].models) << cFunctions[i].word;
        EXPECT_EQ(documented[i][3] == "none", cFunctions[i].noDerivative) << cFunctions[i].word;
    }
}

const sc::HeaderActor cHeaderActors[] = {
#define EQNKIT_HEADER_ACTOR(name, word, kind, value, actor) sc::HeaderActor::actor,
    EQNKIT_HEADER_PARAMS(EQNKIT_HEADER_ACTOR)
#undef EQNKIT_HEADER_ACTOR
};

// The words of a cell such as "`Solved`, `All`, `Other`".
std::vector<std::string> wordsOf(const std::string& cell)
{
    std::vector<std::string> words;
    for (std::size_t open = cell.find('`'); open != std::string::npos; open = cell.find('`', open))
    {
        const std::size_t close = cell.find('`', open + 1);
        if (close == std::string::npos)
            break;
        words.push_back(cell.substr(open + 1, close - open - 1));
        open = close + 1;
    }
    return words;
}

// A setting's row of the reference against its kind and its default value.
void expectKindAndDefault(const Cells& row, sc::AttribKind kind, const td::Variant& value)
{
    const std::string& kindCell = row[1];
    const std::string& defaultCell = row[2];
    switch (kind)
    {
    case sc::Token::Integer:
        EXPECT_EQ(kindCell, "integer");
        EXPECT_EQ(defaultCell, std::to_string(value.i4Val()));
        break;
    case sc::Token::Real:
        EXPECT_EQ(kindCell, "real");
        EXPECT_EQ(std::stod(defaultCell), value.r8Val()) << defaultCell;
        break;
    case sc::Token::Boolean:
        EXPECT_EQ(kindCell, "boolean");
        EXPECT_EQ(defaultCell, value.boolVal() ? "true" : "false");
        break;
    case sc::Token::String:
        EXPECT_EQ(kindCell, "string");
        EXPECT_EQ(defaultCell, value.strVal().isEmpty() ? "empty" : "`" + std::string(value.strVal().c_str()) + "`");
        break;
    case sc::Token::EnumWord:
    {
        // Its words in the order of their values, the default among them.
        const std::vector<std::string> words = wordsOf(kindCell);
        const std::vector<std::string> byDefault = wordsOf(defaultCell);
        ASSERT_EQ(byDefault.size(), 1u) << defaultCell;
        const auto at = std::find(words.begin(), words.end(), byDefault[0]);
        ASSERT_NE(at, words.end()) << defaultCell;
        EXPECT_EQ(at - words.begin(), value.i4Val()) << defaultCell;
        break;
    }
    default: ADD_FAILURE() << "a setting of kind " << static_cast<int>(kind);
    }
}

TEST(LanguageReference, TheHeaderSettingsAreTheHeaderTable)
{
    // Cells: the setting, its kind, its default, who acts on it.
    const std::vector<Cells> documented = documentedRows("## Header settings", 4);
    ASSERT_EQ(documented.size(), sc::idx(sc::HeaderParam::NA));
    for (unsigned i = 0; i < sc::idx(sc::HeaderParam::NA); ++i)
    {
        const auto param = static_cast<sc::HeaderParam>(i);
        const Cells& row = documented[i];
        const std::string name = sc::getHeaderParamName(param);
        EXPECT_EQ(row[0], "`" + name + "`") << "row " << i;
        SCOPED_TRACE(name);
        expectKindAndDefault(row, sc::getHeaderParamKind(param), sc::HeaderDefaultValues[i]);
        const bool modelLibrary = cHeaderActors[i] == sc::HeaderActor::ModelLibrary;
        EXPECT_TRUE(row[3].starts_with(modelLibrary ? "the model library: " : "read and kept; nothing acts on it"))
            << row[3];
    }
}
} // namespace
