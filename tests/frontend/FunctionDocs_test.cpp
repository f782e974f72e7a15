// The list of functions in the language reference is the function table: the same words
// in the same order, the same models, and "none" where neither build has a derivative.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <sc/priv/FunctionTable.h>

namespace
{
struct Row
{
    std::string word;
    std::string models;
    std::string derivative;
};

std::string trimmed(const std::string& s)
{
    const auto first = s.find_first_not_of(' ');
    const auto last = s.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : s.substr(first, last - first + 1);
}

// The rows of the table under "## Functions": its function's word (before the opening
// parenthesis of the first column), its models and its derivative.
std::vector<Row> documentedFunctions(const std::string& path)
{
    std::ifstream in(path);
    EXPECT_TRUE(in) << path;
    std::vector<Row> rows;
    std::string line;
    bool inSection = false;
    while (std::getline(in, line))
    {
        if (line.rfind("## ", 0) == 0)
            inSection = line == "## Functions";
        if (!inSection || line.rfind("| `", 0) != 0)
            continue;
        std::vector<std::string> cells;
        std::stringstream cellsIn(line.substr(1));
        std::string cell;
        while (std::getline(cellsIn, cell, '|'))
            cells.push_back(trimmed(cell));
        EXPECT_EQ(cells.size(), 4u) << line;
        if (cells.size() != 4)
            continue;
        const std::string& call = cells[0];
        rows.push_back({call.substr(1, call.find('(') - 1), cells[1], cells[3]});
    }
    return rows;
}

struct TableRow
{
    const char* word;
    const char* models;
    bool noDerivative;
};

#define EQNKIT_DOC_ROW(name, word, domain, op, cOp, arity, cArity, rule, cRule)                                        \
    {word, sc::priv::FunctionDomain::domain == sc::priv::FunctionDomain::Both ? "real and complex" : "complex",        \
     std::string(#rule) == "None" && std::string(#cRule) == "None"},
const std::vector<TableRow> cTable = {EQNKIT_FUNCTIONS(EQNKIT_DOC_ROW)};
#undef EQNKIT_DOC_ROW

TEST(LanguageReference, TheFunctionListIsTheFunctionTable)
{
    const std::vector<Row> documented = documentedFunctions(EQNKIT_DOCS "/ModelLanguage.md");
    ASSERT_EQ(documented.size(), cTable.size());
    for (std::size_t i = 0; i < cTable.size(); ++i)
    {
        EXPECT_EQ(documented[i].word, cTable[i].word) << "row " << i;
        EXPECT_EQ(documented[i].models, cTable[i].models) << cTable[i].word;
        EXPECT_EQ(documented[i].derivative == "none", cTable[i].noDerivative) << cTable[i].word;
    }
}
} // namespace
