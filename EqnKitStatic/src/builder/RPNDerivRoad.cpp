// The tokenized road: the entries of the solver kinds (Newton-Raphson, weighted least
// squares, ODE) in their order of steps, the section pass over the statement groups and
// the limits, and the child model of a main model.
#include <cmath>

#include <dense/DiagMatrix.h>
#include <sc/MessageKeys.h>

#include "RPNDerivParser.h"

namespace sl
{
namespace msg = sc::msg;
using sc::Group;

namespace
{
// The rows an equation group reserves in its Jacobian, per equation.
constexpr td::UINT4 cEntriesPerEquation = 5;

template <typename T> bool countChecksLifted(const SolverData<T>& d) { return d.stores.settings.skipCountChecks != 0; }

// A value as a weight: its magnitude.
double magnitude(double v) { return std::fabs(v); }
double magnitude(const std::complex<double>& v) { return std::abs(v); }
} // namespace

template <typename T> bool RPNDerivParser<T>::initNR(const sc::Naming& naming, const sc::TokenizedModel& model,
                                                     SolverData<T>& data, sc::ModelLevel level)
{
    bindEntry(data, &model, level);
    if (!checkGroups(model, level, ModelKind::NL) || !buildDeclarations(naming, model, level))
        return false;
    const td::UINT4 nEq = model.getNumberOfExpressions(Group::NLEs, level);
    _nEquations = nEq;
    if (!countChecksLifted(data) && nEq != this->_nVars)
        return lineError(msg::csVarsNeqEqs, 0, 0);
    if (!initRndGensAndStats(naming, model, level))
        return false;
    data.stores.equations.reserve(nEq);
    data.stores.jacobian.reserve(cEntriesPerEquation * nEq);
    data.currentSection = static_cast<td::BYTE>(ErrorSection::NLEqs);

    td::UINT4 nonZeros = 0;
    Iterator it = model.getGroup(Group::NLEs, level);
    ++it;
    for (td::UINT4 i = 0; i < nEq && !it.atEnd(); ++i, ++it)
    {
        const Place at = placeOf(it);
        if (!buildSymbolicJacobian(it, i, nonZeros, cNLEquation))
            return lineError(msg::csNLEsError, at);
    }
    data.keyLine = data.keyColumn = 0;
    return buildProcSections(naming, model, level);
}

template <typename T> bool RPNDerivParser<T>::initWLS(const sc::Naming& naming, const sc::TokenizedModel& model,
                                                      SolverData<T>& data, sc::ModelLevel level)
{
    bindEntry(data, &model, level);
    if (!checkGroups(model, level, ModelKind::WLS) || !buildDeclarations(naming, model, level))
        return false;
    const td::UINT4 nMeas = model.getNumberOfExpressions(Group::WLSEs, level);
    if (nMeas == 0)
        return lineError(msg::scWLSNoWLSEs, 0, 0);
    if (!initRndGensAndStats(naming, model, level))
        return false;
    const td::UINT4 nEC = model.getNumberOfExpressions(Group::ECs, level);
    if (nEC > 0)
    {
        data.stores.constraints.reserve(nEC);
        data.stores.constraintJacobian.reserve(cEntriesPerEquation * nEC);
    }
    if (!countChecksLifted(data) && nMeas + nEC < this->_nVars)
        return lineError(msg::scWLSNotEnoughEQs, 0, 0);
    if (data.pWeights)
        data.pWeights->reserve(nMeas);
    this->setNextFreePosition(true);
    data.stores.equations.reserve(nMeas + nEC);
    data.stores.jacobian.reserve(cEntriesPerEquation * (nMeas + nEC));
    _nEquations = nMeas;

    data.currentSection = static_cast<td::BYTE>(ErrorSection::MeasEqs);
    td::UINT4 nonZeros = 0;
    Iterator it = model.getGroup(Group::WLSEs, level);
    ++it;
    for (td::UINT4 i = 0; i < nMeas && !it.atEnd(); ++i, ++it)
    {
        if (data.pWeights)
            data.pWeights->getManipulator()[i] = measurementWeight(it);
        const Place at = placeOf(it);
        if (!buildSymbolicJacobian(it, i, nonZeros, cMeasurement))
            return lineError(msg::csWLSEsError, at);
    }

    data.currentSection = static_cast<td::BYTE>(ErrorSection::Other);
    nonZeros = 0;
    it = model.getGroup(Group::ECs, level);
    ++it;
    for (td::UINT4 j = 0; j < nEC && !it.atEnd(); ++j, ++it)
    {
        const Place at = placeOf(it);
        if (!buildSymbolicJacobian(it, j, nonZeros, cConstraint))
            return lineError(msg::csWLSECError, at);
    }
    data.keyLine = data.keyColumn = 0;
    return buildProcSections(naming, model, level);
}

// The w attribute: a number as written; a name, the magnitude of that parameter's or
// else variable's current value; none, or a name of no symbol, 1.
template <typename T> double RPNDerivParser<T>::measurementWeight(const Iterator& it) const
{
    double w = 1.0;
    if (it.getAttrib(sc::AttribID::W, w))
        return w;
    const sc::_TokV* p = it.attrib(sc::AttribID::W);
    if (!p)
        return 1.0;
    td::INT4 symbol = -1;
    if (p->kind == sc::Token::Param)
        symbol = static_cast<td::INT4>(this->_nVars + p->code);
    else if (p->kind == sc::Token::Var)
        symbol = p->code;
    else if (const td::PoolString* pName = it.findAttrib(sc::AttribID::W))
        symbol = this->getSymbolIndex(td::String(pName->c_str(), pName->length()));
    if (symbol < 0 || static_cast<td::UINT4>(symbol) >= symbolCount())
        return 1.0;
    return magnitude(this->_values[static_cast<td::UINT4>(symbol)]);
}

template <typename T> bool RPNDerivParser<T>::initODE(const sc::Naming& naming, const sc::TokenizedModel& model,
                                                      SolverData<T>& data, sc::ModelLevel level)
{
    // Both used-variable sets are bound as for the other entries: lim needs them.
    bindEntry(data, &model, level);
    data.dynamics = 1;
    if (!checkGroups(model, level, ModelKind::ODE))
        return false;
    const td::UINT4 nODE = model.getNumberOfExpressions(Group::ODEs, level);
    if (nODE == 0)
        return lineError(msg::scNoODEEqs, 0, 0);
    if (!buildDeclarations(naming, model, level))
        return false;
    if (nODE != this->_nVars)
        return lineError(msg::scVarsNeqODEs, 0, 0);
    if (!initRndGensAndStats(naming, model, level))
        return false;
    TD_ASSERT(data.results.indexOfTParam >= 0);
    TD_ASSERT(data.results.indexOfDeltaTParam >= 0);
    if (data.pODEList)
        data.pODEList->reserve(this->_nVars);
    _nEquations = nODE;
    data.stores.equations.reserve(nODE);
    data.currentSection = static_cast<td::BYTE>(ErrorSection::ODEqs);

    // Each state has one ODE: a second one would leave another state without any.
    cnt::SafeFullVector<td::BYTE> defined(this->_nVars);
    Tree tree;
    Iterator it = model.getGroup(Group::ODEs, level);
    ++it;
    for (td::UINT4 i = 0; i < nODE && !it.atEnd(); ++i, ++it)
    {
        tree.reset(data.treeOption != 0);
        typename Tree::Node* pIntegral = nullptr;
        const td::INT4 state = buildODEExpression(it, tree, pIntegral, i, 1);
        const bool ok =
            state >= 0 && static_cast<td::UINT4>(state) < this->_nVars && defined[static_cast<td::UINT4>(state)] == 0;
        Evaluator<T>* pEquation = ok ? data.newEvaluator() : nullptr;
        if (!pEquation || !tree.createEvaluator(pEquation))
        {
            tree.reset(data.treeOption != 0);
            releaseTrees();
            return lineError(msg::scDAEEqError, it);
        }
        defined[static_cast<td::UINT4>(state)] = 1;
        data.stores.equations.add(pEquation);
        tree.reset(data.treeOption != 0);
        releaseTrees();
    }
    data.keyLine = data.keyColumn = 0;
    data.currentSection = static_cast<td::BYTE>(ErrorSection::Other);
    return buildProcSections(naming, model, level);
}

// ---- the section pass ----

template <typename T> bool RPNDerivParser<T>::buildProcSections(const sc::Naming& naming,
                                                                const sc::TokenizedModel& model, sc::ModelLevel level)
{
    static const char* const s_sectionKeys[] = {msg::scErrInReInit, msg::scErrInPreProc, msg::scErrInIterPostProc,
                                                msg::scErrInBasePostProc, msg::scErrInPostProc};
    for (td::BYTE index = 0; index < 5; ++index)
    {
        if (!buildSection(model, index, level))
            return lineError(s_sectionKeys[index], 0, 0);
    }
    if (!buildLimits(model, level))
        return lineError(msg::scErrInLimits, 0, 0);
    if (!buildSection(model, 6, level))
        return lineError(msg::scErrorInRepeat, 0, 0);
    if (level == sc::ModelLevel::Main)
        return createSubModels(naming, model);
    return true;
}

template <typename T>
bool RPNDerivParser<T>::buildSection(const sc::TokenizedModel& model, td::BYTE index, sc::ModelLevel level)
{
    static const Group s_groups[] = {Group::ReInit,   Group::PreProc, Group::IterPostP, Group::BasePostP,
                                     Group::PostProc, Group::Limits,  Group::Repeats,   Group::NA};
    TD_ASSERT(index < sizeof(s_groups) / sizeof(s_groups[0]));
    const Group group = s_groups[index];
    if (group == Group::NA)
        return true;
    const td::UINT4 n = model.getNumberOfExpressions(group, level);
    if (n == 0)
        return true;
    SolverData<T>& d = *this->_pSolverData;
    Iterator it = model.getGroup(group, level);
    if (group == Group::IterPostP || group == Group::BasePostP)
    {
        bool alwaysOn = false;
        it.getAttrib(sc::AttribID::AlwaysOn, alwaysOn);
        if (alwaysOn)
            (group == Group::IterPostP ? d.results.iterPostProcFlag : d.results.basePostProcFlag) = 1;
    }
    EvaluatorVect<T>* pList = d.sectionList(index);
    TD_ASSERT(pList);
    pList->reserve(n);
    const Place groupLine = placeOf(it);
    ++it;
    for (td::UINT4 i = 0; i < n; ++i, ++it)
    {
        if (it.atEnd())
            return lineError(msg::scPrematureEnd, groupLine);
        const sc::_tl& l = it.line();
        if (group == Group::Repeats && l.nExpr == 1 && reservedWord(it) == sc::idx(sc::ReservedID::Repeat))
        {
            pList->add(nullptr);
            continue;
        }
        Evaluator<T>* pRecord = d.newEvaluator();
        const StatementResult r = buildStatements(it, model, pRecord, group);
        if (r == Failed)
            return false;
        pList->add(r == LoneRepeat ? nullptr : pRecord);
    }
    return true;
}

template <typename T> bool RPNDerivParser<T>::createSubModels(const sc::Naming& naming, const sc::TokenizedModel& model)
{
    constexpr sc::ModelLevel sub = sc::ModelLevel::Sub;
    if (model.getNumberOfExpressions(Group::Vars, sub) == 0)
        return true;
    const Iterator line = model.getGroup(Group::SubModel, sub);
    if (line.atEnd())
        return false;
    const td::PoolString* pType = line.findAttrib(sc::AttribID::Type);
    const td::String type = pType ? td::String(pType->c_str(), pType->length()) : td::String();
    double eps = 1e-6;
    line.getAttrib(sc::AttribID::Eps, eps);

    // A time-stepping child finds its time and step among its own parameters.
    const bool dynamic = type == "ODE" || type == "DAE";
    const td::INT4 nSubParams = static_cast<td::INT4>(naming.getNumberOfParams(sub));
    const td::INT4 iT = model.getIndexOfTimeParam(sub), iDT = model.getIndexOfDeltaTimeParam(sub);
    if (dynamic && (iT < 0 || iDT < 0 || iT >= nSubParams || iDT >= nSubParams))
        return lineError(msg::scCannotCreateSolver, 0, 0);

    SolverData<T>& d = *this->_pSolverData;
    TD_ASSERT(d.pSolver);
    using Result = typename ISolverServices<T>::SubModelBuild;
    // The child's entries carry the line of its SubModel line.
    switch (d.pSolver->buildSubModel(type, eps, line.line().line, naming, model))
    {
    case Result::Built: return true;
    case Result::NoSolver: return lineError(msg::scCannotCreateSolver, 0, 0);
    default: return false;
    }
}

template class RPNDerivParser<double>;
template class RPNDerivParser<std::complex<double>>;
} // namespace sl
