#include "RPNDerivParser.h"

#include "AssignmentText.h"
#include "DAEReader.h"
#include "DAERows.h"
#include "DeclarationReader.h"
#include "EquationReader.h"
#include "GeneratorReader.h"
#include "GroupCheck.h"
#include "InitValueReader.h"
#include "JacobianBuilder.h"
#include "LimitReader.h"
#include "ODEReader.h"
#include "PlotReader.h"
#include "SectionReader.h"
#include "SolverStores.h"
#include "StatementReader.h"
#include "StatisticsReader.h"
#include "TFReader.h"
#include "TextBuilder.h"
#include "XmlAssignmentReader.h"
#include "XmlBuilder.h"
#include "XmlChildModels.h"
#include "XmlDAEReader.h"
#include "XmlDAESymbols.h"
#include "XmlDeclarationReader.h"
#include "XmlEquationReader.h"
#include "XmlExpressions.h"
#include "XmlGeneratorReader.h"
#include "XmlLimitReader.h"
#include "XmlODEReader.h"
#include "XmlStartValues.h"
#include "XmlStatisticsReader.h"
#include "XmlTFReader.h"
#include "XmlTexts.h"

namespace sl
{
template <typename T> BuildResults RPNDerivParser<T>::results() const
{
    TD_ASSERT(_s.pData);
    BuildResults r = _s.pData->results;
    r.nVars = _s.nVars();
    r.nParams = _s.nParams();
    r.nEquations = _s.nEquations;
    return r;
}

template <typename T>
void RPNDerivParser<T>::bindEntry(SolverData<T>& data, const sc::TokenizedModel* pModel, sc::ModelLevel level)
{
    TextBuilder<T>(_s).bindEntry(data, pModel, level);
}

template <typename T>
bool RPNDerivParser<T>::checkGroups(const sc::TokenizedModel& model, sc::ModelLevel level, ModelKind solverKind)
{
    return GroupCheck<T>(_s).checkGroups(model, level, solverKind);
}

template <typename T> bool RPNDerivParser<T>::initNR(const sc::Naming& naming, const sc::TokenizedModel& model,
                                                     SolverData<T>& data, sc::ModelLevel level)
{
    return TextBuilder<T>(_s).initNR(naming, model, data, level);
}

template <typename T> bool RPNDerivParser<T>::initWLS(const sc::Naming& naming, const sc::TokenizedModel& model,
                                                      SolverData<T>& data, sc::ModelLevel level)
{
    return TextBuilder<T>(_s).initWLS(naming, model, data, level);
}

template <typename T> bool RPNDerivParser<T>::initODE(const sc::Naming& naming, const sc::TokenizedModel& model,
                                                      SolverData<T>& data, sc::ModelLevel level)
{
    return TextBuilder<T>(_s).initODE(naming, model, data, level);
}

template <typename T> bool RPNDerivParser<T>::initDAE(const sc::Naming& naming, const sc::TokenizedModel& model,
                                                      SolverData<T>& data, sc::ModelLevel level)
{
    return TextBuilder<T>(_s).initDAE(naming, model, data, level);
}

template <typename T> bool RPNDerivParser<T>::initRndGensAndStats(const sc::Naming& naming,
                                                                  const sc::TokenizedModel& model, sc::ModelLevel level)
{
    return TextBuilder<T>(_s).initRndGensAndStats(naming, model, level);
}

template <typename T> bool RPNDerivParser<T>::buildProcSections(const sc::Naming& naming,
                                                                const sc::TokenizedModel& model, sc::ModelLevel level)
{
    return SectionReader<T>(_s).buildProcSections(naming, model, level);
}

template <typename T>
bool RPNDerivParser<T>::buildSection(const sc::TokenizedModel& model, td::BYTE index, sc::ModelLevel level)
{
    return SectionReader<T>(_s).buildSection(model, index, level);
}

template <typename T> bool RPNDerivParser<T>::createSubModels(const sc::Naming& naming, const sc::TokenizedModel& model)
{
    return SectionReader<T>(_s).createSubModels(naming, model);
}

template <typename T> bool RPNDerivParser<T>::buildDeclarations(const sc::Naming& naming,
                                                                const sc::TokenizedModel& model, sc::ModelLevel level)
{
    return DeclarationReader<T>(_s).buildDeclarations(naming, model, level);
}

template <typename T>
bool RPNDerivParser<T>::declareSymbols(const sc::Naming& naming, const sc::TokenizedModel& model, sc::ModelLevel level)
{
    return DeclarationReader<T>(_s).declareSymbols(naming, model, level);
}

template <typename T> bool RPNDerivParser<T>::setDeclaredValues(const sc::TokenizedModel& model, sc::ModelLevel level)
{
    return DeclarationReader<T>(_s).setDeclaredValues(model, level);
}

template <typename T>
bool RPNDerivParser<T>::setDeclarationValues(Iterator group, DeferredList& deferred, sc::UserLabel label)
{
    return InitValueReader<T>(_s).setDeclarationValues(group, deferred, label);
}

template <typename T> bool RPNDerivParser<T>::makeInitialValue(T& out, const Iterator& it, td::UINT4 firstToken)
{
    return InitValueReader<T>(_s).makeInitialValue(out, it, firstToken);
}

template <typename T> bool RPNDerivParser<T>::setInitialValues(const DeferredList& params, const DeferredList& vars)
{
    return InitValueReader<T>(_s).setInitialValues(params, vars);
}

template <typename T>
bool RPNDerivParser<T>::buildSymbolicJacobian(Iterator& it, td::UINT4 eqIndex, td::UINT4& nonZeroCount, char kind)
{
    return EquationReader<T>(_s).buildSymbolicJacobian(it, eqIndex, nonZeroCount, kind);
}

template <typename T> bool RPNDerivParser<T>::buildIfExpression(Iterator& it, Tree& tree, sc::Group group)
{
    return EquationReader<T>(_s).buildIfExpression(it, tree, group);
}

template <typename T> bool RPNDerivParser<T>::buildSwitch(Iterator& it, Tree& tree, sc::Group group)
{
    return EquationReader<T>(_s).buildSwitch(it, tree, group);
}

template <typename T>
bool RPNDerivParser<T>::makeJacobianEntry(Tree& tree, td::UINT4 eqIndex, td::UINT4& nonZeroCount, char kind)
{
    return JacobianBuilder<T>(_s).make(tree, eqIndex, nonZeroCount, kind);
}

template <typename T> StatementResult RPNDerivParser<T>::buildStatements(Iterator& it, const sc::TokenizedModel& model,
                                                                         Evaluator<T>* out, sc::Group group)
{
    return StatementReader<T>(_s).buildStatements(it, model, out, group);
}

template <typename T>
bool RPNDerivParser<T>::checkComplexAssignmentPart(const Iterator& it,
                                                   td::BYTE& part) requires ValueTraits<T>::isComplex
{
    if constexpr (ValueTraits<T>::isComplex)
        return StatementReader<T>(_s).checkComplexAssignmentPart(it, part);
    else
        return false;
}

template <typename T> td::INT4 RPNDerivParser<T>::findSymbol(const char* name, td::BYTE& isParent)
{
    return AssignmentText<T>(_s).findSymbol(name, isParent);
}

template <typename T> td::INT4 RPNDerivParser<T>::findSymbol(const char* name, td::BYTE& isParent,
                                                             td::BYTE& part) requires ValueTraits<T>::isComplex
{
    if constexpr (ValueTraits<T>::isComplex)
        return AssignmentText<T>(_s).findSymbol(name, isParent, part);
    else
        return -1;
}

template <typename T>
char* RPNDerivParser<T>::splitAssignment(td::UINT4 itemNumber, char* fx, td::UINT4& exprStart, char& op)
{
    return AssignmentText<T>(_s).splitAssignment(itemNumber, fx, exprStart, op);
}

template <typename T> bool RPNDerivParser<T>::buildLimits(const sc::TokenizedModel& model, sc::ModelLevel level)
{
    return LimitReader<T>(_s).buildLimits(model, level);
}

template <typename T> bool RPNDerivParser<T>::buildDistributions(const sc::TokenizedModel& model, sc::ModelLevel level)
{
    return GeneratorReader<T>(_s).buildDistributions(model, level);
}

template <typename T>
bool RPNDerivParser<T>::buildStatsNames(const sc::Naming& naming, const sc::TokenizedModel& model, sc::ModelLevel level)
{
    return StatisticsReader<T>(_s).buildStatsNames(naming, model, level);
}

template <typename T> td::INT4 RPNDerivParser<T>::buildStatsAssignment(const Iterator& it, Evaluator<T>* out)
{
    return StatisticsReader<T>(_s).buildStatsAssignment(it, out);
}

template <typename T>
td::INT4 RPNDerivParser<T>::checkODEFormat(const Iterator& it, td::UINT4& headLength, bool& isIntegral)
{
    return ODEReader<T>(_s).checkODEFormat(it, headLength, isIntegral);
}

template <typename T> td::UINT4 RPNDerivParser<T>::countIntegrals(const Iterator& it, td::UINT2* pFirstColumn)
{
    return ODEReader<T>::countIntegrals(it, pFirstColumn);
}

template <typename T> td::INT4 RPNDerivParser<T>::buildODEExpression(const Iterator& it, Tree& tree, Node*& pIntegral,
                                                                     td::UINT4 eqIndex, td::BYTE odeMode)
{
    return ODEReader<T>(_s).buildODEExpression(it, tree, pIntegral, eqIndex, odeMode);
}

template <typename T>
void RPNDerivParser<T>::initIntegrationMethod(const sc::TokenizedModel& model, sc::ModelLevel level)
{
    DAEReader<T>(_s).initIntegrationMethod(model, level);
}

template <typename T>
bool RPNDerivParser<T>::buildTransferFunctions(const sc::TokenizedModel& model, sc::ModelLevel level)
{
    return TFReader<T>(_s).buildTransferFunctions(model, level);
}

template <typename T>
bool RPNDerivParser<T>::expandTransferFunction(const TFStatement& stmt, td::UINT4& row, td::UINT4& nonZeros)
{
    return TFReader<T>(_s).expandTransferFunction(stmt, row, nonZeros);
}

template <typename T>
bool RPNDerivParser<T>::mapDAEVarHistory(Tree& tree, Node* pIntegral, td::UINT4 variable, td::UINT4 eqNo)
{
    return DAERows<T>(_s).mapDAEVarHistory(tree, pIntegral, variable, eqNo);
}

template <typename T> bool RPNDerivParser<T>::initFigure(const sc::TokenizedModel& model, SolverData<T>& data)
{
    return PlotReader<T>(_s).initFigure(model, data);
}

template <typename T>
bool RPNDerivParser<T>::buildPlots(const sc::TokenizedModel& model, Iterator& it, td::UINT2& legendCount)
{
    return PlotReader<T>(_s).buildPlots(model, it, legendCount);
}

template <typename T> void RPNDerivParser<T>::readPlotItem(const Iterator& it, PlotItemStyle& style, td::BYTE range)
{
    PlotReader<T>::readPlotItem(it, style, range);
}

template <typename T> void RPNDerivParser<T>::readPlotBand(const Iterator& it, PlotBand& band, td::BYTE range)
{
    PlotReader<T>::readPlotBand(it, band, range);
}

template <typename T> bool RPNDerivParser<T>::loadNRFromXML(const td::String& source, SolverData<T>& data)
{
    return XmlBuilder<T>(_s).loadNRFromXML(source, data);
}

template <typename T> bool RPNDerivParser<T>::loadODEFromXML(const td::String& source, SolverData<T>& data)
{
    return XmlBuilder<T>(_s).loadODEFromXML(source, data);
}

template <typename T> bool RPNDerivParser<T>::loadWLSFromXML(const td::String& source, SolverData<T>& data)
{
    return XmlBuilder<T>(_s).loadWLSFromXML(source, data);
}

template <typename T> bool RPNDerivParser<T>::loadDAEFromXML(const td::String& source, SolverData<T>& data)
{
    return XmlBuilder<T>(_s).loadDAEFromXML(source, data);
}

template <typename T> void RPNDerivParser<T>::bindXmlEntry(SolverData<T>& data)
{
    XmlBuilder<T>(_s).bindXmlEntry(data);
}

template <typename T> bool RPNDerivParser<T>::checkModelHeader(const xml::Node& root, const char* tag)
{
    return XmlBuilder<T>(_s).checkModelHeader(root, tag);
}

template <typename T> bool RPNDerivParser<T>::checkXmlSections(const xml::Node& root, ModelKind kind)
{
    return XmlBuilder<T>(_s).checkXmlSections(root, kind);
}

template <typename T> bool RPNDerivParser<T>::loadNRModel(const xml::Node& root)
{
    return XmlBuilder<T>(_s).loadNRModel(root);
}

template <typename T> bool RPNDerivParser<T>::loadODEModel(const xml::Node& root)
{
    return XmlBuilder<T>(_s).loadODEModel(root);
}

template <typename T> bool RPNDerivParser<T>::loadWLSModel(const xml::Node& root)
{
    return XmlBuilder<T>(_s).loadWLSModel(root);
}

template <typename T> bool RPNDerivParser<T>::loadDAEModel(const xml::Node& root)
{
    return XmlDAEReader<T>(_s).loadDAEModel(root);
}

template <typename T> bool RPNDerivParser<T>::loadVarsAndParams(const xml::Node& vars, const xml::Node& params)
{
    return XmlDeclarationReader<T>(_s).loadVarsAndParams(vars, params);
}

template <typename T> bool RPNDerivParser<T>::parseNumber(double& out, const char*& text)
{
    return xmlnodes::parseNumber(out, text);
}

template <typename T> bool RPNDerivParser<T>::parseWholeNumber(double& out, const char* text)
{
    return xmlnodes::parseWholeNumber(out, text);
}

template <typename T>
bool RPNDerivParser<T>::parseComplexNumber(std::complex<double>& out, const char* text, bool strict)
{
    return xmlnodes::parseComplexNumber(out, text, strict);
}

template <typename T>
bool RPNDerivParser<T>::makeInitialValueExpression(td::UINT4 symbol, const char* text, XmlDeferredList& list, T& out)
{
    return XmlStartValues<T>(_s).makeInitialValueExpression(symbol, text, list, out);
}

template <typename T>
bool RPNDerivParser<T>::loadEquation(const xml::Node& eq, td::UINT4 eqIndex, td::UINT4& nonZeroCount, char kind)
{
    return XmlEquationReader<T>(_s).loadEquation(eq, eqIndex, nonZeroCount, kind);
}

template <typename T> bool RPNDerivParser<T>::loadCondEquation(const xml::Node& condNode, bool elseRequired, Tree& tree,
                                                               bool assignmentMode, td::UINT4 depth)
{
    return XmlEquationReader<T>(_s).loadCondEquation(condNode, elseRequired, tree, assignmentMode, depth);
}

template <typename T> bool RPNDerivParser<T>::makeEquation(const char* text, Tree& tree, bool isCondition)
{
    return XmlExpressions<T>(_s).makeEquation(text, tree, isCondition);
}

template <typename T> bool RPNDerivParser<T>::makeEqPartExpression(const char* text, Tree& tree)
{
    return XmlExpressions<T>(_s).makeEqPartExpression(text, tree);
}

template <typename T> Evaluator<T>* RPNDerivParser<T>::makeCondExpression(const char* text)
{
    return XmlExpressions<T>(_s).makeCondExpression(text);
}

template <typename T> bool RPNDerivParser<T>::makeEqExpression(Evaluator<T>* pEvaluator, const char* text)
{
    return XmlExpressions<T>(_s).makeEqExpression(pEvaluator, text);
}

template <typename T> td::INT4 RPNDerivParser<T>::checkODETerm(const xml::Node& eq, Tree& tree, Node*& pIntegral,
                                                               td::UINT4 eqIndex, bool recordState)
{
    return XmlODEReader<T>(_s).checkODETerm(eq, tree, pIntegral, eqIndex, recordState);
}

template <typename T> bool RPNDerivParser<T>::splitODEEquation(const xml::Node& eq, const char*& fx, td::String& name,
                                                               td::UINT4& equationSign, bool& integralForm)
{
    return XmlODEReader<T>(_s).splitODEEquation(eq, fx, name, equationSign, integralForm);
}

template <typename T> const char* RPNDerivParser<T>::checkODEEquation(const xml::Node& eq, const char*& fx,
                                                                      td::String& name, td::INT4& state,
                                                                      bool& integralForm)
{
    return XmlODEReader<T>(_s).checkODEEquation(eq, fx, name, state, integralForm);
}

template <typename T> void RPNDerivParser<T>::loadIntegrationMethod(const xml::Node& root)
{
    XmlODEReader<T>(_s).loadIntegrationMethod(root);
}

template <typename T> bool RPNDerivParser<T>::loadTF(const xml::Node& tfs) { return XmlTFReader<T>(_s).loadTF(tfs); }

template <typename T>
bool RPNDerivParser<T>::addIndexedSymbol(const td::String& name, td::UINT4 variable, td::UINT2 n, bool pushValues)
{
    return XmlDAESymbols<T>(_s).addIndexedSymbol(name, variable, n, pushValues);
}

template <typename T> bool RPNDerivParser<T>::expandVarHistoryTF(td::UINT4 i)
{
    return XmlTFReader<T>(_s).expandVarHistoryTF(i);
}

template <typename T> void RPNDerivParser<T>::setupTFStates(td::UINT4 i) { XmlTFReader<T>(_s).setupTFStates(i); }

template <typename T> bool RPNDerivParser<T>::loadPreProc(const xml::Node& root)
{
    return XmlAssignmentReader<T>(_s).loadPreProc(root);
}

template <typename T> bool RPNDerivParser<T>::loadPostProc(const xml::Node& root)
{
    return XmlAssignmentReader<T>(_s).loadPostProc(root);
}

template <typename T> bool RPNDerivParser<T>::loadAssignment(const xml::Node& firstEq, bool isPostProc)
{
    return XmlAssignmentReader<T>(_s).loadAssignment(firstEq, isPostProc);
}

template <typename T> td::INT4 RPNDerivParser<T>::makeStatsAssignmentPart(const char* statsName, const char* text,
                                                                          Evaluator<T>*& pRun, td::UINT4& n)
{
    return XmlAssignmentReader<T>(_s).makeStatsAssignmentPart(statsName, text, pRun, n);
}

template <typename T> void RPNDerivParser<T>::addNameList(const char* text, td::UINT4 openPos, td::UINT4 closePos,
                                                          cnt::PushBackVector<td::String>& names)
{
    xmlnodes::addNameList(text, openPos, closePos, names);
}

template <typename T> bool RPNDerivParser<T>::loadLimits(const xml::Node& root)
{
    return XmlLimitReader<T>(_s).loadLimits(root);
}

template <typename T>
bool RPNDerivParser<T>::loadLimitEquation(const xml::Node& node, Evaluator<T>* pRecord, td::UINT4 depth)
{
    return XmlLimitReader<T>(_s).loadLimitEquation(node, pRecord, depth);
}

template <typename T> bool RPNDerivParser<T>::loadInitModels(const xml::Node& root)
{
    return XmlChildModels<T>(_s).loadInitModels(root);
}

template <typename T> bool RPNDerivParser<T>::loadRndGens(const xml::Node& root)
{
    return XmlGeneratorReader<T>(_s).loadRndGens(root);
}

template <typename T> bool RPNDerivParser<T>::loadStats(const xml::Node& root)
{
    return XmlStatisticsReader<T>(_s).loadStats(root);
}

// ---- binding a build ----

namespace
{
// The first line of the Model (main) or SubModel group of a level.
sc::TokenizedModel::iterator modelLine(const sc::TokenizedModel& model, sc::ModelLevel level)
{
    return model.getGroup(level == sc::ModelLevel::Main ? sc::Group::Model : sc::Group::SubModel, level);
}
} // namespace

template <typename T> void bindSolverData(SolverData<T>& data, RPNDerivParser<T>& builder,
                                          const sc::TokenizedModel* pModel, sc::ModelLevel level)
{
    SolverStores<T>& stores = data.stores;
    builder.bindSolverData(data);
    stores.bind(data.pSolver);
    data.pLog = data.pSolver->getLog();
    data.pivotMode = 0;
    stores.settings.pivot = 0;
    TD_ASSERT(level == sc::ModelLevel::Main || level == sc::ModelLevel::Sub);

    if (!pModel)
    {
        stores.beginBuild(0);
        data.treeOption = 1;
        if constexpr (ValueTraits<T>::isComplex)
            stores.settings.conjugatePartners = builder.hasConjugatePartners() ? 1 : 0;
        return;
    }
    stores.beginBuild(pModel->getNumberOfExpressionsInLevel(level));
    data.namingIndex = pModel->getNamingIndex();
    sc::TokenizedModel::iterator line = modelLine(*pModel, level);
    bool simplify = true;
    line.getAttrib(sc::AttribID::Simplify, simplify);
    data.treeOption = simplify ? 1 : 0;
    if (const td::PoolString* pPivot = line.findAttrib(sc::AttribID::Pivot); pPivot && !(*pPivot == "Diagonal"))
        data.pivotMode = 1;
    // The tokenized road names no conjugate partners.
    if constexpr (ValueTraits<T>::isComplex)
        builder.setConjugatePartners(false);
}

template class RPNDerivParser<double>;
template class RPNDerivParser<std::complex<double>>;
template void bindSolverData(SolverData<double>&, RPNDerivParser<double>&, const sc::TokenizedModel*, sc::ModelLevel);
template void bindSolverData(SolverData<std::complex<double>>&, RPNDerivParser<std::complex<double>>&,
                             const sc::TokenizedModel*, sc::ModelLevel);
} // namespace sl
