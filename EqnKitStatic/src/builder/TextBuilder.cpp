#include "TextBuilder.h"

#include <cmath>

#include <dense/DiagMatrix.h>
#include <sc/MessageKeys.h>

#include "DAEReader.h"
#include "DeclarationReader.h"
#include "EquationReader.h"
#include "GeneratorReader.h"
#include "GroupCheck.h"
#include "JacobianBuilder.h"
#include "ODEReader.h"
#include "SectionReader.h"
#include "StatisticsReader.h"
#include "TFReader.h"

namespace sl
{
namespace msg = sc::msg;
using sc::Group;

template <typename T>
void TextBuilder<T>::bindEntry(SolverData<T>& data, const sc::TokenizedModel* pModel, sc::ModelLevel level)
{
    TD_ASSERT(&data == _s.pData);
    if (level == sc::ModelLevel::Sub)
    {
        TD_ASSERT(data.pSolver && data.pSolver->getParentSolver());
        _s.parentVarCount = data.pSolver->getParentSolver()->getNumberOfVariables();
        _s.parser.setNumberOfParentVariables(_s.parentVarCount);
    }
    data.pUsedVars = &_s.usedVars;
    data.pLastUsedVarsForLimits = &_s.lastUsedVarsForLimits;
    data.pTokenizedModel = pModel;
}

template <typename T> bool TextBuilder<T>::initNR(const sc::Naming& naming, const sc::TokenizedModel& model,
                                                  SolverData<T>& data, sc::ModelLevel level)
{
    bindEntry(data, &model, level);
    if (!GroupCheck<T>(_s).checkGroups(model, level, ModelKind::NL) ||
        !DeclarationReader<T>(_s).buildDeclarations(naming, model, level))
        return false;
    const td::UINT4 nEq = model.getNumberOfExpressions(Group::NLEs, level);
    _s.nEquations = nEq;
    if (data.settings().skipCountChecks == 0 && nEq != _s.nVars())
        return _s.lineError(msg::csVarsNeqEqs, 0, 0);
    if (!initRndGensAndStats(naming, model, level))
        return false;
    data.stores.equations.reserve(nEq);
    data.stores.jacobian.reserve(cEntriesPerEquation * nEq);
    data.currentSection = static_cast<td::BYTE>(ErrorSection::NLEqs);

    td::UINT4 row = 0, nonZeros = 0;
    if (!EquationReader<T>(_s).buildEquations(model, Group::NLEs, level, nEq, row, nonZeros, cNLEquation,
                                              msg::csNLEsError))
        return false;
    data.keyLine = data.keyColumn = 0;
    return SectionReader<T>(_s).buildProcSections(naming, model, level);
}

template <typename T> bool TextBuilder<T>::initWLS(const sc::Naming& naming, const sc::TokenizedModel& model,
                                                   SolverData<T>& data, sc::ModelLevel level)
{
    bindEntry(data, &model, level);
    if (!GroupCheck<T>(_s).checkGroups(model, level, ModelKind::WLS) ||
        !DeclarationReader<T>(_s).buildDeclarations(naming, model, level))
        return false;
    const td::UINT4 nMeas = model.getNumberOfExpressions(Group::WLSEs, level);
    if (nMeas == 0)
        return _s.lineError(msg::scWLSNoWLSEs, 0, 0);
    if (!initRndGensAndStats(naming, model, level))
        return false;
    const td::UINT4 nEC = model.getNumberOfExpressions(Group::ECs, level);
    if (nEC > 0)
    {
        data.stores.constraints.reserve(nEC);
        data.stores.constraintJacobian.reserve(cEntriesPerEquation * nEC);
    }
    if (data.settings().skipCountChecks == 0 && nMeas + nEC < _s.nVars())
        return _s.lineError(msg::scWLSNotEnoughEQs, 0, 0);
    if (data.pWeights)
        data.pWeights->reserve(nMeas);
    _s.parser.setNextFreePosition(true);
    data.stores.equations.reserve(nMeas + nEC);
    data.stores.jacobian.reserve(cEntriesPerEquation * (nMeas + nEC));
    _s.nEquations = nMeas;

    data.currentSection = static_cast<td::BYTE>(ErrorSection::MeasEqs);
    td::UINT4 nonZeros = 0;
    Iterator it = model.getGroup(Group::WLSEs, level);
    ++it;
    for (td::UINT4 i = 0; i < nMeas && !it.atEnd(); ++i, ++it)
    {
        if (data.pWeights)
            data.pWeights->getManipulator()[i] = measurementWeight(it);
        const Place at = placeOf(it);
        if (!EquationReader<T>(_s).buildSymbolicJacobian(it, i, nonZeros, cMeasurement))
            return _s.lineError(msg::csWLSEsError, at);
    }

    data.currentSection = static_cast<td::BYTE>(ErrorSection::Other);
    td::UINT4 row = 0;
    nonZeros = 0;
    if (!EquationReader<T>(_s).buildEquations(model, Group::ECs, level, nEC, row, nonZeros, cConstraint,
                                              msg::csWLSECError))
        return false;
    data.keyLine = data.keyColumn = 0;
    return SectionReader<T>(_s).buildProcSections(naming, model, level);
}

// The w attribute: a number as written; a name, the magnitude of that parameter's or
// else variable's current value; none, or a name of no symbol, 1.
template <typename T> double TextBuilder<T>::measurementWeight(const Iterator& it) const
{
    double w = 1.0;
    if (it.getAttrib(sc::AttribID::W, w))
        return w;
    const sc::_TokV* p = it.attrib(sc::AttribID::W);
    if (!p)
        return 1.0;
    td::INT4 symbol = -1;
    if (p->kind == sc::Token::Param)
        symbol = static_cast<td::INT4>(_s.nVars() + p->code);
    else if (p->kind == sc::Token::Var)
        symbol = p->code;
    else if (const td::PoolString* pName = it.findAttrib(sc::AttribID::W))
        symbol = _s.parser.getSymbolIndex(td::String(pName->c_str(), pName->length()));
    if (symbol < 0 || static_cast<td::UINT4>(symbol) >= _s.symbolCount())
        return 1.0;
    return std::abs(_s.values()[static_cast<td::UINT4>(symbol)]);
}

template <typename T> bool TextBuilder<T>::initODE(const sc::Naming& naming, const sc::TokenizedModel& model,
                                                   SolverData<T>& data, sc::ModelLevel level)
{
    // Both used-variable sets are bound as for the other entries: lim needs them.
    bindEntry(data, &model, level);
    data.dynamics = 1;
    if (!GroupCheck<T>(_s).checkGroups(model, level, ModelKind::ODE))
        return false;
    const td::UINT4 nODE = model.getNumberOfExpressions(Group::ODEs, level);
    if (nODE == 0)
        return _s.lineError(msg::scNoODEEqs, 0, 0);
    if (!DeclarationReader<T>(_s).buildDeclarations(naming, model, level))
        return false;
    if (nODE != _s.nVars())
        return _s.lineError(msg::scVarsNeqODEs, 0, 0);
    if (!initRndGensAndStats(naming, model, level))
        return false;
    TD_ASSERT(data.results.indexOfTParam >= 0);
    TD_ASSERT(data.results.indexOfDeltaTParam >= 0);
    if (data.pODEList)
        data.pODEList->reserve(_s.nVars());
    _s.nEquations = nODE;
    data.stores.equations.reserve(nODE);
    data.currentSection = static_cast<td::BYTE>(ErrorSection::ODEqs);

    // Each state has one ODE: a second one would leave another state without any.
    cnt::SafeFullVector<td::BYTE> defined(_s.nVars());
    Tree tree;
    Iterator it = model.getGroup(Group::ODEs, level);
    ++it;
    for (td::UINT4 i = 0; i < nODE && !it.atEnd(); ++i, ++it)
    {
        tree.reset(data.treeOption != 0);
        typename Tree::Node* pIntegral = nullptr;
        const td::INT4 state = ODEReader<T>(_s).buildODEExpression(it, tree, pIntegral, i, 1);
        const bool ok =
            state >= 0 && static_cast<td::UINT4>(state) < _s.nVars() && defined[static_cast<td::UINT4>(state)] == 0;
        Evaluator<T>* pEquation = ok ? data.newEvaluator() : nullptr;
        if (!pEquation || !tree.createEvaluator(pEquation))
        {
            tree.reset(data.treeOption != 0);
            _s.releaseTrees();
            return _s.lineError(msg::scDAEEqError, it);
        }
        defined[static_cast<td::UINT4>(state)] = 1;
        data.stores.equations.add(pEquation);
        tree.reset(data.treeOption != 0);
        _s.releaseTrees();
    }
    data.keyLine = data.keyColumn = 0;
    data.currentSection = static_cast<td::BYTE>(ErrorSection::Other);
    return SectionReader<T>(_s).buildProcSections(naming, model, level);
}

template <typename T> bool TextBuilder<T>::initRndGensAndStats(const sc::Naming& naming,
                                                               const sc::TokenizedModel& model, sc::ModelLevel level)
{
    return GeneratorReader<T>(_s).buildDistributions(model, level) &&
           StatisticsReader<T>(_s).buildStatsNames(naming, model, level);
}

template <typename T> bool TextBuilder<T>::initDAE(const sc::Naming& naming, const sc::TokenizedModel& model,
                                                   SolverData<T>& data, sc::ModelLevel level)
{
    bindEntry(data, &model, level);
    data.dynamics = 2;
    if (!GroupCheck<T>(_s).checkGroups(model, level, ModelKind::DAE))
        return false;
    DAEReader<T>(_s).initIntegrationMethod(model, level);
    const td::UINT4 nTF = model.getNumberOfExpressions(Group::TFs, level);
    const td::UINT4 nODE = model.getNumberOfExpressions(Group::ODEs, level);
    if (nTF == 0 && nODE == 0)
        return _s.lineError(msg::scNoDAEorTFEqs, 0, 0);
    const td::UINT4 nNL = model.getNumberOfExpressions(Group::NLEs, level);
    const td::UINT4 nDeclaredVars = naming.getNumberOfVars(level);
    if (nNL + nODE + nTF != nDeclaredVars)
        return _s.lineError(msg::scDAEVarsNeqEqs, 0, 0);
    // The statements are read before the declarations pass: their symbols resolve
    // against the declared ones.
    _s.parser.setNumberOfSymbols(nDeclaredVars, naming.getNumberOfParams(level));
    data.pEarlyNaming = &naming;
    data.earlyLevel = level;
    const bool statesRead =
        TFReader<T>(_s).buildTransferFunctions(model, level) && DAEReader<T>(_s).readODEStates(model, level);
    data.pEarlyNaming = nullptr;
    if (!statesRead)
        return false;
    if (!DeclarationReader<T>(_s).buildDeclarations(naming, model, level) || !initRndGensAndStats(naming, model, level))
        return false;
    // The loader gives a dynamic main model t and dT; a dynamic child is made only with both.
    TD_ASSERT(data.results.indexOfTParam >= 0);
    TD_ASSERT(data.results.indexOfDeltaTParam >= 0);
    if (!DAEReader<T>(_s).checkDAECounts(nNL))
        return false;
    data.stores.equations.reserve(_s.nEquations);
    data.stores.jacobian.reserve(cEntriesPerEquation * _s.nEquations);

    td::UINT4 row = 0, nonZeros = 0;
    data.currentSection = static_cast<td::BYTE>(ErrorSection::TFs);
    if (!TFReader<T>(_s).expandTransferFunctions(row, nonZeros) ||
        !DAEReader<T>(_s).expandODEs(model, level, row, nonZeros))
        return false;
    data.currentSection = static_cast<td::BYTE>(ErrorSection::NLEqs);
    if (!EquationReader<T>(_s).buildEquations(model, Group::NLEs, level, nNL, row, nonZeros, cNLEquation,
                                              msg::csNLEsError))
        return false;
    TD_ASSERT(row == _s.nEquations);
    data.keyLine = data.keyColumn = 0;
    return SectionReader<T>(_s).buildProcSections(naming, model, level);
}

template class TextBuilder<double>;
template class TextBuilder<std::complex<double>>;
} // namespace sl
