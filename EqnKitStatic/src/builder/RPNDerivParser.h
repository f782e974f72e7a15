// The model builder: turns the declarations, equations, statements, limits, generators
// and statistics of a tokenized model into a solver's data, written through the build
// context into the solver's stores. Made on the solver's stack for one load.
#pragma once

#include <complex>
#include <vector>

#include <cnt/FixNumSet.h>
#include <cnt/List.h>
#include <cnt/PushBackVector.h>
#include <cnt/SafeFullVector.h>
#include <mem/Manager.h>
#include <sc/ModelEnums.h>
#include <sc/Naming.h>
#include <sc/TokenizedModel.h>
#include <td/String.h>
#include <td/Types.h>

#include "DAEVarRecord.h"
#include "ExpressionTree.h"
#include "FigureDefinition.h"
#include "RPNParser.h"
#include "SolverStores.h"
#include "TransferFunction.h"

namespace sl
{
template <typename T> class RPNDerivParser : public RPNParser<T>
{
public:
    using Base = RPNParser<T>;
    using Traits = ValueTraits<T>;
    using Tree = ExpressionTree<T>;
    using Iterator = sc::TokenizedModel::iterator;
    using ValueArray = typename Base::ValueArray;
    using Groups = cnt::SafeFullVector<LimitGroup<T>>;

    // Equation kinds: nonlinear equations, measurement equations, equality constraints.
    static constexpr char cNLEquation = 'F';
    static constexpr char cMeasurement = 'H';
    static constexpr char cConstraint = 'E';

    // What buildStatements compiled; callers treat every value but Failed and LoneRepeat alike.
    enum StatementResult : td::BYTE
    {
        Failed = 0,
        Compiled = 1,
        SwitchCompiled = 4,
        IfCompiled = 6,
        LoneRepeat = 8
    };

    // A declaration whose start value is an expression over symbols: its line and the
    // index of its symbol (variables first, then parameters).
    struct DeferredValue
    {
        Iterator line;
        td::UINT4 symbol = 0;
    };
    using DeferredList = cnt::PushBackVector<DeferredValue>;

    // Binds the solver's symbol store and symbol values; both outlive the builder.
    RPNDerivParser(SymbolMap& names, ValueArray& values);
    explicit RPNDerivParser(SolverStores<T>& stores) : RPNDerivParser(stores.symbols, stores.values) {}

    bool collectsUsedVars() override { return _collectsUsedVars != 0; }
    // Collects a variable of the expression being compiled; false outside the variables.
    bool markVariableUsed(td::UINT4 index) override;

    // ---- build context ----

    // The first steps of every tokenized entry: the context's used-variable sets, the
    // model, and for a sub-model (which must have a parent) the parent's variable count.
    void bindEntry(SolverData<T>& data, const sc::TokenizedModel* pModel, sc::ModelLevel level);
    td::UINT4 getNumVariables() const { return this->_nVars; }
    td::UINT4 getNumParameters() const { return this->_nParams; }
    td::UINT4 getNumEquations() const { return _nEquations; }
    bool declarationsDone() const { return _declarationsDone != 0; }
    const cnt::FixNumSet& getUsedVars() const { return _usedVars; }
    // The variable type of a symbol's kind record: a state type (3, 4) or another one.
    void setStateVarType(td::INT4 varID, td::BYTE varType);
    void setVarType(td::INT4 varID, td::BYTE varType);
    // A generated name: mapped to index and kept in the name store.
    void copyName(const td::String& name, td::UINT4 index) { this->addSymbolName(name, index); }
    // Reserves n consecutive records for limit group groupIndex and records the group;
    // n <= 0 reserves none.
    static Evaluator<T>* allocLimitGroup(Groups& groups, cnt::List<Evaluator<T>>& pool, td::UINT4 groupIndex,
                                         td::INT4 n, bool enabled);
    // Complex build: whether variables get conjugate partners, in the parser and the stores.
    void setConjugatePartners(bool on) requires ValueTraits<T>::isComplex
    {
        // Explicit instantiations of the real build may instantiate this body too.
        if constexpr (Traits::isComplex)
            Base::setConjugatePartners(on);
        if (this->_pSolverData && this->_pSolverData->pStores)
            this->_pSolverData->pStores->settings.conjugatePartners = on ? 1 : 0;
    }
    // Gives the token and tree pools back; nothing of the trees made so far is used again.
    void releaseTrees();
    // The ReservedID of the line's first token; -1 for another token or an empty line.
    static int reservedWord(const Iterator& it);

    // ---- the tokenized road ----

    // The entries of the solver kinds, each after bindSolverData: declarations,
    // generators and statistics, the equations of the kind, then the section pass.
    // False after a key.
    bool initNR(const sc::Naming& naming, const sc::TokenizedModel& model, SolverData<T>& data, sc::ModelLevel level);
    bool initWLS(const sc::Naming& naming, const sc::TokenizedModel& model, SolverData<T>& data, sc::ModelLevel level);
    // The ODE list of the context, when the solver gives one, maps each ODE to its state.
    bool initODE(const sc::Naming& naming, const sc::TokenizedModel& model, SolverData<T>& data, sc::ModelLevel level);
    // The statement sections, the limits, the repeats and, for a main model, its sub-model.
    bool buildProcSections(const sc::Naming& naming, const sc::TokenizedModel& model, sc::ModelLevel level);
    // Section index 0 ReInit, 1 PreProc, 2 IterPostP, 3 BasePostP, 4 PostProc, 6 Repeats
    // into the context's section list of that index.
    bool buildSection(const sc::TokenizedModel& model, td::BYTE index, sc::ModelLevel level);
    // The main model's child from its SubModel line; true when the model has none.
    bool createSubModels(const sc::Naming& naming, const sc::TokenizedModel& model);

    // ---- ODE statements ----

    // The state an ODE statement defines, x' = f (headLength 2) or x = ... int(f) ...
    // (headLength 1, isIntegral); -1 after a key.
    td::INT4 checkODEFormat(const Iterator& it, td::UINT4& headLength, bool& isIntegral) const;
    // Calls of int in the statement's tokens.
    static td::UINT4 countIntegrals(const Iterator& it);
    // Builds f of an ODE statement into tree (integral form: pIntegral is the int node,
    // which odeMode 1 takes out so that the tree is the derivative); ODE mode writes the
    // state into entry eqIndex of the context's ODE list. The state, or -1 after a key.
    td::INT4 buildODEExpression(const Iterator& it, Tree& tree, typename Tree::Node*& pIntegral, td::UINT4 eqIndex,
                                td::BYTE odeMode);

    // ---- DAE models ----

    // One TFs statement y / u = f(s): the symbols, orders and forms the realisation
    // reads, and where the statement stands.
    struct TFStatement
    {
        TransferFunction tf;
        Iterator line;
        // tf.input counts from the first parameter until the declarations pass has run.
        bool inputIsParam = false;
    };

    // ODEs, transfer functions and NL equations discretised with the model's method
    // into one algebraic system over history parameters and stage variables. Rows:
    // transfer-function equations, ODE equations, NL equations. False after a key.
    bool initDAE(const sc::Naming& naming, const sc::TokenizedModel& model, SolverData<T>& data, sc::ModelLevel level);
    // The method attribute of the model line of the level; an unknown word warns and
    // keeps the method.
    void initIntegrationMethod(const sc::TokenizedModel& model, sc::ModelLevel level);
    // Reads every TFs statement: its symbols and the orders and forms of f(s).
    bool buildTransferFunctions(const sc::TokenizedModel& model, sc::ModelLevel level);
    // Replaces tree (f of the ODE of variable, or its integral form) by its Euler or
    // trapezoidal residual; false after an error entry for equation eqNo.
    bool mapDAEVarHistory(Tree& tree, typename Tree::Node* pIntegral, td::UINT4 variable, td::UINT4 eqNo);
    // Stages of the method: 2 for RK4, 3 for RK6, else 0.
    td::UINT2 getNumberOfStages() const;
    // The ODE states, sorted; the transfer functions in statement order.
    const cnt::SafeFullVector<td::INT4>& getStateVariables() const { return _stateVars; }
    const cnt::SafeFullVector<TFStatement>& getTransferFunctions() const { return _tfs; }
    // Realises a read transfer function whose states are declared and compiles its rows
    // from row on: each state's discretised derivative, then the algebraic rows.
    bool expandTransferFunction(const TFStatement& stmt, td::UINT4& row, td::UINT4& nonZeros);

    // ---- declarations ----

    // The declarations pass: symbols, their kinds and the solver-status symbols, then
    // the start values. False after a key.
    bool buildDeclarations(const sc::Naming& naming, const sc::TokenizedModel& model, sc::ModelLevel level);
    // The symbols alone (no start values).
    bool declareSymbols(const sc::Naming& naming, const sc::TokenizedModel& model, sc::ModelLevel level);
    // Start values of Vars and Params; deferred expressions in the order their symbols
    // need them.
    bool setDeclaredValues(const sc::TokenizedModel& model, sc::ModelLevel level);

    // ---- start values ----

    // One pass over a Vars (label Var) or Params (label Param) group from its own line:
    // types, output marks and literal or constant values; expressions over symbols go
    // to the deferred list.
    bool setDeclarationValues(Iterator group, DeferredList& deferred, sc::UserLabel label);
    // Compiles the line's tokens from firstToken and evaluates them once.
    bool makeInitialValue(T& out, const Iterator& it, td::UINT4 firstToken);
    // Evaluates the deferred values of both groups, each after the deferred values it reads.
    bool setInitialValues(const DeferredList& params, const DeferredList& vars);

    // ---- equations ----

    // Compiles the equation at it (an if or a switch leaves it on its end line) into
    // the residual list of its kind and adds its Jacobian entries to row eqIndex.
    bool buildSymbolicJacobian(Iterator& it, td::UINT4 eqIndex, td::UINT4& nonZeroCount, char kind);
    bool buildIfExpression(Iterator& it, Tree& tree, sc::Group group);
    bool buildSwitch(Iterator& it, Tree& tree, sc::Group group);
    // Compiles tree as equation eqIndex of its kind with its derivatives by every
    // variable collected for it.
    bool makeJacobianEntry(Tree& tree, td::UINT4 eqIndex, td::UINT4& nonZeroCount, char kind);

    // ---- statements ----

    // Compiles the statement at it, with everything nested in it, into out; it is left
    // on the statement's last line.
    StatementResult buildStatements(Iterator& it, const sc::TokenizedModel& model, Evaluator<T>* out, sc::Group group);
    // A symbol by name; "base." names one of the parent model (isParent 1). -1 when absent.
    td::INT4 findSymbol(const char* name, td::BYTE& isParent);
    // The complex form: a ".real" or ".imag" suffix selects part 1 or 2 (0 the whole value).
    td::INT4 findSymbol(const char* name, td::BYTE& isParent, td::BYTE& part) requires ValueTraits<T>::isComplex;
    // Splits an assignment text "name op= expression" or "name << expression" in place:
    // the trimmed name, or null after an error entry for item itemNumber.
    char* splitAssignment(td::UINT4 itemNumber, char* fx, td::UINT4& exprStart, char& op);

    // ---- limits ----

    // Code of a signal word; 6 for none or any other text.
    static td::BYTE getSignalCode(const char* text);
    bool buildLimits(const sc::TokenizedModel& model, sc::ModelLevel level);

    // ---- random generators and statistics ----

    bool initRndGensAndStats(const sc::Naming& naming, const sc::TokenizedModel& model, sc::ModelLevel level);
    bool buildDistributions(const sc::TokenizedModel& model, sc::ModelLevel level);
    bool buildStatsNames(const sc::Naming& naming, const sc::TokenizedModel& model, sc::ModelLevel level);
    // Record i takes the name unless one of the records before it has it.
    static bool setStatsName(StatisticsStore<T>& store, td::UINT4 i, const td::String& name);
    // Compiles "s << e1 << e2 ..." into out as a feed of statistic s; its index, or -1.
    td::INT4 buildStatsAssignment(const Iterator& it, Evaluator<T>* out);

    // ---- plot statements ----

    // The definitions of the main model's plot statements, appended to the list of the
    // figure evaluator that the context carries; the context is bound to the evaluator's
    // solver, whose counts the builder takes. False at the first statement that fails
    // (the definitions before it stay).
    bool initFigure(const sc::TokenizedModel& model, SolverData<T>& data);
    // One plot block at it, which is left on the block's end line (or where it stopped):
    // at most one definition, its legend count in legendCount. False after a key.
    bool buildPlots(const sc::TokenizedModel& model, Iterator& it, td::UINT2& legendCount);
    // The style of a curve or marker line; range 1 reads minX and maxX into min and max,
    // range 2 minY and maxY, range 0 neither.
    static void readPlotItem(const Iterator& it, PlotItemStyle& style, td::BYTE range);
    static void readPlotBand(const Iterator& it, PlotBand& band, td::BYTE range);

private:
    // A tree of the builder's tree pool bound to the context.
    Tree* newTree();
    // A key at the line, column 1, as an error; false for chaining.
    bool lineError(const char* key, const Iterator& it) const;
    bool lineError(const char* key, td::UINT4 line, td::UINT4 column = 1) const;
    // The parser's tokens of the line from first (to end) into tree; false without a key
    // when the parser refuses them, with keyOnTree when the tree does.
    bool compileInto(Tree& tree, const Iterator& it, td::UINT4 first, td::BYTE& kind, const char* keyOnTree,
                     td::UINT4 end = Base::cLineEnd);
    bool buildTree(Tree& tree, const Iterator& it);
    void beginUsedVars();
    td::UINT4 symbolCount() const { return this->_nVars + this->_nParams; }

    // tokenized road
    double measurementWeight(const Iterator& it) const;

    // equations
    bool buildCase(Iterator& it, Tree& caseTree, bool withCondition, bool last);
    // The program of a plain equation's row from the roots collected for it.
    void addRow(Tree& tree, EquationRows<T>& rows, td::UINT4 firstEntry, td::UINT4 nEntries);
    bool reportDiffFailure(const char* key) const;

    // statements
    StatementResult buildStatement(Iterator& it, const sc::TokenizedModel& model, Evaluator<T>* out, sc::Group group);
    StatementResult buildIfBlock(Iterator& it, const sc::TokenizedModel& model, Evaluator<T>* out, sc::Group group);
    StatementResult buildSwitchBlock(Iterator& it, const sc::TokenizedModel& model, Evaluator<T>* out, sc::Group group);
    StatementResult buildAssignment(Iterator& it, Evaluator<T>* out, sc::Group group);
    bool buildChildren(Iterator& it, const sc::TokenizedModel& model, Evaluator<T>*& pRun, td::UINT4 n,
                       sc::Group group);
    bool readSignal(const Iterator& it, sc::Group group, const char* keyOnUnknown, td::BYTE& signal) const;
    // A target written name.real or name.imag: part 1 or 2; false after a key.
    bool checkComplexAssignmentPart(const Iterator& it, td::BYTE& part) requires ValueTraits<T>::isComplex;
    // The tokens of the line from first to end into a pooled tree and then into pRecord;
    // false without a key when the parser refuses them, else with keyOnFailure.
    bool compileRecord(const Iterator& it, td::UINT4 first, td::UINT4 end, Evaluator<T>* pRecord,
                       const char* keyOnFailure, td::BYTE* pKind);
    StatementResult failAt(const char* key, const Iterator& it) const
    {
        lineError(key, it);
        return Failed;
    }
    StatementResult failAt(const char* key, td::UINT4 line, td::UINT4 column = 1) const
    {
        lineError(key, line, column);
        return Failed;
    }

    // plot statements
    // The item at it (its keyword, << or ->, the expression) into out; false after its
    // own key or else keyOnFailure at the item's keyword.
    bool compilePlotItem(const Iterator& it, const sc::TokenizedModel& model, Evaluator<T>* out,
                         const char* keyOnFailure);
    // The items of a block whose header and item counts are read, from first to its end
    // line, into def; false after a key.
    bool buildPlotItems(const sc::TokenizedModel& model, Iterator first, FigureDefinition<T>& def);

    // start values
    bool setDeclarationValue(const Iterator& it, DeferredList& deferred, sc::UserLabel label);

    // DAE models
    // The symbols the DAE build adds to the declared ones.
    void countDAESymbols(td::UINT4& nVars, td::UINT4& nParams);
    // Names, kinds and records of the generated symbols after nDeclaredVars variables
    // and nDeclaredParams parameters; false after a key.
    bool declareDAESymbols(td::UINT4 nDeclaredVars, td::UINT4 nDeclaredParams);
    // A generated symbol at index; false after a key when the name is taken.
    bool addGeneratedSymbol(const td::String& name, td::UINT4 index, td::UINT4 line);
    // The states of the ODE statements, each once, sorted; false after a key.
    bool readODEStates(const sc::TokenizedModel& model, sc::ModelLevel level);
    bool readTransferFunction(const Iterator& it, TFStatement& out);
    // Equation rows of the model; false after a key when they differ from the variables.
    bool checkDAECounts(td::UINT4 nNL);
    // The rows of the ODEs from row on.
    bool expandODEs(const sc::TokenizedModel& model, sc::ModelLevel level, td::UINT4& row, td::UINT4& nonZeros);
    // x' = f as the method's rows (the tree's root, or the int node's operand).
    bool discretize(Tree& tree, typename Tree::Node* pIntegral, td::UINT4 state, td::UINT4 eqNo,
                    typename Tree::Node** pRows, td::UINT4& nRows);
    // Compiles root as row with the derivatives by every variable it reads.
    bool compileRow(typename Tree::Node* pRoot, td::UINT4 row, td::UINT4& nonZeros);
    // An error entry for equation eqNo; false for chaining.
    bool reportDiscretizeFailure(td::UINT4 variable, td::UINT4 eqNo) const;
    DAEStageContext stageContext(td::UINT4 state) const;

    cnt::FixNumSet _usedVars;
    // The roots of the row being compiled: the equation's, then its entries'.
    std::vector<typename Tree::Node*> _roots;
    std::vector<td::UINT4> _rootVariables;
    cnt::FixNumSet _lastUsedVarsForLimits;
    // The conditional parts of equations and the conditions of statements, per statement.
    mem::priv::Manager<Tree, 22> _treePool;
    // DAE models: the ODE states (sorted) and the line of the ODE of each, the
    // transfer functions.
    cnt::SafeFullVector<td::INT4> _stateVars;
    cnt::SafeFullVector<td::UINT4> _stateLines;
    cnt::SafeFullVector<TFStatement> _tfs;
    td::UINT4 _nEquations = 0;
    td::UINT4 _parentVarCount = 0;
    // Depth of the statement being compiled; the pools go back when the outermost ends.
    td::UINT4 _statementDepth = 0;
    td::BYTE _declarationsDone = 0;
    td::BYTE _collectsUsedVars = 1;
};

// Binds a build: the builder's pools and the solver's stores into the context, the
// stores emptied for the new build, the solver's settings read; with a tokenized model
// the model line's simplify and pivot attributes of the level, and the complex build
// without conjugate partners.
template <typename T> void bindSolverData(SolverStores<T>& stores, ISolverServices<T>& solver, SolverData<T>& data,
                                          RPNDerivParser<T>& builder, const sc::TokenizedModel* pModel,
                                          sc::ModelLevel level);

// Each phase file (RPNDerivParser.cpp, RPNDerivDeclarations.cpp, RPNDerivInitValues.cpp,
// RPNDerivEquations.cpp, RPNDerivStatements.cpp, RPNDerivLimits.cpp, RPNDerivGenerators.cpp,
// RPNDerivStatistics.cpp, RPNDerivPlots.cpp) instantiates the whole class for the members
// it defines.
extern template class RPNDerivParser<double>;
extern template class RPNDerivParser<std::complex<double>>;
extern template void bindSolverData(SolverStores<double>&, ISolverServices<double>&, SolverData<double>&,
                                    RPNDerivParser<double>&, const sc::TokenizedModel*, sc::ModelLevel);
extern template void bindSolverData(SolverStores<std::complex<double>>&, ISolverServices<std::complex<double>>&,
                                    SolverData<std::complex<double>>&, RPNDerivParser<std::complex<double>>&,
                                    const sc::TokenizedModel*, sc::ModelLevel);
} // namespace sl

namespace slDbl
{
using RPNDerivParser = sl::RPNDerivParser<double>;
}

namespace slCmplx
{
using RPNDerivParser = sl::RPNDerivParser<std::complex<double>>;
}
