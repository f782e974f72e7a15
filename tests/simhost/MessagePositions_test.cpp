// Where the console logger says a problem stands: the line of the model text counted from
// its first line, whatever the header's length, on the file road and the string road, and
// the column of the token where the problem is.
#include <cstdio>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "support/ScratchPath.h"
#include <sc/ModelFactories.h>

namespace
{
// A model text with one problem: the line that holds it (which occurs once in the text) and
// the token on that line where it stands.
struct Problem
{
    const char* name;
    std::string body; // after the header; "MODEL" is replaced by the model line
    const char* line;
    const char* token;
    const char* key; // the start of the first error's text
};

struct Shown
{
    unsigned line = 0, col = 0;
    std::string msg;
};

// The first positioned error the console printed.
Shown firstError(const std::string& out)
{
    Shown s;
    const std::size_t at = out.find("Error! LineNo=");
    if (at == std::string::npos)
        return s;
    char msg[256] = {};
    std::sscanf(out.c_str() + at, "Error! LineNo=%u, colNo=%u, msg=%255[^\n]", &s.line, &s.col, msg);
    s.msg = msg;
    return s;
}

std::string replaced(std::string text, const std::string& what, const std::string& with)
{
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

// Line (from 1) and column (from 1) of token on the line that reads line.
void placeOf(const std::string& text, const char* line, const char* token, unsigned& lineNo, unsigned& col)
{
    const std::string whole = std::string("\n") + line + "\n";
    const std::size_t start = ("\n" + text).find(whole);
    ASSERT_NE(start, std::string::npos) << line;
    lineNo = 1;
    for (std::size_t i = 0; i < start; ++i)
        lineNo += text[i] == '\n';
    const std::size_t inLine = std::string(line).find(token);
    ASSERT_NE(inLine, std::string::npos) << token;
    col = static_cast<unsigned>(inLine) + 1;
}

template <typename T> sc::IModel<T, sc::IStatic>* create()
{
    if constexpr (std::is_same_v<T, double>)
        return sc::createRealStaticModel(sc::IStatic::NLE, sc::getConsoleLogger(), 50);
    else
        return sc::createCmplxStaticModel(sc::IStatic::NLE, sc::getConsoleLogger(), 50);
}

// What the console prints while the text is loaded from a file or from a string.
template <typename T> std::string printedLoad(const std::string& text, bool fromFile)
{
    sc::IModel<T, sc::IStatic>* pModel = create<T>();
    testing::internal::CaptureStdout();
    bool loaded = false;
    if (fromFile)
    {
        const std::string path = test::scratchPath("messagePositions.txt");
        std::ofstream(path, std::ios::binary) << text;
        loaded = pModel->initFromFile(td::String(path));
        std::remove(path.c_str());
    }
    else
        loaded = pModel->initFromString(td::String(text));
    std::fflush(stdout);
    std::string out = testing::internal::GetCapturedStdout();
    pModel->release();
    EXPECT_FALSE(loaded) << text;
    return out;
}

template <typename T> void expectTrueLinesAndColumns(const char* modelLine)
{
    const Problem problems[] = {
        {"front end, main model", "MODEL\nVars:\nx = 1\nNLEs:\nx = q + 1\nend\n", "x = q + 1", "q", "@ML.UnknownLbl"},
        {"front end, sub-model",
         "MODEL\nVars:\nx = 1\nSubModel [type = NL]:\nVars:\nu = 0\nNLEs:\n  u = w\nend\nNLEs:\nx = 1\nend\n",
         "  u = w", "w", "@ML.UnknownLblSM"},
        {"two operands", "MODEL\nVars:\nx = 1\ny = 1\nNLEs:\nx y = 1\ny = 2\nend\n", "x y = 1", "y",
         "@ET.LabelAfterOperand"},
        {"equation that ends in an operator", "MODEL\nVars:\nx = 1\nParams:\na = 1\nNLEs:\n    x^2 = 2 +\nend\n",
         "    x^2 = 2 +", "+", "@ET.)_AfterOper"},
        {"comparison as an equation", "MODEL\nVars:\nx = 1\ny = 1\nNLEs:\nx = 1\n  x - y == 0\nend\n", "  x - y == 0",
         "==", "@SC.ComparisonAsEquation"},
        {"operation without a derivative", "MODEL\nVars:\nx = 1\ny = 1\nNLEs:\nx = 1\ny = 2 + min(x, 1)\nend\n",
         "y = 2 + min(x, 1)", "min", "@ET.CantDiff"},
        {"builder, sub-model",
         "MODEL\nVars:\nx = 1\nSubModel [type = NL]:\nVars:\nu = 0\nNLEs:\nu = 2 +* 1\nend\nNLEs:\nx = 1\nend\n",
         "u = 2 +* 1", "*", "@ET.OperAfterOper"},
        // A bracket that no parenthesis closes, on either side of the equation and in a
        // start value, is told where it opens, not at the statement's last token.
        {"bracket left open on the left", "MODEL\nVars:\nx = 1\nNLEs:\n2*(x + 1 = 4\nend\n", "2*(x + 1 = 4", "(",
         "@ET.FnParamOr()MM"},
        {"call left open on the right", "MODEL\nVars:\nx = 1\nNLEs:\nx = 2 + sqrt(x + 1\nend\n", "x = 2 + sqrt(x + 1",
         "sqrt", "@ET.FnParamOr()MM"},
        {"bracket left open on the right", "MODEL\nVars:\nx = 1\nNLEs:\nx = (1 + (x) - 2\nend\n", "x = (1 + (x) - 2",
         "(", "@ET.FnParamOr()MM"},
        {"bracket left open in a start value", "MODEL\nVars:\nx = 2*(1 + 1\nNLEs:\nx = 1\nend\n", "x = 2*(1 + 1", "(",
         "@ET.FnParamOr()MM"},
    };
    // Three header lines, and five with a comment and a blank line.
    const std::string headers[] = {"Header:\nmaxIter = 50\nend\n", "// positions\nHeader:\nmaxIter = 50\n\nend\n"};
    for (bool fromFile : {false, true})
    {
        for (const std::string& header : headers)
        {
            for (const Problem& p : problems)
            {
                const std::string text = header + replaced(p.body, "MODEL", modelLine);
                unsigned line = 0, col = 0;
                placeOf(text, p.line, p.token, line, col);
                const Shown shown = firstError(printedLoad<T>(text, fromFile));
                SCOPED_TRACE(std::string(p.name) + (fromFile ? ", file" : ", string") + "\n" + text);
                EXPECT_EQ(shown.msg.rfind(p.key, 0), 0u) << shown.msg;
                EXPECT_EQ(shown.line, line);
                EXPECT_EQ(shown.col, col);
            }
        }
        // A header error stands on the text's first line, at the token after the colon.
        const Shown header = firstError(printedLoad<T>("Header: x\nend\nMODEL\n", fromFile));
        EXPECT_EQ(header.msg, "@ML.HeaderTokenAfter:");
        EXPECT_EQ(header.line, 1u);
        EXPECT_EQ(header.col, 9u);
    }
}

TEST(MessagePositions, TheConsoleShowsTheTextsLineAndTheTokensColumn)
{
    expectTrueLinesAndColumns<double>("Model [type = NL]:");
    expectTrueLinesAndColumns<std::complex<double>>("Model [type = NL, domain = cmplx]:");
}
} // namespace
