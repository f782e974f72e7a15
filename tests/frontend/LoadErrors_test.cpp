#include <sc/TokenizedModel.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/LineListEditor.h"
#include <sc/MessageKeys.h>
#include <sc/priv/ModelLoader.h>

#include "ModelFixture.h"

namespace
{
using namespace sc::msg;
using sc::Group;
using sc::ModelLevel;
using test::LoadedModel;
constexpr sc::ILog::Type E = sc::ILog::Error;

// Messages count lines from the text's first; the cases count them from the body's first,
// which the header's two lines stand before.
const std::string cHeader = "Header:\nend\n";
constexpr td::UINT4 cHeaderLines = 2;
const std::string cBase = "Model:\nVars:\nx\n";                                // body lines 1-3
const std::string cSub = "Model:\nVars:\nx\nSubModel:\n";                      // sub-model from line 4
const std::string cSubVars = "Model:\nVars:\nx\nSubModel:\nVars:\nu\nNLEs:\n"; // sub statements from line 8

struct ErrorCase
{
    std::string body;
    std::string text; // the message as shown (key, "key (name)" or "key:token")
    td::UINT4 line, col;
    sc::ILog::Type type = E;
};

std::string named(const char* key, const char* name) { return std::string(key) + " (" + name + ")"; }

const std::vector<ErrorCase>& errorCases()
{
    static const std::vector<ErrorCase> cases = {
        // Structure pass.
        {"Model:\nModel:\nend\n", mlWrongModelPos, 2, 1},
        {cSub + "SubModel:\nend\nend\n", mlWrongSubModelPos, 5, 1},
        {"Model:\nVars:\nx $\nend\n", mlUnexpectedToken, 3, 3},
        // Declarations.
        {cBase + "x\nend\n", named(mlVarDDVars, "x"), 4, 1},
        {"Model:\nParams:\na\nVars:\na\nend\n", named(mlVarDDInPars, "a"), 5, 1},
        {"Model:\nDistribs:\nd\nVars:\nd\nend\n", named(mlVarDDInDists, "d"), 5, 1},
        {"Model:\nParams:\na\na\nend\n", named(mlParDDInPars, "a"), 4, 1},
        {"Model:\nVars:\na\nParams:\n  a = 1\nend\n", named(mlParDDInVars, "a"), 5, 3},
        {"Model:\nStats:\ns1\nParams:\ns1\nend\n", named(mlParDDInDists, "s1"), 5, 1},
        {"Model:\nParams:\na\nDistribs:\na\nend\n", named(mlDistDDInPars, "a"), 5, 1},
        {"Model:\nVars:\na\nStats:\na\nend\n", named(mlDistDDInVars, "a"), 5, 1},
        {"Model:\nDistribs:\nd\nStats:\nd\nend\n", named(mlDistDDInDists, "d"), 5, 1},
        {cSub + "Vars:\nu\nu\nend\nend\n", named(mlSubVarDDSubVars, "u"), 7, 1},
        {cSub + "Params:\nk\nVars:\nk\nend\nend\n", named(mlSubVarDDSubPars, "k"), 8, 1},
        {cSub + "Distribs:\nd\nVars:\nd\nend\nend\n", named(mlSubVarDDSubDists, "d"), 8, 1},
        {cSub + "Vars:\nu\nParams:\nu\nend\nend\n", named(mlSubParDDSubVars, "u"), 8, 1},
        {cSub + "Params:\nk\nk\nend\nend\n", named(mlSubParDDSubPars, "k"), 7, 1},
        {"Model:\nVars:\nx\nParams:\np\nSubModel:\nParams:\np\nend\nend\n", named(mlSubParDDInPars, "p"), 8, 1},
        {cSub + "Stats:\nsu\nParams:\nsu\nend\nend\n", named(mlSubParDDSubDists, "su"), 8, 1},
        {cSub + "Vars:\nu\nDistribs:\nu\nend\nend\n", named(mlDistDDInVars, "u"), 8, 1},
        // Statement pass.
        {cBase + "NLEs:\nx = @main.x\nend\n", mlMainRefInMainModel, 5, 5},
        {cSubVars + "u = @main x\nend\nend\n", mlNoDotAfterBase, 8, 11},
        {cSubVars + "u = @main.q\nend\nend\n", mlUnknownLblBase, 8, 11},
        {cBase + "NLEs:\nswitch\ncase x case x -> x = 1\nend\nend\n", mlConsecCase, 6, 8},
        {cBase + "NLEs:\nswitch\ncase x; x = 1\nend\nend\n", mlSemicolonInCaseCond, 6, 7},
        {"[w = 1]\n" + cBase + "end\n", mlAttribStartGr, 1, 1},
        {cBase + "NLEs:\nx = 1 [w = 1] [w = 2]\nend\n", mlConsAttribStartToken, 5, 15},
        {cBase + "NLEs:\nx = 1 [w = 2 = 3]\nend\n", mlExpectedAttName, 5, 14},
        {cBase + "NLEs:\nx = 1 [w 2]\nend\n", mlExpectedEqInAttDef, 5, 10},
        {cBase + "NLEs:\nq = 1\nend\n", mlUnknownLbl, 5, 1},
        {cSubVars + "x = 1\nend\nend\n", mlUnknownLblSM, 8, 1},
        {cBase + "NLEs:\nx = 1; end\n", mlExprAfterEnd, 5, 8},
        {cBase + "NLEs:\nx = 1\nend x\n", mlExprAfterEnd, 6, 5},
        {cBase + "NLEs:\nx = 1\nend // fine\nx = 2\n", mlExprAfterEnd, 7, 1},
        {cBase + "NLEs:\n[w=2];\nend\n", mlSemiColNoExpr, 5, 6},
        {cBase + "NLEs:\n[w=2]\nend\n", mlEmptyExpression, 5, 5},
        {"1;\n" + cBase + "end\n", mlWrongCurrentGroup, 1, 2},
        {"1\n" + cBase + "end\n", mlWrongCurrentGroup, 1, 1},
        {cBase + "NLEs:\nx = 1 [w = 2\nend\n", mlAttribStartEndMismatch, 5, 12},
        {"Model [type = NL\nVars:\nx\nend\n", mlAttribStartEndMismatch, 1, 15},
        {cBase + "NLEs:\nx = $\nend\n", std::string(mlUnexpectedToken) + ":$", 5, 5},
        {cBase + "NLEs: x = 1\nend\n", mlExprAfterGroup, 4, 7},
        {cBase + "x = 1 NLEs:\nend\n", mlGroupNotFirst, 4, 7},
        {cBase + "NLEs:\nx = 1\nNLEs:\nx = 2\nend\n", mlDblGroupInModel, 6, 1},
        {cSubVars + "u = 1\nend\nx = 1\nNLEs:\nx = 1\nend\n", mlWrongCurrentGroup, 10, 5},
        // Expression counting.
        {cBase + "NLEs:\nx = 1; [w=2];\nend\n", ceNoTokensCountExpr, 5, 11},
        // An if that a group line finds open, at its word.
        {cBase + "PreProc:\nif x > 0\nNLEs:\nend\nx = 1\nend\n", mlBlockWithoutEnd, 5, 1},
        {cBase + "NLEs:\nrepeat\nend\n", ceRepeatOnlyInRepeatsGroup, 5, 1},
        {cBase + "ReInit:\nx = 1\n  repeat\nend\n", ceRepeatOnlyInRepeatsGroup, 6, 3},
        // Model line.
        {"Model [domain = \"cmplx\"]:\nVars:\nx\nend\n", mlMissDomainEn, 1, 18},
        {"Model [type = \"NL\"]:\nVars:\nx\nend\n", mlMissModelTypeEn, 1, 16},
        {"Model [type = MLE]:\nVars:\nx\nend\n", mlWrongModelType, 1, 15},
        {"Model [method = 3]:\nVars:\nx\nend\n", mlWrongMethodType, 1, 17},
        {"Model [eps = true]:\nVars:\nx\nend\n", mlWrongEpsType, 1, 14},
        {"Model [name = abc]:\nVars:\nx\nend\n", mlWrongModelNameType, 1, 15},
        // Copied parameters.
        {"Model:\nVars:\nx\nParams:\nu\nSubModel [copyPars = -1]:\nVars:\nu\nend\nend\n",
         named(mlCopiedParDDInSubModel, "u"), 8, 1},
        {"Model:\nVars:\nx\nParams:\nk\nSubModel [copyPars = 1]:\nVars:\nu\nStats:\n  k\nend\nend\n",
         named(mlCopiedParDDInSubModel, "k"), 10, 3},
    };
    return cases;
}

bool hasMessage(const LoadedModel& m, const ErrorCase& c)
{
    for (const auto& msg : m.log.messages)
        if (msg.text == c.text && msg.line == c.line + cHeaderLines && msg.col == c.col && msg.type == c.type)
            return true;
    return false;
}

TEST(LoadErrors, EveryKeyAtItsPosition)
{
    for (const ErrorCase& c : errorCases())
    {
        LoadedModel m;
        EXPECT_FALSE(m.fromString(cHeader + c.body)) << c.body;
        EXPECT_TRUE(hasMessage(m, c)) << c.text << " @" << c.line + cHeaderLines << ":" << c.col << " in\n"
                                      << c.body << "got:\n"
                                      << m.errors();
    }
}

TEST(LoadErrors, NegativeEpsIsAWarning)
{
    LoadedModel m;
    EXPECT_TRUE(m.fromString(cHeader + "Model [eps = -3]:\nVars:\nx\nend\n")) << m.errors();
    EXPECT_TRUE(hasMessage(m, {"", mlNegativeEpsUseDefault, 1, 14, sc::ILog::Warning}));
    EXPECT_EQ(m.model->getModelInfo(ModelLevel::Main).eps, 1e-6);
}

TEST(LoadErrors, LoadsThatMustNotSucceed)
{
    // A missing header stands where the header should (the first line with a token, else
    // the first line); a missing model where the header ends.
    struct Case
    {
        const char* text;
        const char* key;
        td::UINT4 line, col;
    } cases[] = {
        {"", mlHeaderIncorrectOrMissing, 1, 1},
        {"// only a comment\n", mlHeaderIncorrectOrMissing, 1, 1},
        {"\n  Model:\nVars:\nx\nend\n", mlHeaderIncorrectOrMissing, 2, 3},
        {"Header:\nend\n", mlEmptyModel, 2, 1},
        {"Header:\nend\n// nothing here\n\n", mlEmptyModel, 2, 1},
    };
    for (const Case& c : cases)
    {
        LoadedModel m;
        EXPECT_FALSE(m.fromString(c.text)) << c.text;
        bool found = false;
        for (const auto& msg : m.log.messages)
            found = found || (msg.text == c.key && msg.type == E && msg.line == c.line && msg.col == c.col);
        EXPECT_TRUE(found) << c.text << m.errors();
    }
    LoadedModel missing;
    EXPECT_FALSE(missing.fromFile(test::dataPath("no-such-model.txt")));
    ASSERT_EQ(missing.log.messages.size(), 1u);
    EXPECT_EQ(missing.log.messages[0].text, mlCannotOpenFile);
}

TEST(LoadErrors, ErrorsAreShownOnlyBelowTheLimit)
{
    LoadedModel m;
    m.log.countAnswer = 32;
    EXPECT_FALSE(m.fromString(cHeader + "Model:\nVars:\nx\nx\nend\n"));
    EXPECT_TRUE(m.log.messages.empty()) << m.errors();
}

TEST(MendedFaults, ModelLineWithOneAttribute)
{
    LoadedModel m;
    ASSERT_TRUE(m.fromString(cHeader + "Model [type = WLS]:\nVars:\nx\nWLSEs:\nx = 1\nend\n")) << m.errors();
    EXPECT_EQ(m.model->getModelInfo(ModelLevel::Main).type, 1);
}

TEST(MendedFaults, SymbolIndicesBeyondSixteenBitsAreRefused)
{
    std::string text = cHeader + "Model:\nVars:\n";
    for (int i = 0; i <= 65536; ++i)
        text.append("v").append(std::to_string(i)).append("\n");
    LoadedModel m;
    EXPECT_FALSE(m.fromString(text + "NLEs:\nv65535 = v0\nv65536 = 1\nend\n"));
    // The declaration of the 65,537th variable and its use are refused.
    EXPECT_EQ(m.errors(), "@ML.SymbolIndexTooBig @65541:1\n@ML.SymbolIndexTooBig @65544:1\n");
}

TEST(MendedFaults, CopiedParametersAreListedByIndex)
{
    LoadedModel m;
    ASSERT_TRUE(m.fromString(test::readData("full.txt"))) << m.errors();
    EXPECT_STREQ(m.naming.getParamName(1, ModelLevel::Sub)->c_str(), "p");
    EXPECT_STREQ(m.naming.getParamName(2, ModelLevel::Sub)->c_str(), "q");

    LoadedModel all;
    ASSERT_TRUE(all.fromString(
        cHeader + "Model:\nVars:\nx\nParams:\na\nb\nc\nSubModel [copyPars = 7]:\nVars:\nu\nParams:\nk\nend\nend\n"))
        << all.errors();
    EXPECT_EQ(all.model->getCopyParamsFromParentToSubModelCopied(), 3u);
    EXPECT_EQ(all.model->getNumberOfInitialSubProblemParams(), 1u);
    EXPECT_STREQ(all.naming.getParamName(3, ModelLevel::Sub)->c_str(), "c");
}

TEST(MendedFaults, SubModelTimeParametersAreItsOwn)
{
    LoadedModel m;
    ASSERT_TRUE(m.fromString(
        cHeader +
        "Model [type = ODE]:\nVars:\nx\nParams:\nk\nSubModel:\nVars:\nu\nParams:\nh\nt\nend\nODEs:\nx' = -k*x\nend\n"))
        << m.errors();
    EXPECT_EQ(m.model->getIndexOfDeltaTimeParam(ModelLevel::Main), 1);
    EXPECT_EQ(m.model->getIndexOfTimeParam(ModelLevel::Main), 2);
    EXPECT_EQ(m.model->getIndexOfTimeParam(ModelLevel::Sub), 1);
    EXPECT_EQ(m.model->getIndexOfDeltaTimeParam(ModelLevel::Sub), -1);
}

TEST(MendedFaults, SecondLoadStartsFromEmptyStores)
{
    LoadedModel fresh;
    ASSERT_TRUE(fresh.fromString(test::readData("nl.txt")));
    LoadedModel reused;
    ASSERT_TRUE(reused.fromString(test::readData("full.txt")));
    ASSERT_TRUE(reused.fromString(test::readData("nl.txt"))) << reused.errors();
    EXPECT_EQ(reused.model->getExpressionTokens().size(), fresh.model->getExpressionTokens().size());
    EXPECT_EQ(reused.model->getAttribTokens().size(), fresh.model->getAttribTokens().size());
    EXPECT_EQ(reused.model->getNumberOfExpressions(Group::NLEs, ModelLevel::Main), 2u);
    EXPECT_EQ(reused.model->getNumberOfLimits(ModelLevel::Main), 0u);
    EXPECT_TRUE(reused.model->getGroup(Group::SubModel, ModelLevel::Sub).atEnd());
    EXPECT_EQ(reused.naming.getNumberOfVars(ModelLevel::Sub), 0u);
}

TEST(EditorRoad, WithAndWithoutReloadingNames)
{
    test::LineListEditor editor({"Model [type = ODE, domain = cmplx]:", "Vars:", "x = 1", "Params:", "a", "b",
                                 "SubModel [copyPars = 1]:", "Vars:", "u", "end", "ODEs:", "x' = -a*x + 2i", "end"});
    test::RecordingLog log;
    cnt::SafeFullVector<td::Variant> header;
    sc::Naming naming;
    test::ensureDefaultVocabulary();
    {
        sc::TokenizedModel model(&log, header, &test::keepKey, naming, 0);
        ASSERT_TRUE(model.loadFromEditor(&editor, true, sc::Domain::Real));
        EXPECT_EQ(header.size(), 0u); // the editor road reads no header
        EXPECT_TRUE(model.isComplex());
        EXPECT_EQ(model.getIndexOfTimeParam(ModelLevel::Main), 3);
        EXPECT_EQ(model.getCopyParamsFromParentToSubModelCopied(), 1u);
        EXPECT_EQ(log.reserved0Calls, 0);
    }
    EXPECT_EQ(naming.getNumberOfParams(ModelLevel::Main), 4u);
    {
        sc::TokenizedModel model(&log, header, &test::keepKey, naming, 0);
        ASSERT_TRUE(model.loadFromEditor(&editor, false, sc::Domain::Real));
        EXPECT_TRUE(model.isComplex());
        EXPECT_EQ(model.getIndexOfDeltaTimeParam(ModelLevel::Main), 2);
        EXPECT_EQ(model.getIndexOfTimeParam(ModelLevel::Main), 3);
        EXPECT_EQ(model.getCopyParamsFromParentToSubModelCopied(), 1u);
        EXPECT_EQ(model.getNumberOfInitialSubProblemParams(), 0u);
        EXPECT_EQ(model.getNumberOfExpressions(Group::ODEs, ModelLevel::Main), 1u);
        EXPECT_EQ(naming.getNumberOfParams(ModelLevel::Main), 4u); // nothing declared twice
        EXPECT_EQ(naming.getNumberOfParams(ModelLevel::Sub), 1u);
    }
    EXPECT_EQ(log.countOfType(E), 0u);
}

TEST(LineLocations, CodesOfEveryPart)
{
    test::ensureDefaultVocabulary();
    sc::Naming naming;
    cnt::Array<cnt::PushBackVector<td::Variant>, 2> attribs;
    sc::LocationPair vars, params, distribs, stats, models;
    cnt::Array<td::INT4, 2> dT, t;
    cnt::Array<td::UINT4, 2> limits;
    sc::LoaderTargets targets{&attribs, &vars, &params, &distribs, &stats, &models, &dT, &t, &limits};
    auto locate = [&](const std::string& text, std::vector<td::BYTE> expected) {
        sc::ModelLoader loader(naming, sc::s_tokenizer, targets, &test::keepKey, sc::s_strComplexAttribValue, true);
        loader.bindVocabulary(0);
        td::String source(text);
        mu::LineLoader lines(0, mu::LineLoader::Source::String);
        lines.setOffset(0);
        lines.setSource(&source);
        td::MutableString line;
        loader.readStructure(lines, line);
        for (td::UINT4 i = 0; i < expected.size(); ++i)
            EXPECT_EQ(loader.getLineLocation(i + 1), expected[i]) << "line " << i + 1 << " of\n" << text;
    };
    locate("// before\nModel:\nVars:\nx\nDistribs:\nd\nParams:\np\nSubModel [copyPars = "
           "3]:\nVars:\nu\nParams:\nk\nDistribs:\ne\n"
           "Stats:\nf\nNLEs:\nu = k\nend\nNLEs:\n",
           {0, 1, 2, 3, 7, 2, 7, 6, 7, 8, 9, 8, 12, 8, 10, 8, 11, 8, 8, 7, 7});
    EXPECT_EQ(models[1].location, 9u);
    EXPECT_EQ(models[1].count, 11u);
    EXPECT_EQ(attribs[1].size(), 1u);
    EXPECT_EQ(attribs[1][0].toDouble(), 3.0);
    locate("Model:\nVars:\nx\nend\n\n", {1, 2, 3, 3, 3, 14});
    EXPECT_EQ(models[0].count, 4u);
}
} // namespace
