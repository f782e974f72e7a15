#include "TextBuilder.h"

#include <cmath>

#include <dense/DiagMatrix.h>
#include <sc/MessageKeys.h>

#include "DeclarationReader.h"
#include "EquationReader.h"
#include "GeneratorReader.h"
#include "GroupCheck.h"
#include "ODEReader.h"
#include "SectionReader.h"
#include "StatisticsReader.h"

namespace sl
{
namespace msg = sc::msg;
using sc::Group;

template <typename T>
void TextBuilder<T>::bindEntry(SolverData<T>& data, const sc::TokenizedModel* pModel, sc::ModelLevel level)
{
    TD_ASSERT(&data == &_s.data());
    if (level == sc::ModelLevel::Sub)
    {
        TD_ASSERT(data.pSolver && data.pSolver->getParentSolver());
        _s.parser.setNumberOfParentVariables(data.pSolver->getParentSolver()->getNumberOfVariables());
    }
    _used.bind(data);
    data.pTokenizedModel = pModel;
}

template <typename T> bool TextBuilder<T>::initNR(const sc::Naming& naming, const sc::TokenizedModel& model,
                                                  SolverData<T>& data, sc::ModelLevel level)
{
    bindEntry(data, &model, level);
    if (!GroupCheck<T>(_s).checkGroups(model, level, ModelKind::NL) ||
        !DeclarationReader<T>(_s, _used).buildDeclarations(naming, model, level))
        return false;
    const td::UINT4 nEq = model.getNumberOfExpressions(Group::NLEs, level);
    data.results.nEquations = nEq;
    if (!initRndGensAndStats(naming, model, level))
        return false;
    data.stores.equations.reserve(nEq);
    data.stores.jacobian.reserve(cEntriesPerEquation * nEq);
    data.currentSection = static_cast<td::BYTE>(ErrorSection::NLEqs);

    // The equations are built before their count is compared, so that a statement at
    // fault is told at its place rather than as a count.
    td::UINT4 row = 0, nonZeros = 0;
    if (!EquationReader<T>(_s, _used).buildEquations(model, Group::NLEs, level, nEq, row, nonZeros, cNLEquation,
                                                     msg::csNLEsError))
        return false;
    data.keyLine = data.keyColumn = 0;
    if (data.settings().skipCountChecks == 0 && nEq != _s.getNumVariables())
        return _s.countError(msg::csVarsNeqEqs, groupPlace(model, Group::NLEs, level), _s.getNumVariables(), nEq);
    return SectionReader<T>(_s, _used).buildProcSections(naming, model, level);
}

template <typename T> bool TextBuilder<T>::initWLS(const sc::Naming& naming, const sc::TokenizedModel& model,
                                                   SolverData<T>& data, sc::ModelLevel level)
{
    bindEntry(data, &model, level);
    if (!GroupCheck<T>(_s).checkGroups(model, level, ModelKind::WLS) ||
        !DeclarationReader<T>(_s, _used).buildDeclarations(naming, model, level))
        return false;
    const td::UINT4 nMeas = model.getNumberOfExpressions(Group::WLSEs, level);
    if (nMeas == 0)
        return _s.lineError(msg::scWLSNoWLSEs, modelPlace(model, level));
    if (!initRndGensAndStats(naming, model, level))
        return false;
    const td::UINT4 nEC = model.getNumberOfExpressions(Group::ECs, level);
    if (nEC > 0)
    {
        data.stores.constraints.reserve(nEC);
        data.stores.constraintJacobian.reserve(cEntriesPerEquation * nEC);
    }
    if (data.pWeights)
        data.pWeights->reserve(nMeas);
    _s.parser.setNextFreePosition(true);
    data.stores.equations.reserve(nMeas + nEC);
    data.stores.jacobian.reserve(cEntriesPerEquation * (nMeas + nEC));
    data.results.nEquations = nMeas;

    data.currentSection = static_cast<td::BYTE>(ErrorSection::MeasEqs);
    td::UINT4 nonZeros = 0;
    EquationReader<T> equations(_s, _used);
    Iterator it = model.getGroup(Group::WLSEs, level);
    ++it;
    for (td::UINT4 i = 0; i < nMeas && !it.atEnd(); ++i, ++it)
    {
        if (data.pWeights)
            data.pWeights->getManipulator()[i] = measurementWeight(it);
        const Place at = placeOf(it);
        if (!equations.buildSymbolicJacobian(it, i, nonZeros, cMeasurement))
            return _s.lineError(msg::csWLSEsError, at);
    }

    // The constraints' section, as on the XML road: a `lim` in them gets its derivative.
    data.currentSection = static_cast<td::BYTE>(ErrorSection::ECs);
    td::UINT4 row = 0;
    nonZeros = 0;
    if (!equations.buildEquations(model, Group::ECs, level, nEC, row, nonZeros, cConstraint, msg::csWLSECError))
        return false;
    data.currentSection = static_cast<td::BYTE>(ErrorSection::Other);
    data.keyLine = data.keyColumn = 0;
    // Counted once every equation is built, as for the Newton-Raphson model.
    if (data.settings().skipCountChecks == 0 && nMeas + nEC < _s.getNumVariables())
        return _s.countError(msg::scWLSNotEnoughEQs, groupPlace(model, Group::WLSEs, level), _s.getNumVariables(),
                             nMeas + nEC);
    return SectionReader<T>(_s, _used).buildProcSections(naming, model, level);
}

// The w attribute: a number as written; a name, the magnitude of that parameter's or
// else variable's current value; none, or a name of no symbol, 1. A negative number and a
// name of no symbol are warned of at the weight.
template <typename T> double TextBuilder<T>::measurementWeight(const Iterator& it) const
{
    const sc::_TokV* p = it.attrib(sc::AttribID::W);
    if (!p)
        return 1.0;
    const Place at{it.line().line, p->column};
    double w = 1.0;
    if (it.getAttrib(sc::AttribID::W, w))
    {
        if (w < 0)
            _s.lineWarning(msg::scNegativeWeight, at);
        return w;
    }
    td::INT4 symbol = -1;
    if (p->kind == sc::Token::Param)
        symbol = static_cast<td::INT4>(_s.getNumVariables() + p->code);
    else if (p->kind == sc::Token::Var)
        symbol = p->code;
    else if (const td::PoolString* pName = it.findAttrib(sc::AttribID::W))
        symbol = _s.parser.getSymbolIndex(td::String(pName->c_str(), pName->length()));
    if (symbol < 0 || static_cast<td::UINT4>(symbol) >= _s.symbolCount())
    {
        _s.lineWarning(msg::scWeightNotASymbol, at);
        return 1.0;
    }
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
        return _s.lineError(msg::scNoODEEqs, modelPlace(model, level));
    if (!DeclarationReader<T>(_s, _used).buildDeclarations(naming, model, level))
        return false;
    if (!initRndGensAndStats(naming, model, level))
        return false;
    TD_ASSERT(data.results.indexOfTParam >= 0);
    TD_ASSERT(data.results.indexOfDeltaTParam >= 0);
    if (data.pODEList)
        data.pODEList->reserve(_s.getNumVariables());
    data.results.nEquations = nODE;
    data.stores.equations.reserve(nODE);
    data.currentSection = static_cast<td::BYTE>(ErrorSection::ODEqs);

    // Each state has one ODE: a second one would leave another state without any.
    cnt::SafeFullVector<td::BYTE> defined(_s.getNumVariables());
    ODEReader<T> odes(_s, _used);
    Tree tree;
    Iterator it = model.getGroup(Group::ODEs, level);
    ++it;
    for (td::UINT4 i = 0; i < nODE && !it.atEnd(); ++i, ++it)
    {
        tree.reset(data.treeOption != 0);
        typename Tree::Node* pIntegral = nullptr;
        const td::INT4 state = odes.buildODEExpression(it, tree, pIntegral, i, 1);
        const bool ok = state >= 0 && static_cast<td::UINT4>(state) < _s.getNumVariables() &&
                        defined[static_cast<td::UINT4>(state)] == 0;
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
    // An ODE of a state given before, or of no state, is told at its place by the loop;
    // fewer ODEs than states are told as a count.
    if (nODE != _s.getNumVariables())
        return _s.countError(msg::scVarsNeqODEs, groupPlace(model, Group::ODEs, level), _s.getNumVariables(), nODE);
    data.currentSection = static_cast<td::BYTE>(ErrorSection::Other);
    return SectionReader<T>(_s, _used).buildProcSections(naming, model, level);
}

template <typename T> bool TextBuilder<T>::initRndGensAndStats(const sc::Naming& naming,
                                                               const sc::TokenizedModel& model, sc::ModelLevel level)
{
    return GeneratorReader<T>(_s).buildDistributions(model, level) &&
           StatisticsReader<T>(_s, _used).buildStatsNames(naming, model, level);
}

template class TextBuilder<double>;
template class TextBuilder<std::complex<double>>;
} // namespace sl
