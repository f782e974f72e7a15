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
#include <xml/Node.h>

#include "DAEVarRecord.h"
#include "ExpressionTree.h"
#include "FigureDefinition.h"
#include "RPNParser.h"
#include "SolverData.h"
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

    // Binds the build context: the parser's pools into it, and the builder works on it.
    void bindSolverData(SolverData<T>& data)
    {
        Base::bindSolverData(data);
        _pSolverData = &data;
    }
    // What the solver takes from the build: the context's results with the builder's
    // counts.
    BuildResults results() const;
    // The first steps of every tokenized entry: the context's used-variable sets, the
    // model, and for a sub-model (which must have a parent) the parent's variable count.
    void bindEntry(SolverData<T>& data, const sc::TokenizedModel* pModel, sc::ModelLevel level);
    td::UINT4 getNumVariables() const { return this->_nVars; }
    td::UINT4 getNumParameters() const { return this->_nParams; }
    td::UINT4 getNumEquations() const { return _nEquations; }
    bool declarationsDone() const { return _declarationsDone != 0; }
    const cnt::FixNumSet& getUsedVars() const { return _usedVars; }
    // Blocks the pool of conditional trees has made (each equation gives its trees back).
    td::UINT4 getTreePoolBlocks() const { return _treePool.blockCount(); }
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
        if (_pSolverData)
            _pSolverData->stores.settings.conjugatePartners = on ? 1 : 0;
    }
    // Gives the token and tree pools back; nothing of the trees made so far is used again.
    void releaseTrees();
    // The ReservedID of the line's first token; -1 for another token or an empty line.
    static int reservedWord(const Iterator& it);

    // ---- the tokenized road ----

    // The kinds of model whose equation groups a solver reads, numbered as the model
    // line's type words.
    enum class ModelKind : td::BYTE
    {
        NL = 0,
        WLS = 1,
        ODE = 2,
        DAE = 3
    };
    // The equation groups of the level fit the model's type and the kind the solver
    // reads; false after a key (and an error-log entry) at the header of the first group
    // in the text that does not.
    bool checkGroups(const sc::TokenizedModel& model, sc::ModelLevel level, ModelKind solverKind);

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
    // Calls of int in the statement's tokens; the column of the first in pFirstColumn.
    static td::UINT4 countIntegrals(const Iterator& it, td::UINT2* pFirstColumn = nullptr);
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
    // Where realising a transfer function failed.
    enum class TFFailure : td::BYTE
    {
        None,
        Polynomials,
        DenomLaplace,
        NomLaplace,
        StateSpace,
        Discretize,
        StateRows,
        OutputRows
    };
    // The realisation of f(s) (fTree) and its rows from row on, whichever road read it;
    // position is the coefficient that still holds s.
    TFFailure realiseTransferFunction(Tree& fTree, const TransferFunction& tf, td::UINT4& row, td::UINT4& nonZeros,
                                      td::INT4& position);

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

    // ---- the XML road: every failure is an entry of the error log (no keys) ----

    // Conditional equations and limit branches nest at most this deep.
    static constexpr td::UINT4 cMaxXmlNesting = 64;
    // Declared names are at most this long; the left side of an ODE, prime included.
    static constexpr td::UINT4 cMaxXmlNameLength = 32;
    static constexpr td::UINT4 cMaxODELeftSide = 33;
    // The item number of an assignment text that has no position of its own.
    static constexpr td::UINT4 cNoItem = 0xFFFFFFFFu;

    // The entries of the solver kinds: the document (a file path or the text itself, by
    // the context's input kind) parsed and read by the reader of the kind.
    bool loadNRFromXML(const td::String& source, SolverData<T>& data);
    bool loadODEFromXML(const td::String& source, SolverData<T>& data);
    bool loadWLSFromXML(const td::String& source, SolverData<T>& data);
    bool loadDAEFromXML(const td::String& source, SolverData<T>& data);
    // The used-variable sets of an XML build; its keys are silenced.
    void bindXmlEntry(SolverData<T>& data);
    // The root's type (exactly tag), domain, desc and eps.
    bool checkModelHeader(const xml::Node& root, const char* tag);
    // Every section of the root is one the kind reads; false after an entry naming the
    // first that is not.
    bool checkXmlSections(const xml::Node& root, ModelKind kind);
    // The readers of the kinds; loadNRModel also reads an Init child's element.
    bool loadNRModel(const xml::Node& root);
    bool loadODEModel(const xml::Node& root);
    bool loadWLSModel(const xml::Node& root);
    // TF rows, then each ODE's discretised rows, then the NL equations (Euler,
    // trapezoidal or the stage expansion of the root's method).
    bool loadDAEModel(const xml::Node& root);

    // Declarations: the Vars and Params sections into symbols, kinds and start values.
    bool loadVarsAndParams(const xml::Node& vars, const xml::Node& params);
    // One decimal number at text ([+-] digits [. digits] [e [+-] digits], blanks before);
    // text is left just after it.
    static bool parseNumber(double& out, const char*& text);
    // A whole text as one number, blanks around it allowed.
    static bool parseWholeNumber(double& out, const char* text);
    // A start value given as an expression over symbols, evaluated after the declarations.
    struct XmlDeferredValue
    {
        td::String text;
        td::UINT4 symbol = 0;
    };
    using XmlDeferredList = cnt::PushBackVector<XmlDeferredValue>;
    // Its value when the text reads no symbol; else deferred for symbol (out stays 0).
    bool makeInitialValueExpression(td::UINT4 symbol, const char* text, XmlDeferredList& list, T& out);
    // Complex constants a, bi, a+bi, a -bi, bi+a (strict: nothing but blanks after them).
    static bool parseComplexNumber(std::complex<double>& out, const char* text, bool strict);

    // Equations: an Eq of fx (residual form) or cond with Then/Else branches.
    bool loadEquation(const xml::Node& eq, td::UINT4 eqIndex, td::UINT4& nonZeroCount, char kind);
    // Fills tree (made if-then-else) from a node with cond; depth counts from 1.
    bool loadCondEquation(const xml::Node& condNode, bool elseRequired, Tree& tree, bool assignmentMode,
                          td::UINT4 depth = 1);
    // Equation text as its residual, or a condition as it is, into tree.
    bool makeEquation(const char* text, Tree& tree, bool isCondition);
    bool makeEqPartExpression(const char* text, Tree& tree);
    // An expression compiled into a new pool record, or into the given one.
    Evaluator<T>* makeCondExpression(const char* text);
    bool makeEqExpression(Evaluator<T>* pEvaluator, const char* text);

    // ODE equations: the state of x' = f or x = ... int(f) ..., f into tree; -1 after an
    // entry. recordState (the ODE solver) writes the ODE list and reduces k*int(f) to k*f;
    // otherwise pIntegral is the int node.
    td::INT4 checkODETerm(const xml::Node& eq, Tree& tree, typename Tree::Node*& pIntegral, td::UINT4 eqIndex,
                          bool recordState);
    // The fx of an ODE split at its first '=': the state's name and the form; false after
    // an entry.
    bool splitODEEquation(const xml::Node& eq, const char*& fx, td::String& name, td::UINT4& equationSign,
                          bool& integralForm);
    // The right side of the ODE of a declared variable (its index in state); null after
    // an entry.
    const char* checkODEEquation(const xml::Node& eq, const char*& fx, td::String& name, td::INT4& state,
                                 bool& integralForm);
    // The method attribute of the root; other words leave the method.
    void loadIntegrationMethod(const xml::Node& root);
    // The Eq elements y/u = f(s) of a TFs section: texts, orders and forms per record.
    bool loadTF(const xml::Node& tfs);
    // The n stage variables name#k1 ... name#kn as the next variables; values are pushed
    // when pushValues is set. False after an entry when a name is taken.
    bool addIndexedSymbol(const td::String& name, td::UINT4 variable, td::UINT2 n, bool pushValues);
    // The states of transfer function i, each followed by its stage variables, and its
    // division variable as the next variables; false after an entry.
    bool expandVarHistoryTF(td::UINT4 i);
    // Zero start values for the variables expandVarHistoryTF gave function i.
    void setupTFStates(td::UINT4 i);

    // Processing sections: assignments, statistics feeds and conditional assignments into
    // the solver's PreProc and PostProc lists.
    bool loadPreProc(const xml::Node& root);
    bool loadPostProc(const xml::Node& root);
    bool loadAssignment(const xml::Node& firstEq, bool isPostProc);
    // The parts of "e1 << e2 ..." for statistic statsName into n records from pRun; the
    // statistic's index, or -1 after an entry.
    td::INT4 makeStatsAssignmentPart(const char* statsName, const char* text, Evaluator<T>*& pRun, td::UINT4& n);
    // The comma-separated pieces of text strictly between two positions, each cut before
    // an '=' and trimmed.
    static void addNameList(const char* text, td::UINT4 openPos, td::UINT4 closePos,
                            cnt::PushBackVector<td::String>& names);

    // Limits: groups of assignments and conditional assignments with signals.
    bool loadLimits(const xml::Node& root);
    bool loadLimitEquation(const xml::Node& node, Evaluator<T>* pRecord, td::UINT4 depth = 1);

    // Child models of an Init section, each built as an NR model by a solver of its type.
    bool loadInitModels(const xml::Node& root);
    // Random generators and statistics names.
    bool loadRndGens(const xml::Node& root);
    bool loadStats(const xml::Node& root);

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
    // Where a statement stands in the model text: its line and the column of its first
    // token (1 for a line without tokens).
    struct Place
    {
        td::UINT4 line = 0;
        td::UINT4 column = 1;
    };
    // The statement at it; past the group's end, the group's last line.
    static Place placeOf(const Iterator& it);
    // A key at the statement, or at a line and column, as an error; false for chaining.
    bool lineError(const char* key, const Iterator& it) const { return lineError(key, placeOf(it)); }
    bool lineError(const char* key, const Place& at) const { return lineError(key, at.line, at.column); }
    bool lineError(const char* key, td::UINT4 line, td::UINT4 column) const;
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
    StatementResult failAt(const char* key, const Place& at) const
    {
        lineError(key, at);
        return Failed;
    }
    StatementResult failAt(const char* key, td::UINT4 line, td::UINT4 column) const
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

    // XML road
    // A Param element: its name and, for a group base{a, b}, the symbols base.a, base.b.
    struct XmlParam;
    // Registers name as the next symbol, without a conjugate partner.
    void addPlainName(const td::String& name);
    // The same for a generated name; false after an entry when it is a symbol already.
    bool addGeneratedName(const td::String& name);
    // The ten solver-status symbols after the variables and parameters.
    void addStatusSymbols();
    // A declared name (item number item of its section, cNoItem for none) that the
    // language reads otherwise: a reserved word, and for a name that expressions read (a
    // symbol or a generator) also a function, constant, truth or logical word. False after
    // an entry naming it.
    bool checkXmlName(const char* name, td::UINT4 item, bool inExpressions) const;
    bool readVarNames(const xml::Node& vars, bool dynamic);
    bool readParamNames(std::vector<XmlParam>& decl, td::UINT4 parentParams);
    bool readStartValue(const xml::Node& element, td::UINT4 symbol, XmlDeferredList& deferred, T& value);
    // The deferred start values, each after those it reads.
    bool evaluateDeferred(const XmlDeferredList& deferred);
    bool hasPartners() const
    {
        if constexpr (Traits::isComplex)
            return this->hasConjugatePartners();
        return false;
    }
    double measurementWeight(const xml::Node& eq) const;
    // An entry, then false.
    bool xmlError(const char* text) const;
    template <typename... A> bool xmlError(const char* text, const A&... args) const
    {
        this->_pSolverData->addError(text, args...);
        return false;
    }
    // text parsed into tree; the entries name shown.
    bool parseInto(const char* text, Tree& tree, const char* syntaxText, const char* treeText);
    bool parseInto(const char* text, const char* shown, Tree& tree, const char* syntaxText, const char* treeText);
    // A record's target: own variable, own parameter (index less the variables) or parent
    // symbol, by part in the complex build.
    void setRecordTarget(Evaluator<T>* pRecord, td::INT4 index, td::BYTE isParent, td::BYTE part, char op) const;
    // A target name ("base." for the parent's, ".real"/".imag" in the complex build); -1
    // when it names no symbol.
    td::INT4 resolveTarget(const char* name, td::BYTE& isParent, td::BYTE& part);
    bool loadBranch(const xml::Node& branch, bool isThen, bool elseRequired, bool assignmentMode, td::UINT4 depth,
                    Tree*& pOut);
    bool loadLimitBranch(const xml::Node& branch, const char* cond, bool isThen, Evaluator<T>*& pFirst, td::UINT4& n,
                         td::UINT4 depth);
    bool loadLimitAssignment(const xml::Node& node, Evaluator<T>* pRecord);
    bool loadAssignmentEq(const xml::Node& eq, td::UINT4 i, EvaluatorVect<T>& list);
    // DAE documents: the symbols the states and transfer functions add to the declared
    // ones; false after an entry when there are no states.
    bool countXmlDAESymbols(td::UINT4& nVars, td::UINT4& nParams);
    // The state names of the ODEs (stage methods, before the declarations), sorted.
    bool readXmlStateNames(const xml::Node& odeqs, td::UINT4 nODE);
    // Euler and trapezoidal: each ODE's state typed; a second ODE of a state refused.
    bool markXmlStates(const xml::Node& odeqs, td::UINT4 nODE);
    // The history parameter of every state, after all other parameters.
    bool addXmlHistoryParams();
    bool checkXmlDAECounts(td::UINT4 nNL);
    // Transfer function i realised and discretised into rows from row on.
    bool expandXmlTF(td::UINT4 i, td::UINT4& row, td::UINT4& nonZeros);
    bool expandXmlODEs(const xml::Node& odeqs, td::UINT4 nODE, td::UINT4& row, td::UINT4& nonZeros);
    // base, suffix and k > 0, cut to 47 characters.
    static td::String generatedName(const td::String& base, const char* suffix, int k = 0);
    bool isXmlStateName(const td::String& name) const;
    // Every state name of the ODEs names a declared variable; false after an entry.
    bool checkXmlStateNames();
    // DAE models
    // The symbols the DAE build adds to the declared ones.
    void countDAESymbols(td::UINT4& nVars, td::UINT4& nParams);
    // Names, kinds and records of the generated symbols after nDeclaredVars variables
    // and nDeclaredParams parameters; false after a key.
    bool declareDAESymbols(td::UINT4 nDeclaredVars, td::UINT4 nDeclaredParams);
    // A generated symbol at index; false after a key when the name is taken.
    bool addGeneratedSymbol(const td::String& name, td::UINT4 index, const Place& at);
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

    // The build context; the parser holds it as its compile context.
    SolverData<T>* _pSolverData = nullptr;
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
    cnt::SafeFullVector<Place> _stateLines;
    cnt::SafeFullVector<TFStatement> _tfs;
    // XML DAE documents: the texts of each transfer function (output, input, f(s)) and
    // the sorted state names of a stage method.
    struct XmlTFText
    {
        td::String output, input, fn;
    };
    std::vector<XmlTFText> _xmlTFs;
    struct XmlState
    {
        td::String name;
        const char* fx = nullptr;
        td::UINT4 eq = 0;
    };
    std::vector<XmlState> _xmlStateNames;
    td::UINT4 _nEquations = 0;
    td::UINT4 _parentVarCount = 0;
    // Depth of the statement being compiled; the pools go back when the outermost ends.
    td::UINT4 _statementDepth = 0;
    td::BYTE _declarationsDone = 0;
    td::BYTE _collectsUsedVars = 1;
};

// Binds a build: the builder to the context, the context's stores emptied for the new
// build and bound to its solver, whose logger the context takes; with a tokenized model
// the model line's simplify and pivot attributes of the level, and the complex build
// without conjugate partners.
template <typename T> void bindSolverData(SolverData<T>& data, RPNDerivParser<T>& builder,
                                          const sc::TokenizedModel* pModel, sc::ModelLevel level);

// Each phase file (RPNDerivParser.cpp, RPNDerivDeclarations.cpp, RPNDerivInitValues.cpp,
// RPNDerivEquations.cpp, RPNDerivStatements.cpp, RPNDerivLimits.cpp, RPNDerivGenerators.cpp,
// RPNDerivStatistics.cpp, RPNDerivPlots.cpp) instantiates the whole class for the members
// it defines.
extern template class RPNDerivParser<double>;
extern template class RPNDerivParser<std::complex<double>>;
extern template void bindSolverData(SolverData<double>&, RPNDerivParser<double>&, const sc::TokenizedModel*,
                                    sc::ModelLevel);
extern template void bindSolverData(SolverData<std::complex<double>>&, RPNDerivParser<std::complex<double>>&,
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
