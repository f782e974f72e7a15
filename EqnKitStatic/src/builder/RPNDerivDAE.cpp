// The DAE entry: the integration method, the counts, and the ODEs and NL equations of a
// DAE model turned into rows of one algebraic system per time step, each with its
// symbolic Jacobian. Transfer functions are read and expanded in RPNDerivTF.cpp, the
// generated symbols declared in RPNDerivDAESymbols.cpp.
#include <cstring>

#include <matrix/Butcher.h>
#include <sc/MessageKeys.h>

#include "ETNodeKinds.h"
#include "RPNDerivParser.h"
#include "TreeWalk.h"

namespace sl
{
namespace msg = sc::msg;
using sc::Group;

namespace
{
// Every variable a row reads: its own-model symbols below nVars and the variables of the
// arguments of its lim calls (which live in the limit records, not in the tree).
template <typename T>
void collectRowVariables(const ETNode<T>* pRoot, const FnLimits<T>* pLimits, td::UINT4 nVars, cnt::FixNumSet& out)
{
    using namespace nodes;
    visitPreorder(pRoot, [&](const ETNode<T>* p) {
        const Token<T>& t = *p->pToken;
        if (isOwnVariable(t, nVars))
            out.insert(t.index);
        else if (pLimits && isFunction(p, C::LIMIT))
        {
            const td::UINT4 id = static_cast<td::UINT4>(unpackLimitWord(realPart(t.value)) & 0xFFFFFFFFu);
            if (id > 0 && id <= pLimits->size())
            {
                const auto& derivs = (*pLimits)[id]._derivEvaluators;
                for (std::size_t k = 0; k < derivs.size(); ++k)
                {
                    if (derivs[k].varIndex < nVars)
                        out.insert(derivs[k].varIndex);
                }
            }
        }
        return WalkStep::Descend;
    });
}
} // namespace

template <typename T> td::UINT2 RPNDerivParser<T>::getNumberOfStages() const
{
    const td::BYTE method = this->_pSolverData ? this->_pSolverData->results.IntegrationMethod : 1;
    return method == 2 ? 2 : method == 3 ? 3 : 0;
}

template <typename T>
void RPNDerivParser<T>::initIntegrationMethod(const sc::TokenizedModel& model, sc::ModelLevel level)
{
    const bool main = level == sc::ModelLevel::Main;
    const Iterator line = model.getGroup(main ? Group::Model : Group::SubModel, level);
    const td::PoolString* pWord = line.findAttrib(sc::AttribID::Method);
    if (!pWord)
        return;
    const char* w = pWord->c_str();
    td::BYTE& method = this->_pSolverData->results.IntegrationMethod;
    if (std::strcmp(w, "RK4") == 0)
        method = 2;
    else if (std::strcmp(w, "RK2") == 0 || std::strncmp(w, "Trapez", 6) == 0)
        method = 1;
    else if (std::strcmp(w, "RK6") == 0)
        method = 3;
    else if (std::strcmp(w, "Euler") == 0)
        method = 0;
    else
        this->logKey(main ? msg::scWrongDAEMethod : msg::scWrongDAEMethodSM, line.line().line,
                     line.attrib(sc::AttribID::Method)->column, sc::ILog::Warning);
}

template <typename T> bool RPNDerivParser<T>::initDAE(const sc::Naming& naming, const sc::TokenizedModel& model,
                                                      SolverData<T>& data, sc::ModelLevel level)
{
    bindEntry(data, &model, level);
    data.dynamics = 2;
    if (!checkGroups(model, level, ModelKind::DAE))
        return false;
    initIntegrationMethod(model, level);
    const td::UINT4 nTF = model.getNumberOfExpressions(Group::TFs, level);
    const td::UINT4 nODE = model.getNumberOfExpressions(Group::ODEs, level);
    if (nTF == 0 && nODE == 0)
        return lineError(msg::scNoDAEorTFEqs, 0, 0);
    const td::UINT4 nNL = model.getNumberOfExpressions(Group::NLEs, level);
    const td::UINT4 nDeclaredVars = naming.getNumberOfVars(level);
    if (nNL + nODE + nTF != nDeclaredVars)
        return lineError(msg::scDAEVarsNeqEqs, 0, 0);
    // The statements are read before the declarations pass: their symbols resolve
    // against the declared ones.
    this->setNumberOfSymbols(nDeclaredVars, naming.getNumberOfParams(level));
    data.pEarlyNaming = &naming;
    data.earlyLevel = level;
    const bool statesRead = buildTransferFunctions(model, level) && readODEStates(model, level);
    data.pEarlyNaming = nullptr;
    if (!statesRead)
        return false;
    if (!buildDeclarations(naming, model, level) || !initRndGensAndStats(naming, model, level))
        return false;
    // The loader gives a dynamic main model t and dT; a dynamic child is made only with both.
    TD_ASSERT(data.results.indexOfTParam >= 0);
    TD_ASSERT(data.results.indexOfDeltaTParam >= 0);
    if (!checkDAECounts(nNL))
        return false;
    data.stores.equations.reserve(_nEquations);
    data.stores.jacobian.reserve(5 * _nEquations);

    td::UINT4 row = 0, nonZeros = 0;
    data.currentSection = static_cast<td::BYTE>(ErrorSection::TFs);
    for (std::size_t i = 0; i < _tfs.size(); ++i)
    {
        if (!expandTransferFunction(_tfs[i], row, nonZeros))
            return false;
    }
    if (!expandODEs(model, level, row, nonZeros))
        return false;

    data.currentSection = static_cast<td::BYTE>(ErrorSection::NLEqs);
    Iterator it = model.getGroup(Group::NLEs, level);
    ++it;
    for (td::UINT4 i = 0; i < nNL && !it.atEnd(); ++i, ++it)
    {
        const Place at = placeOf(it);
        if (!buildSymbolicJacobian(it, row++, nonZeros, cNLEquation))
            return lineError(msg::csNLEsError, at);
    }
    TD_ASSERT(row == _nEquations);
    data.keyLine = data.keyColumn = 0;
    return buildProcSections(naming, model, level);
}

template <typename T> bool RPNDerivParser<T>::readODEStates(const sc::TokenizedModel& model, sc::ModelLevel level)
{
    SolverData<T>& d = *this->_pSolverData;
    d.currentSection = static_cast<td::BYTE>(ErrorSection::ODEqs);
    const td::UINT4 nODE = model.getNumberOfExpressions(Group::ODEs, level);
    // Per variable, where its ODE stands (line 0: none); visited in order they give the
    // states sorted.
    cnt::SafeFullVector<Place> odeLine(this->_nVars);
    Iterator it = model.getGroup(Group::ODEs, level);
    ++it;
    for (td::UINT4 i = 0; i < nODE && !it.atEnd(); ++i, ++it)
    {
        td::UINT4 headLength = 0;
        bool isIntegral = false;
        const td::INT4 state = checkODEFormat(it, headLength, isIntegral);
        // A second ODE for a state would leave another variable without an equation.
        if (state < 0 || odeLine[static_cast<td::UINT4>(state)].line != 0)
            return lineError(msg::scODENotOK, it);
        odeLine[static_cast<td::UINT4>(state)] = placeOf(it);
    }
    // A transfer function's output has its equations from the function already.
    for (std::size_t i = 0; i < _tfs.size(); ++i)
    {
        const td::UINT4 y = static_cast<td::UINT4>(_tfs[i].tf.output);
        if (odeLine[y].line != 0)
            return lineError(msg::scODENotOK, odeLine[y]);
    }
    _stateVars.reserve(nODE);
    _stateLines.reserve(nODE);
    td::UINT4 n = 0;
    for (td::UINT4 v = 0; v < odeLine.size(); ++v)
    {
        if (odeLine[v].line == 0)
            continue;
        _stateVars[n] = static_cast<td::INT4>(v);
        _stateLines[n++] = odeLine[v];
    }
    TD_ASSERT(n == nODE);
    d.nDAEStates = nODE;
    return true;
}

template <typename T> bool RPNDerivParser<T>::checkDAECounts(td::UINT4 nNL)
{
    const td::UINT2 s = getNumberOfStages();
    td::UINT4 n = static_cast<td::UINT4>(_stateVars.size()) * (s + 1u) + nNL;
    for (std::size_t i = 0; i < _tfs.size(); ++i)
    {
        const TransferFunction& tf = _tfs[i].tf;
        n += tf.stateCount() * (s + 1u) + (tf.equationCount() - tf.stateCount());
    }
    _nEquations = n;
    if (n != this->_nVars)
        return lineError(msg::scDAEEqsNeqVars, 0, 0);
    return true;
}

template <typename T> bool RPNDerivParser<T>::expandODEs(const sc::TokenizedModel& model, sc::ModelLevel level,
                                                         td::UINT4& row, td::UINT4& nonZeros)
{
    SolverData<T>& d = *this->_pSolverData;
    d.currentSection = static_cast<td::BYTE>(ErrorSection::ODEqs);
    const td::UINT4 nODE = model.getNumberOfExpressions(Group::ODEs, level);
    const bool stages = getNumberOfStages() > 0;
    Tree tree;
    Iterator it = model.getGroup(Group::ODEs, level);
    ++it;
    for (td::UINT4 i = 0; i < nODE && !it.atEnd(); ++i, ++it)
    {
        tree.reset(d.treeOption != 0);
        typename Tree::Node* pIntegral = nullptr;
        const td::INT4 state = buildODEExpression(it, tree, pIntegral, i, 0);
        if (state < 0)
            return lineError(msg::scDAEEqError, it);
        typename Tree::Node* rows[4] = {};
        td::UINT4 nRows = 0;
        const Place at = placeOf(it);
        d.keyLine = at.line;
        d.keyColumn = at.column;
        auto fail = [&](const char* key) {
            d.keyLine = d.keyColumn = 0;
            return lineError(key, it);
        };
        if (!discretize(tree, pIntegral, static_cast<td::UINT4>(state), row, rows, nRows))
            return fail(msg::scDAEEqExp0Error);
        for (td::UINT4 k = 0; k < nRows; ++k)
        {
            if (!compileRow(rows[k], row++, nonZeros))
                return fail(stages ? msg::scDAEEqExpDiffError : msg::scDAEEqExp0DiffError);
        }
        d.keyLine = d.keyColumn = 0;
        tree.reset(d.treeOption != 0);
        releaseTrees();
    }
    return true;
}

template <typename T> DAEStageContext RPNDerivParser<T>::stageContext(td::UINT4 state) const
{
    const SolverData<T>& d = *this->_pSolverData;
    DAEStageContext ctx;
    ctx.pVarRecords = &d.stores.daeVarRecords;
    ctx.state = state;
    ctx.deltaT = this->_nVars + static_cast<td::UINT4>(d.results.indexOfDeltaTParam);
    ctx.time = static_cast<td::INT4>(this->_nVars) + d.results.indexOfTParam;
    return ctx;
}

template <typename T> bool RPNDerivParser<T>::discretize(Tree& tree, typename Tree::Node* pIntegral, td::UINT4 state,
                                                         td::UINT4 eqNo, typename Tree::Node** pRows, td::UINT4& nRows)
{
    const td::UINT2 s = getNumberOfStages();
    if (s == 0)
    {
        if (!mapDAEVarHistory(tree, pIntegral, state, eqNo))
            return false;
        pRows[0] = tree.getRoot();
        nRows = 1;
        return true;
    }
    matrix::Butcher tableau;
    tableau.init(s == 2 ? matrix::Butcher::GaussLegendre2 : matrix::Butcher::GaussLegendre3);
    if (!tree.expandDAEStages(pIntegral, stageContext(state), tableau, pRows))
        return reportDiscretizeFailure(state, eqNo);
    nRows = s + 1u;
    return true;
}

template <typename T>
bool RPNDerivParser<T>::mapDAEVarHistory(Tree& tree, typename Tree::Node* pIntegral, td::UINT4 variable, td::UINT4 eqNo)
{
    const SolverData<T>& d = *this->_pSolverData;
    TD_ASSERT(variable < d.stores.daeVarRecords.size());
    const td::INT4 history = d.stores.daeVarRecords[variable].histParam;
    TD_ASSERT(history >= 0);
    TD_ASSERT(static_cast<td::UINT4>(history) < this->_nParams);
    const DAEStageContext ctx = stageContext(variable);
    const bool done = d.results.IntegrationMethod == 0 ? tree.discretizeEuler(pIntegral, ctx)
                                                       : tree.discretizeTrapezoidal(pIntegral, ctx);
    return done || reportDiscretizeFailure(variable, eqNo);
}

template <typename T> bool RPNDerivParser<T>::reportDiscretizeFailure(td::UINT4 variable, td::UINT4 eqNo) const
{
    const SolverData<T>& d = *this->_pSolverData;
    d.itemLocationText(eqNo, 16);
    if (d.pErrorLog)
        appendSubstituted(*d.pErrorLog, " The equation of @ cannot be discretized.", d.getSymbolName(variable));
    return false;
}

template <typename T> bool RPNDerivParser<T>::compileRow(typename Tree::Node* pRoot, td::UINT4 row, td::UINT4& nonZeros)
{
    SolverData<T>& d = *this->_pSolverData;
    Tree tree(&d, nullptr, this->_nVars, d.treeOption != 0);
    tree.pushRoot(pRoot);
    _usedVars.clear();
    collectRowVariables<T>(pRoot, tree.getLimits(), this->_nVars, _usedVars);
    return makeJacobianEntry(tree, row, nonZeros, cNLEquation);
}

template class RPNDerivParser<double>;
template class RPNDerivParser<std::complex<double>>;
} // namespace sl
