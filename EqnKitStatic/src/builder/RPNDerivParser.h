// The model builder of one load: owns the expression parser and the state a build shares,
// and hands each entry to the text builder (tokenized model) or the XML builder (document).
// The passes are reader classes of their own; their public operations stay reachable here.
#pragma once

#include <complex>

#include <cnt/FixNumSet.h>
#include <cnt/List.h>
#include <cnt/PushBackVector.h>
#include <cnt/SafeFullVector.h>
#include <sc/ModelEnums.h>
#include <sc/Naming.h>
#include <sc/TokenizedModel.h>
#include <td/String.h>
#include <td/Types.h>
#include <xml/Node.h>

#include "BuildResults.h"
#include "BuildState.h"
#include "DAERows.h"
#include "FigureDefinition.h"
#include "InitValueReader.h"
#include "JacobianBuilder.h"
#include "LimitGroups.h"
#include "SolverData.h"
#include "SolverStores.h"
#include "StatementReader.h"
#include "StatisticsNames.h"
#include "XmlNodes.h"
#include "XmlStartValues.h"

namespace sl
{
template <typename T> class RPNDerivParser
{
public:
    using Parser = RPNParser<T>;
    using Traits = ValueTraits<T>;
    using Tree = ExpressionTree<T>;
    using Node = typename Tree::Node;
    using Iterator = sc::TokenizedModel::iterator;
    using ValueArray = typename Parser::ValueArray;
    using Groups = LimitGroups<T>;
    using StatementResult = sl::StatementResult;
    using enum sl::StatementResult;
    using DeferredValue = sl::DeferredValue;
    using DeferredList = sl::DeferredList;
    using XmlDeferredValue = sl::XmlDeferredValue;
    using XmlDeferredList = sl::XmlDeferredList;
    using TFStatement = sl::TFStatement;
    using TFFailure = sl::TFFailure;
    using ModelKind = sl::ModelKind;

    // Equation kinds: nonlinear equations, measurement equations, equality constraints.
    static constexpr char cNLEquation = sl::cNLEquation;
    static constexpr char cMeasurement = sl::cMeasurement;
    static constexpr char cConstraint = sl::cConstraint;
    // The XML road's limits: nesting, name lengths, the item number of none.
    static constexpr td::UINT4 cMaxXmlNesting = xmlnodes::cMaxXmlNesting;
    static constexpr td::UINT4 cMaxXmlNameLength = xmlnodes::cMaxXmlNameLength;
    static constexpr td::UINT4 cMaxODELeftSide = xmlnodes::cMaxODELeftSide;
    static constexpr td::UINT4 cNoItem = xmlnodes::cNoItem;

    // Binds the solver's symbol store and symbol values; both outlive the builder.
    RPNDerivParser(SymbolMap& names, ValueArray& values) : _s(names, values) {}
    explicit RPNDerivParser(SolverStores<T>& stores) : RPNDerivParser(stores.symbols, stores.values) {}
    RPNDerivParser(const RPNDerivParser&) = delete;
    RPNDerivParser& operator=(const RPNDerivParser&) = delete;

    // ---- build context and shared state ----

    // True while the parser collects the variables of the expression it reads.
    bool collectsUsedVars() { return _s.collectsUsedVars(); }
    // Collects a variable of the expression being compiled; false outside the variables.
    bool markVariableUsed(td::UINT4 index) { return _s.markVariableUsed(index); }
    // Binds the build context: the parser's pools into it, and the builder works on it.
    void bindSolverData(SolverData<T>& data) { _s.bind(data); }
    // What the solver takes from the build: the context's results with the builder's
    // counts.
    BuildResults results() const;
    td::UINT4 getNumVariables() const { return _s.nVars(); }
    td::UINT4 getNumParameters() const { return _s.nParams(); }
    td::UINT4 getNumEquations() const { return _s.nEquations; }
    bool declarationsDone() const { return _s.declarationsDone != 0; }
    const cnt::FixNumSet& getUsedVars() const { return _s.usedVars; }
    td::INT4 getSymbolIndex(const char* name) const { return _s.parser.getSymbolIndex(name); }
    // Blocks the pool of conditional trees has made (each equation gives its trees back).
    td::UINT4 getTreePoolBlocks() const { return _s.treePool.blockCount(); }
    // The variable type of a symbol's kind record: a state type (3, 4) or another one.
    void setStateVarType(td::INT4 varID, td::BYTE varType) { _s.setStateVarType(varID, varType); }
    void setVarType(td::INT4 varID, td::BYTE varType) { _s.setVarType(varID, varType); }
    // A generated name: mapped to index and kept in the name store.
    void copyName(const td::String& name, td::UINT4 index) { _s.parser.addSymbolName(name, index); }
    // Reserves n consecutive records for limit group groupIndex and records the group;
    // n <= 0 reserves none.
    static Evaluator<T>* allocLimitGroup(Groups& groups, cnt::List<Evaluator<T>>& pool, td::UINT4 groupIndex,
                                         td::INT4 n, bool enabled)
    {
        return sl::allocLimitGroup(groups, pool, groupIndex, n, enabled);
    }
    // Complex build: whether variables get conjugate partners, in the parser and the stores.
    void setConjugatePartners(bool on) requires ValueTraits<T>::isComplex { _s.setConjugatePartners(on); }
    bool hasConjugatePartners() const requires ValueTraits<T>::isComplex { return _s.hasPartners(); }
    // Gives the token and tree pools back; nothing of the trees made so far is used again.
    void releaseTrees() { _s.releaseTrees(); }
    // The ReservedID of the line's first token; -1 for another token or an empty line.
    static int reservedWord(const Iterator& it) { return sl::reservedWord(it); }

    // ---- the text road (TextBuilder and its readers) ----

    void bindEntry(SolverData<T>& data, const sc::TokenizedModel* pModel, sc::ModelLevel level);
    bool checkGroups(const sc::TokenizedModel& model, sc::ModelLevel level, ModelKind solverKind);
    bool initNR(const sc::Naming& naming, const sc::TokenizedModel& model, SolverData<T>& data, sc::ModelLevel level);
    bool initWLS(const sc::Naming& naming, const sc::TokenizedModel& model, SolverData<T>& data, sc::ModelLevel level);
    bool initODE(const sc::Naming& naming, const sc::TokenizedModel& model, SolverData<T>& data, sc::ModelLevel level);
    bool initDAE(const sc::Naming& naming, const sc::TokenizedModel& model, SolverData<T>& data, sc::ModelLevel level);
    bool initRndGensAndStats(const sc::Naming& naming, const sc::TokenizedModel& model, sc::ModelLevel level);
    // The section pass (SectionReader).
    bool buildProcSections(const sc::Naming& naming, const sc::TokenizedModel& model, sc::ModelLevel level);
    bool buildSection(const sc::TokenizedModel& model, td::BYTE index, sc::ModelLevel level);
    bool createSubModels(const sc::Naming& naming, const sc::TokenizedModel& model);
    // Declarations and start values (DeclarationReader, InitValueReader).
    bool buildDeclarations(const sc::Naming& naming, const sc::TokenizedModel& model, sc::ModelLevel level);
    bool declareSymbols(const sc::Naming& naming, const sc::TokenizedModel& model, sc::ModelLevel level);
    bool setDeclaredValues(const sc::TokenizedModel& model, sc::ModelLevel level);
    bool setDeclarationValues(Iterator group, DeferredList& deferred, sc::UserLabel label);
    bool makeInitialValue(T& out, const Iterator& it, td::UINT4 firstToken);
    bool setInitialValues(const DeferredList& params, const DeferredList& vars);
    // Equations and their Jacobian (EquationReader, JacobianBuilder).
    bool buildSymbolicJacobian(Iterator& it, td::UINT4 eqIndex, td::UINT4& nonZeroCount, char kind);
    bool buildIfExpression(Iterator& it, Tree& tree, sc::Group group);
    bool buildSwitch(Iterator& it, Tree& tree, sc::Group group);
    bool makeJacobianEntry(Tree& tree, td::UINT4 eqIndex, td::UINT4& nonZeroCount, char kind);
    // Statements and their targets (StatementReader, AssignmentText).
    StatementResult buildStatements(Iterator& it, const sc::TokenizedModel& model, Evaluator<T>* out, sc::Group group);
    bool checkComplexAssignmentPart(const Iterator& it, td::BYTE& part) requires ValueTraits<T>::isComplex;
    td::INT4 findSymbol(const char* name, td::BYTE& isParent);
    td::INT4 findSymbol(const char* name, td::BYTE& isParent, td::BYTE& part) requires ValueTraits<T>::isComplex;
    char* splitAssignment(td::UINT4 itemNumber, char* fx, td::UINT4& exprStart, char& op);
    // Limits, generators and statistics (LimitReader, GeneratorReader, StatisticsReader).
    static td::BYTE getSignalCode(const char* text) { return sl::getSignalCode(text); }
    bool buildLimits(const sc::TokenizedModel& model, sc::ModelLevel level);
    bool buildDistributions(const sc::TokenizedModel& model, sc::ModelLevel level);
    bool buildStatsNames(const sc::Naming& naming, const sc::TokenizedModel& model, sc::ModelLevel level);
    static bool setStatsName(StatisticsStore<T>& store, td::UINT4 i, const td::String& name)
    {
        return sl::setStatsName(store, i, name);
    }
    td::INT4 buildStatsAssignment(const Iterator& it, Evaluator<T>* out);
    // ODE statements, DAE models and transfer functions (ODEReader, DAEReader, TFReader,
    // DAERows).
    td::INT4 checkODEFormat(const Iterator& it, td::UINT4& headLength, bool& isIntegral);
    static td::UINT4 countIntegrals(const Iterator& it, td::UINT2* pFirstColumn = nullptr);
    td::INT4 buildODEExpression(const Iterator& it, Tree& tree, Node*& pIntegral, td::UINT4 eqIndex, td::BYTE odeMode);
    void initIntegrationMethod(const sc::TokenizedModel& model, sc::ModelLevel level);
    bool buildTransferFunctions(const sc::TokenizedModel& model, sc::ModelLevel level);
    bool expandTransferFunction(const TFStatement& stmt, td::UINT4& row, td::UINT4& nonZeros);
    bool mapDAEVarHistory(Tree& tree, Node* pIntegral, td::UINT4 variable, td::UINT4 eqNo);
    td::UINT2 getNumberOfStages() const { return _s.getNumberOfStages(); }
    // The ODE states, sorted; the transfer functions in statement order.
    const cnt::SafeFullVector<td::INT4>& getStateVariables() const { return _s.dae.stateVars; }
    const cnt::SafeFullVector<TFStatement>& getTransferFunctions() const { return _s.dae.tfs; }
    // Plot statements (PlotReader).
    bool initFigure(const sc::TokenizedModel& model, SolverData<T>& data);
    bool buildPlots(const sc::TokenizedModel& model, Iterator& it, td::UINT2& legendCount);
    static void readPlotItem(const Iterator& it, PlotItemStyle& style, td::BYTE range);
    static void readPlotBand(const Iterator& it, PlotBand& band, td::BYTE range);

    // ---- the XML road (XmlBuilder and its readers): failures are error-log entries ----

    bool loadNRFromXML(const td::String& source, SolverData<T>& data);
    bool loadODEFromXML(const td::String& source, SolverData<T>& data);
    bool loadWLSFromXML(const td::String& source, SolverData<T>& data);
    bool loadDAEFromXML(const td::String& source, SolverData<T>& data);
    void bindXmlEntry(SolverData<T>& data);
    bool checkModelHeader(const xml::Node& root, const char* tag);
    bool checkXmlSections(const xml::Node& root, ModelKind kind);
    bool loadNRModel(const xml::Node& root);
    bool loadODEModel(const xml::Node& root);
    bool loadWLSModel(const xml::Node& root);
    bool loadDAEModel(const xml::Node& root);
    // Declarations and start values (XmlDeclarationReader, XmlStartValues, XmlTexts).
    bool loadVarsAndParams(const xml::Node& vars, const xml::Node& params);
    static bool parseNumber(double& out, const char*& text);
    static bool parseWholeNumber(double& out, const char* text);
    static bool parseComplexNumber(std::complex<double>& out, const char* text, bool strict);
    bool makeInitialValueExpression(td::UINT4 symbol, const char* text, XmlDeferredList& list, T& out);
    // Equations and expressions (XmlEquationReader, XmlExpressions).
    bool loadEquation(const xml::Node& eq, td::UINT4 eqIndex, td::UINT4& nonZeroCount, char kind);
    bool loadCondEquation(const xml::Node& condNode, bool elseRequired, Tree& tree, bool assignmentMode,
                          td::UINT4 depth = 1);
    bool makeEquation(const char* text, Tree& tree, bool isCondition);
    bool makeEqPartExpression(const char* text, Tree& tree);
    Evaluator<T>* makeCondExpression(const char* text);
    bool makeEqExpression(Evaluator<T>* pEvaluator, const char* text);
    // ODEs, DAE symbols and transfer functions (XmlODEReader, XmlDAESymbols, XmlTFReader).
    td::INT4 checkODETerm(const xml::Node& eq, Tree& tree, Node*& pIntegral, td::UINT4 eqIndex, bool recordState);
    bool splitODEEquation(const xml::Node& eq, const char*& fx, td::String& name, td::UINT4& equationSign,
                          bool& integralForm);
    const char* checkODEEquation(const xml::Node& eq, const char*& fx, td::String& name, td::INT4& state,
                                 bool& integralForm);
    void loadIntegrationMethod(const xml::Node& root);
    bool loadTF(const xml::Node& tfs);
    bool addIndexedSymbol(const td::String& name, td::UINT4 variable, td::UINT2 n, bool pushValues);
    bool expandVarHistoryTF(td::UINT4 i);
    void setupTFStates(td::UINT4 i);
    // Processing sections, limits, child models, generators and statistics
    // (XmlAssignmentReader, XmlLimitReader, XmlChildModels, XmlGeneratorReader,
    // XmlStatisticsReader).
    bool loadPreProc(const xml::Node& root);
    bool loadPostProc(const xml::Node& root);
    bool loadAssignment(const xml::Node& firstEq, bool isPostProc);
    td::INT4 makeStatsAssignmentPart(const char* statsName, const char* text, Evaluator<T>*& pRun, td::UINT4& n);
    static void addNameList(const char* text, td::UINT4 openPos, td::UINT4 closePos,
                            cnt::PushBackVector<td::String>& names);
    bool loadLimits(const xml::Node& root);
    bool loadLimitEquation(const xml::Node& node, Evaluator<T>* pRecord, td::UINT4 depth = 1);
    bool loadInitModels(const xml::Node& root);
    bool loadRndGens(const xml::Node& root);
    bool loadStats(const xml::Node& root);

private:
    // The parser, the build context and all a build shares between its passes.
    BuildState<T> _s;
};

// Binds a build: the builder to the context, the context's stores emptied for the new
// build and bound to its solver, whose logger the context takes; with a tokenized model
// the model line's simplify and pivot attributes of the level, and the complex build
// without conjugate partners.
template <typename T> void bindSolverData(SolverData<T>& data, RPNDerivParser<T>& builder,
                                          const sc::TokenizedModel* pModel, sc::ModelLevel level);

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
