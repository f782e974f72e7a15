// Loads a real-valued model text, compiles its start values and nonlinear equations,
// and prints each equation with its residual and symbolic Jacobian at the start values.

#include <cstdio>
#include <string>
#include <vector>

#include <cnt/FixNumSet.h>
#include <cnt/List.h>
#include <cnt/PushBackVector.h>
#include <sc/Naming.h>
#include <sc/SCLib.h>
#include <sc/TokenizedModel.h>

#include "CU.h"
#include "CompileContext.h"
#include "ExpressionTree.h"
#include "ISolverServices.h"
#include "ParserPools.h"
#include "RPNParser.h"
#include "RndGenManager.h"
#include "StatisticsStore.h"
#include "SymbolMap.h"

namespace
{
// Prints every message as one line on standard output.
class PrintLog final : public sc::ILog
{
public:
    void reserved0() override {}
    void reserved1() override {}
    void reserved2() override {}
    void showEntry(const LE& e, Type type) override
    {
        const char* kind = type == Error ? "error" : type == Warning ? "warning" : "info";
        std::printf("%s (line %u, column %u): %s\n", kind, e.line, e.col, e.msg.c_str());
    }
    void setTranslator(Translator) override {}
    void showText(const td::String& text, Type type) override { showEntry({text, 0, 0}, type); }
    void showFormatted(const char* key, td::UINT4 line, td::UINT4 col, Type type, int, ...) override
    {
        showEntry({td::String(key), line, col}, type);
    }
    void showKeyAt(const char* key, td::UINT4 line, td::UINT4 col, Type type) override
    {
        showEntry({td::String(key), line, col}, type);
    }
    void showKey(const char* key, Type type) override { showEntry({td::String(key), 0, 0}, type); }
    void reserved9() override {}
    td::UINT4 reserved10() override { return 0; }
};

// The values and names that compiled expressions read.
class ModelValues final : public sl::ISolverServices<double>
{
public:
    td::UINT4 getNumberOfVariables() override { return nVars; }
    td::UINT4 getNumberOfParameters() override { return nParams; }
    double* getVariableValuesPtr() override { return values.data(); }
    sl::ISolverServices<double>* getParentSolver() override { return nullptr; }
    sc::ILog* getLog() override { return pLog; }
    const char* getSymbolName(td::INT4 i) override { return names[static_cast<std::size_t>(i)].c_str(); }
    td::INT4 getSymbolIndex(const char* name) override
    {
        for (std::size_t i = 0; i < names.size(); ++i)
            if (names[i] == name)
                return static_cast<td::INT4>(i);
        return -1;
    }
    void updateSymbolValue(const double* v, td::INT4 i, char op, sl::ValuePart) override
    {
        sl::Evaluator<double>::applyAssignment(values[static_cast<std::size_t>(i)], *v, op);
    }
    bool hasConjugatePartners() override { return false; }
    sl::StatisticsStore<double>* getStatisticsStore() override { return &stats; }
    sl::FnLimits<double>* getFnLimits() override { return &limits; }
    sl::RndGenManager* getRndGenManager() override { return &generators; }
    td::UINT4 getNumberOfValues() override { return static_cast<td::UINT4>(values.size()); }

    std::vector<double> values;
    std::vector<std::string> names;
    td::UINT4 nVars = 0;
    td::UINT4 nParams = 0;
    sc::ILog* pLog = nullptr;
    sl::StatisticsStore<double> stats;
    sl::FnLimits<double> limits;
    sl::RndGenManager generators;
};

// A parser that records the variables each equation reads.
class CollectingParser final : public sl::RPNParser<double>
{
public:
    using sl::RPNParser<double>::RPNParser;
    bool collectsUsedVars() override { return true; }
    bool markVariableUsed(td::UINT4 index) override
    {
        if (index >= pUsed->size())
            return false;
        pUsed->insert(index);
        return true;
    }
    cnt::FixNumSet* pUsed = nullptr;
};

td::String passKey(const char* key) { return td::String(key); }

std::string treeText(sl::ExpressionTree<double>& tree)
{
    td::MutableString s;
    tree.toString(s, 0);
    return s.c_str();
}

struct Build
{
    explicit Build(PrintLog& log)
    {
        values.pLog = &log;
        data.pSolver = &values;
        data.pLog = &log;
        data.pEvaluatorPool = &evaluators;
        data.pInstructionPool = &instructions;
        data.pErrorLog = &errorLog;
        data.pUsedVars = &used;
        data.pLastUsedVarsForLimits = &usedForLimits;
        data.currentSection = static_cast<td::BYTE>(sl::ErrorSection::NLEqs);
        parser.pUsed = &used;
    }

    // Compiles the statement at the iterator from token `first` into a tree.
    bool compile(const sc::TokenizedModel::iterator& it, td::UINT4 first, sl::ExpressionTree<double>& tree)
    {
        parser.clearTokens();
        td::BYTE kind = 0;
        data.keyLine = it.line().line;
        data.keyColumn = 1;
        return parser.compileTokens(it, first, kind) && tree.build(parser.getFirstToken());
    }

