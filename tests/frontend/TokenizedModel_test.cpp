#include <sc/TokenizedModel.h>
#include <sc/priv/FunctionTable.h>

#include <cmath>
#include <numbers>
#include <vector>

#include <gtest/gtest.h>
#include <sc/MessageKeys.h>

#include "ModelFixture.h"

namespace
{
using sc::Group;
using sc::ModelLevel;
using sc::Token;
using test::LoadedModel;
constexpr ModelLevel Main = ModelLevel::Main;
constexpr ModelLevel Sub = ModelLevel::Sub;

struct GroupCount
{
    Group g;
    ModelLevel level;
    td::UINT4 n;
};

struct ModelCase
{
    const char* file;
    td::BYTE type;
    double eps;
    const char* method;
    bool complex;
    std::vector<GroupCount> counts;
    td::UINT4 limits;
    std::vector<const char*> vars, params, subVars, subParams; // in index order
    td::UINT4 outSymbols;
    td::INT4 dT, t;
};

const std::vector<ModelCase>& modelCases()
{
    static const std::vector<ModelCase> cases = {
        {"nl.txt",
         0,
         1e-6,
         nullptr,
         false,
         {{Group::Vars, Main, 2}, {Group::Params, Main, 2}, {Group::NLEs, Main, 2}},
         0,
         {"x", "y"},
         {"a", "r"},
         {},
         {},
         2,
         -1,
         -1},
        {"cmplx.txt",
         0,
         1e-8,
         nullptr,
         true,
         {{Group::Vars, Main, 1}, {Group::NLEs, Main, 1}},
         0,
         {"z"},
         {"c"},
         {},
         {},
         0,
         -1,
         -1},
        {"wls.txt",
         1,
         1e-5,
         "NR",
         false,
         {{Group::WLSEs, Main, 3}, {Group::ECs, Main, 1}, {Group::NLEs, Main, 0}},
         0,
         {"x", "y"},
         {"w1"},
         {},
         {},
         0,
         -1,
         -1},
        {"ode.txt",
         2,
         1e-6,
         nullptr,
         false,
         {{Group::ODEs, Main, 2}, {Group::PostProc, Main, 1}},
         0,
         {"x", "v"},
         {"k", "dT", "t"},
         {},
         {},
         0,
         1,
         2},
        {"dae.txt",
         3,
         0.0,
         "Trapez",
         false,
         {{Group::TFs, Main, 1}, {Group::ODEs, Main, 1}, {Group::NLEs, Main, 1}},
         0,
         {"x", "y", "u"},
         {"dT", "t"},
         {},
         {},
         0,
         0,
         1},
        {"full.txt",
         0,
         1e-6,
         nullptr,
         false,
         {{Group::Vars, Main, 3},
          {Group::Distribs, Main, 1},
          {Group::Stats, Main, 1},
          {Group::PreProc, Main, 1},
          {Group::NLEs, Main, 3},
          {Group::Limits, Main, 1},
          {Group::Repeats, Main, 1},
          {Group::PostProc, Main, 1},
          {Group::Vars, Sub, 1},
          {Group::NLEs, Sub, 1}},
         1,
         {"x", "y", "z"},
         {"p", "q"},
         {"u"},
         {"k", "p", "q"},
         2,
         -1,
         -1},
    };
    return cases;
}

void checkModel(const ModelCase& c, LoadedModel& m)
{
    SCOPED_TRACE(c.file);
    ASSERT_TRUE(m.ok) << m.errors();
    EXPECT_EQ(m.errors(), "");
    const sc::_MI& info = m.model->getModelInfo(Main);
    EXPECT_EQ(info.type, c.type);
    EXPECT_DOUBLE_EQ(info.eps, c.eps);
    EXPECT_EQ(info.complex, c.complex ? 1 : 0);
    EXPECT_EQ(m.model->isComplex(), c.complex);
    if (c.method)
    {
        ASSERT_NE(info.method, nullptr);
        EXPECT_STREQ(info.method->c_str(), c.method);
    }
    else
    {
        EXPECT_EQ(info.method, nullptr);
    }
    for (const GroupCount& gc : c.counts)
        EXPECT_EQ(m.model->getNumberOfExpressions(gc.g, gc.level), gc.n) << "group " << sc::idx(gc.g);
    EXPECT_EQ(m.model->getNumberOfLimits(Main), c.limits);
    auto names = [&](const std::vector<const char*>& expected, sc::UserLabel kind, ModelLevel level) {
        ASSERT_EQ(m.naming.getNumberOfUserLabels(kind, level), expected.size());
        for (unsigned i = 0; i < expected.size(); ++i)
        {
            EXPECT_STREQ(m.naming.getUserLabelName(kind, i, level)->c_str(), expected[i]);
            EXPECT_EQ(m.pos(kind, expected[i], level), static_cast<int>(i));
        }
    };
    names(c.vars, sc::UserLabel::Var, Main);
    names(c.params, sc::UserLabel::Param, Main);
    names(c.subVars, sc::UserLabel::Var, Sub);
    names(c.subParams, sc::UserLabel::Param, Sub);
    EXPECT_EQ(m.model->countOutSymbols(), c.outSymbols);
    EXPECT_EQ(m.model->getIndexOfDeltaTimeParam(Main), c.dT);
    EXPECT_EQ(m.model->getIndexOfTimeParam(Main), c.t);
}

TEST(TokenizedModel, ModelKindsLoadFromStringAndFile)
{
    for (const ModelCase& c : modelCases())
    {
        LoadedModel fromString;
        fromString.fromString(test::readData(c.file));
        checkModel(c, fromString);
        EXPECT_EQ(fromString.log.reserved0Calls, 1);

        LoadedModel fromFile;
        fromFile.fromFile(test::dataPath(c.file));
        checkModel(c, fromFile);
        EXPECT_EQ(fromFile.log.reserved0Calls, 0);
        EXPECT_EQ(fromFile.model->getNumberOfHeaderLines(), fromString.model->getNumberOfHeaderLines());
        EXPECT_EQ(fromFile.model->getExpressionTokens().size(), fromString.model->getExpressionTokens().size());
    }
}

// The tokens of the first statement of a group (the line after its own line).
std::vector<sc::_TokV> statementTokens(LoadedModel& m, Group g, ModelLevel level, unsigned nth = 0)
{
    sc::TokenizedModel::iterator it = m.model->getGroup(g, level);
    for (unsigned i = 0; i <= nth; ++i)
        ++it;
    std::vector<sc::_TokV> out;
    if (it.atEnd())
        return out;
    const sc::_tl& l = it.line();
    for (td::UINT4 i = 0; i < l.nExpr; ++i)
        out.push_back(m.model->getExpressionTokens()[l.firstExpr + i]);
    return out;
}

TEST(TokenizedModel, SelectedTokens)
{
    LoadedModel nl;
    ASSERT_TRUE(nl.fromString(test::readData("nl.txt")));
    auto eq = statementTokens(nl, Group::NLEs, Main);
    ASSERT_GE(eq.size(), 3u);
    EXPECT_EQ(eq[0].kind, Token::Var);
    EXPECT_EQ(eq[0].code, 0);
    EXPECT_STREQ(eq[0].getString()->c_str(), "x");
    EXPECT_EQ(eq[0].column, 1);
    EXPECT_EQ(eq[1].kind, Token::Power);
    EXPECT_EQ(eq[2].kind, Token::Integer);
    EXPECT_EQ(eq[2].getInt(), 2);
    auto model = nl.model->getGroup(Group::Model, Main);
    EXPECT_STREQ(model.findAttrib(sc::AttribID::Type)->c_str(), "NL");
    EXPECT_STREQ(model.findAttrib(sc::AttribID::Name)->c_str(), "circle");
    EXPECT_STREQ(nl.model->getModelInfo(Main).name->c_str(), "circle");
    const sc::_TokV* pEps = model.attrib(sc::AttribID::Eps);
    ASSERT_NE(pEps, nullptr);
    EXPECT_EQ(pEps->kind, Token::Real);
    EXPECT_EQ(pEps->extra, sc::idx(sc::AttribID::Eps));

    LoadedModel cm;
    ASSERT_TRUE(cm.fromString(test::readData("cmplx.txt")));
    auto z = statementTokens(cm, Group::Vars, Main);
    ASSERT_EQ(z.size(), 5u); // z = 1 + 1i
    EXPECT_EQ(z[4].kind, Token::Imaginary);
    EXPECT_EQ(z[4].getReal(), 1.0);
    auto c = statementTokens(cm, Group::NLEs, Main);
    const sc::_TokV& last = c.back();
    EXPECT_EQ(last.kind, Token::SpecialConst);
    EXPECT_EQ(last.getReal(), std::numbers::pi);
    bool sawImag = false;
    for (const sc::_TokV& t : c)
        sawImag = sawImag || (t.kind == Token::Function && t.code == sc::idx(sc::priv::Function::IMAG));
    EXPECT_TRUE(sawImag);

    LoadedModel full;
    ASSERT_TRUE(full.fromString(test::readData("full.txt")));
    auto sub = statementTokens(full, Group::NLEs, Sub); // u = k*@main.p + @main.x
    ASSERT_EQ(sub.size(), 7u);
    EXPECT_EQ(sub[2].kind, Token::Param);
    EXPECT_EQ(sub[2].extra, 0);
    EXPECT_EQ(sub[4].kind, Token::Param);
    EXPECT_EQ(sub[4].code, 0);
    EXPECT_EQ(sub[4].extra, 1);
    EXPECT_EQ(sub[6].kind, Token::Var);
    EXPECT_EQ(sub[6].extra, 1);
    auto dist = statementTokens(full, Group::Distribs, Main);
    EXPECT_EQ(dist[0].kind, Token::DistribName);
    auto post = statementTokens(full, Group::PostProc, Main);
    EXPECT_EQ(post[0].kind, Token::StatName);
    EXPECT_EQ(full.model->getCopyParamsFromParentToSubModelCopied(), 2u);
    EXPECT_EQ(full.model->getNumberOfInitialSubProblemParams(), 1u);
    EXPECT_EQ(full.model->getNumberOfExpressionsInLevel(Sub), 4u); // SubModel, Vars, Params, NLEs
}

TEST(TokenizedModel, GroupRangesAndAttributes)
{
    LoadedModel m;
    ASSERT_TRUE(m.fromString(test::readData("wls.txt")));
    // Lines of level 0: Model, Vars, x, y, Params, w1, WLSEs, 3 equations, ECs, 1 constraint, end.
    struct Range
    {
        Group g;
        td::UINT4 current, end;
    } ranges[] = {
        {Group::Model, 0, 13}, {Group::Vars, 1, 4}, {Group::WLSEs, 6, 10}, {Group::ECs, 10, 12}, {Group::NLEs, 0, 0}};
    for (const Range& r : ranges)
    {
        auto it = m.model->getGroup(r.g, Main);
        EXPECT_EQ(it.current, r.current) << sc::idx(r.g);
        EXPECT_EQ(it.end, r.end) << sc::idx(r.g);
    }
    EXPECT_TRUE(m.model->getGroup(Group::Vars, Sub).atEnd());

    auto it = m.model->getGroup(Group::WLSEs, Main);
    double w = 0;
    bool flag = false;
    EXPECT_FALSE(it.getAttrib(sc::AttribID::W, w)); // the group line has none
    ++it;
    EXPECT_TRUE(it.getAttrib(sc::AttribID::W, w));
    EXPECT_EQ(w, 2.0);
    EXPECT_TRUE(it.getAttrib(sc::AttribID::W, flag));
    EXPECT_TRUE(flag);
    ++it;
    w = -1;
    EXPECT_FALSE(it.getAttrib(sc::AttribID::W, w)); // a name, not a number
    EXPECT_EQ(w, -1);
    EXPECT_STREQ(it.findAttrib(sc::AttribID::W)->c_str(), "w1");
    ++it;
    EXPECT_TRUE(it.getAttrib(sc::AttribID::W, flag));
    EXPECT_TRUE(flag); // 0.5 is true
    EXPECT_EQ(it.findAttrib(sc::AttribID::W), nullptr);
    EXPECT_FALSE(it.getAttrib(sc::AttribID::Out, flag));
    ++it;
    ++it;
    EXPECT_TRUE(it.atEnd());
    EXPECT_FALSE(it.getAttrib(sc::AttribID::W, w));
    EXPECT_DEATH(it.getAttrib(sc::AttribID::ColorL, w), "isColor");
    EXPECT_DEATH(m.model->getGroup(Group::NA, Main), "idx\\(g\\) < 20");
}

TEST(TokenizedModel, HeaderGetters)
{
    LoadedModel m;
    ASSERT_TRUE(m.fromString(test::readData("nl.txt")));
    int i = 0;
    double d = 0;
    EXPECT_EQ(m.model->getHeaderParamValue(sc::HeaderParam::MaxIter, i), 1);
    EXPECT_EQ(i, 100);
    EXPECT_EQ(m.model->getHeaderParamValue(sc::HeaderParam::MaxIter, d), -1);
    EXPECT_EQ(d, 0.0);
    EXPECT_EQ(m.model->getHeaderParamValue(sc::HeaderParam::DTime, d), 1);
    EXPECT_EQ(d, 0.001);
    EXPECT_EQ(m.model->getHeaderParamValue(sc::HeaderParam::DTime, i), -1);
    EXPECT_EQ(m.model->getHeaderParamValue(sc::HeaderParam::NA, i), 0);
    EXPECT_EQ(m.model->getHeaderParamValue(sc::HeaderParam::NA, d), 0);
    td::Variant v;
    EXPECT_TRUE(m.model->getHeaderVariantValue(sc::HeaderParam::OutToTxt, v));
    EXPECT_FALSE(v.boolVal());
    EXPECT_FALSE(m.model->getHeaderVariantValue(sc::HeaderParam::NA, v));
    EXPECT_TRUE(m.model->getHeaderParamString(sc::HeaderParam::TxtFile).isEmpty());
    EXPECT_TRUE(m.model->getHeaderParamString(sc::HeaderParam::NA).isEmpty());
    EXPECT_EQ(m.model->getReportingType(), sc::Report::All);
    EXPECT_EQ(m.model->getNumberOfHeaderLines(), 4u);
}

// Where the header and its values, and the groups, stand: for the messages about them.
TEST(TokenizedModel, PlacesOfTheHeaderItsValuesAndTheGroups)
{
    LoadedModel m;
    ASSERT_TRUE(m.fromString("// settings\n  Header:\nmaxIter = 20   dTime = 0.5\nend\nModel [type = NL]:\nVars:\n"
                             "x = 1\nSubModel [type = NL]:\nVars:\nu = 0\n NLEs:\nu = 1\nend\nNLEs:\nx = 1\nend\n"))
        << m.errors();
    auto at = [](const sc::TextPlace& p) { return std::to_string(p.line) + ":" + std::to_string(p.column); };
    EXPECT_EQ(at(m.model->getHeaderPlace()), "2:3");
    EXPECT_EQ(at(m.model->getHeaderValuePlace(sc::HeaderParam::MaxIter)), "3:11");
    EXPECT_EQ(at(m.model->getHeaderValuePlace(sc::HeaderParam::DTime)), "3:24");
    // A setting the header does not name, and no setting, have no place.
    EXPECT_FALSE(m.model->getHeaderValuePlace(sc::HeaderParam::EndTime).isSet());
    EXPECT_FALSE(m.model->getHeaderValuePlace(sc::HeaderParam::NA).isSet());
    EXPECT_EQ(at(m.model->getGroupPlace(sc::Group::Model, sc::ModelLevel::Main)), "5:1");
    EXPECT_EQ(at(m.model->getGroupPlace(sc::Group::NLEs, sc::ModelLevel::Main)), "14:1");
    EXPECT_EQ(at(m.model->getGroupPlace(sc::Group::SubModel, sc::ModelLevel::Sub)), "8:1");
    EXPECT_EQ(at(m.model->getGroupPlace(sc::Group::NLEs, sc::ModelLevel::Sub)), "11:2");
    EXPECT_FALSE(m.model->getGroupPlace(sc::Group::PostProc, sc::ModelLevel::Main).isSet());
}

TEST(TokenizedModel, TimeParametersOfADynamicModel)
{
    LoadedModel m;
    ASSERT_TRUE(m.fromString(
        "Header:\nend\nModel [type = ODE]:\nVars:\nx = 1\nParams:\na = 1\nb = 2\nc = 3\nODEs:\nx' = -a*x\nend\n"))
        << m.errors();
    EXPECT_EQ(m.model->getIndexOfDeltaTimeParam(Main), 3);
    EXPECT_EQ(m.model->getIndexOfTimeParam(Main), 4);
    EXPECT_EQ(m.model->getIndexOfDeltaTimeParam(Sub), -1);
    EXPECT_EQ(m.model->getIndexOfTimeParam(Sub), -1);
    EXPECT_STREQ(m.naming.getParamName(4, Main)->c_str(), "t");

    LoadedModel stat;
    ASSERT_TRUE(stat.fromString(test::readData("nl.txt")));
    EXPECT_EQ(stat.model->getIndexOfTimeParam(Main), -1);
    EXPECT_EQ(stat.model->getIndexOfDeltaTimeParam(Sub), -1);
}

TEST(TokenizedModel, BlockQueries)
{
    LoadedModel m;
    ASSERT_TRUE(m.fromString(
        "Header:\nend\nModel:\nVars:\nx\ny\nz\nNLEs:\nx = 1\nif x > 0\ny = 1\nelse\ny = 2\nend\nswitch\ncase x > 0\nz "
        "= 1\n"
        "case x < 0\nz = 2\ndefault\nz = 3\nend\nLimits:\ngroup\nif x > 1\nx = 1\nend\nx = 0\ny = 0\nend\nend\n"))
        << m.errors();
    EXPECT_EQ(m.model->getNumberOfExpressions(Group::NLEs, Main), 3u);
    EXPECT_EQ(m.model->getNumberOfExpressions(Group::Limits, Main), 1u);
    auto it = m.model->getGroup(Group::NLEs, Main);
    ++it;
    EXPECT_EQ(m.model->getExpressionType(it, 0), sc::ExpressionType::Plain);
    ++it;
    EXPECT_EQ(m.model->getExpressionType(it, 0), sc::ExpressionType::If);
    EXPECT_EQ(m.model->countChildren(it, 0, Group::NLEs, sc::ExpressionType::If), 1u);
    for (int k = 0; k < 2; ++k)
        ++it;
    EXPECT_EQ(m.model->getExpressionType(it, 0), sc::ExpressionType::Else);
    EXPECT_EQ(m.model->countChildren(it, 0, Group::NLEs, sc::ExpressionType::Else), 1u);
    for (int k = 0; k < 3; ++k)
        ++it;
    bool hasDefault = false;
    EXPECT_EQ(m.model->countSwitchCases(it, 0, Group::NLEs, hasDefault), 3u);
    EXPECT_TRUE(hasDefault);
    auto lim = m.model->getGroup(Group::Limits, Main);
    ++lim;
    EXPECT_EQ(m.model->getExpressionType(lim, 0), sc::ExpressionType::Group);
    EXPECT_EQ(m.model->countChildren(lim, 0, Group::Limits, sc::ExpressionType::Group), 3u);
    EXPECT_EQ(m.errors(), "");
}

// Block-query errors, each after the block line (the first statement of NLEs), at the
// text's line and the offending statement's first token.
TEST(TokenizedModel, BlockQueryErrors)
{
    struct Case
    {
        const char* body;
        int query; // 0 countChildren as group, 1 countSwitchCases, 2 countChildren as if
        const char* key;
        td::UINT4 line, col;
    } cases[] = {
        {"group\nx = 1\nelse\nend\n", 0, sc::msg::ceElseWoEnd, 9, 1},
        {"if x > 0\n  repeat\nend\n", 2, sc::msg::ceRepeatWrongPos, 8, 3},
        {"if x > 0\ns\nend\n", 2, sc::msg::ceEqStartWReservedKW, 8, 1},
        {"switch\ncase x > 0\n if x > 0\nend\nend\n", 1, sc::msg::ceEqStartWReservedKW, 9, 2},
        {"switch\ndefault\nx = 1\ncase x > 0\nend\n", 1, sc::msg::ceCaseAfterDefault, 10, 1},
        {"switch\ndefault\ndefault\nend\n", 1, sc::msg::ceDblDefaultInCase, 9, 1},
        // A statement without expression tokens: at its first attribute.
        {"if x > 0\nx = 1; [w = 1];\nend\n", 2, sc::msg::ceNoTokensInExpr, 8, 13},
    };
    for (const Case& c : cases)
    {
        LoadedModel m;
        m.fromString(std::string("Header:\nend\nModel:\nVars:\nx\nNLEs:\n") + c.body + "end\n");
        m.log.messages.clear();
        auto it = m.model->getGroup(Group::NLEs, Main);
        ++it;
        bool hasDefault = false;
        td::UINT4 n = c.query == 1
                          ? m.model->countSwitchCases(it, 0, Group::NLEs, hasDefault)
                          : m.model->countChildren(it, 0, Group::NLEs,
                                                   c.query == 0 ? sc::ExpressionType::Group : sc::ExpressionType::If);
        EXPECT_EQ(n, 0u) << c.body;
        ASSERT_EQ(m.log.messages.size(), 1u) << c.body;
        EXPECT_EQ(m.log.messages[0].text, c.key) << c.body;
        EXPECT_EQ(m.log.messages[0].line, c.line) << c.body;
        EXPECT_EQ(m.log.messages[0].col, c.col) << c.body;
    }
    // A block that is never closed gives 0 without a message.
    LoadedModel open;
    open.fromString("Header:\nend\nModel:\nVars:\nx\nNLEs:\nif x > 0\nx = 1\n");
    open.log.messages.clear();
    auto it = open.model->getGroup(Group::NLEs, Main);
    ++it;
    EXPECT_EQ(open.model->countChildren(it, 0, Group::NLEs, sc::ExpressionType::If), 0u);
    EXPECT_TRUE(open.log.messages.empty());
}
} // namespace