    bool evaluate(sl::ExpressionTree<double>& tree, double& out)
    {
        sl::Evaluator<double>* e = data.newEvaluator();
        if (!tree.createEvaluator(e))
            return false;
        sl::CU<double> cu(&values);
        out = e->evaluate(cu);
        return true;
    }

    ModelValues values;
    sl::SymbolMap symbols;
    cnt::PushBackVector<double> parserValues;
    CollectingParser parser{symbols, parserValues};
    cnt::List<sl::Evaluator<double>> evaluators{256};
    cnt::List<sl::CompileContext<double>::Routine> instructions{256};
    sl::ErrorLog errorLog;
    cnt::FixNumSet used;
    cnt::FixNumSet usedForLimits;
    sl::CompileContext<double> data;
};

// Start values: a declaration "name = expression" evaluates its expression; parameters
// first, so that variables may use them.
bool readStartValues(Build& b, const sc::TokenizedModel& model, sc::Group group, td::UINT4 offset)
{
    sc::TokenizedModel::iterator it = model.getGroup(group, sc::ModelLevel::Main);
    td::UINT4 index = offset;
    for (++it; !it.atEnd(); ++it, ++index)
    {
        if (it.line().nExpr < 3)
            continue;
        sl::ExpressionTree<double> tree(&b.data, nullptr, b.values.nVars, true);
        double value = 0;
        if (!b.compile(it, 2, tree) || !b.evaluate(tree, value))
            return false;
        b.values.values[index] = value;
    }
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: %s <model file>\n", argv[0]);
        return 2;
    }
    sc::reserveNamings(1);
    sc::setDefaultDataForAllNamings();
    sc::setDefaultDataForNaming(0);

    PrintLog log;
    cnt::SafeFullVector<td::Variant> header;
    sc::Naming naming;
    sc::TokenizedModel model(&log, header, &passKey, naming, 0);
    if (!model.loadFromFile(td::String(argv[1])))
    {
        std::printf("the model did not load\n");
        return 1;
    }
    const sc::_MI& info = model.getModelInfo(sc::ModelLevel::Main);
    if (info.complex)
    {
        std::printf("this example reads real-valued models only\n");
        return 1;
    }

    Build b(log);
    b.values.nVars = naming.getNumberOfVars(sc::ModelLevel::Main);
    b.values.nParams = naming.getNumberOfParams(sc::ModelLevel::Main);
    for (td::UINT4 i = 0; i < b.values.nVars; ++i)
        b.values.names.emplace_back(naming.getVarName(i, sc::ModelLevel::Main)->c_str());
    for (td::UINT4 i = 0; i < b.values.nParams; ++i)
        b.values.names.emplace_back(naming.getParamName(i, sc::ModelLevel::Main)->c_str());
    for (td::UINT4 i = 0; i < b.values.names.size(); ++i)
        b.parser.addSymbolName(b.values.names[i].c_str(), i);
    b.parser.setNumberOfSymbols(b.values.nVars, b.values.nParams);
    b.values.values.assign(b.values.names.size() + sl::ISolverServices<double>::cStatusSymbols, 0.0);
    b.used.reset(b.values.nVars > 0 ? b.values.nVars : 1);
    b.usedForLimits.reset(b.values.nVars > 0 ? b.values.nVars : 1);
    b.parser.bindSolverData(b.data);

    std::printf("model type %u, tolerance %g, %u variables, %u parameters, %u equations\n", info.type, info.eps,
                b.values.nVars, b.values.nParams, model.getNumberOfExpressions(sc::Group::NLEs, sc::ModelLevel::Main));
    if (!readStartValues(b, model, sc::Group::Params, b.values.nVars) || !readStartValues(b, model, sc::Group::Vars, 0))
        return 1;
    for (std::size_t i = 0; i < b.values.names.size(); ++i)
        std::printf("  %s = %g\n", b.values.names[i].c_str(), b.values.values[i]);

    sc::TokenizedModel::iterator it = model.getGroup(sc::Group::NLEs, sc::ModelLevel::Main);
    int number = 0;
    for (++it; !it.atEnd(); ++it)
    {
        b.used.clear();
        sl::ExpressionTree<double> equation(&b.data, nullptr, b.values.nVars, true);
        double residual = 0;
        if (!b.compile(it, 0, equation) || !b.evaluate(equation, residual))
            return 1;
        std::printf("equation %d: %s = 0, residual %g\n", ++number, treeText(equation).c_str(), residual);
        for (td::UINT4 v : b.used)
        {
            sl::ExpressionTree<double> derivative(&b.data, nullptr, b.values.nVars, true);
            double slope = 0;
            if (!equation.differentiate(derivative, v))
                return 1;
            if (!derivative.getRoot())
                continue;
            if (!b.evaluate(derivative, slope))
                return 1;
            std::printf("  d/d%s = %s = %g\n", b.values.names[v].c_str(), treeText(derivative).c_str(), slope);
        }
    }
    return 0;
}
