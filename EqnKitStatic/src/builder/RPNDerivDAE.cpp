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

template <typename T>
void RPNDerivParser<T>::initIntegrationMethod(const sc::TokenizedModel& model, sc::ModelLevel level)
{
    const bool main = level == sc::ModelLevel::Main;
    const Iterator line = model.getGroup(main ? Group::Model : Group::SubModel, level);
    const td::PoolString* pWord = line.findAttrib(sc::AttribID::Method);
    if (!pWord)
        return;
    const char* w = pWord->c_str();
    td::BYTE& method = _s.pData->results.IntegrationMethod;
    if (std::strcmp(w, "RK4") == 0)
        method = 2;
    else if (std::strcmp(w, "RK2") == 0 || std::strncmp(w, "Trapez", 6) == 0)
        method = 1;
    else if (std::strcmp(w, "RK6") == 0)
        method = 3;
    else if (std::strcmp(w, "Euler") == 0)
        method = 0;
    else
        _s.parser.logKey(main ? msg::scWrongDAEMethod : msg::scWrongDAEMethodSM, line.line().line,
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
    data.stores.equations.reserve(_s.nEquations);
    data.stores.jacobian.reserve(5 * _s.nEquations);

    td::UINT4 row = 0, nonZeros = 0;
    data.currentSection = static_cast<td::BYTE>(ErrorSection::TFs);
    for (std::size_t i = 0; i < _s.dae.tfs.size(); ++i)
    {
        if (!expandTransferFunction(_s.dae.tfs[i], row, nonZeros))
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
            return _s.lineError(msg::csNLEsError, at);
    }
    TD_ASSERT(row == _s.nEquations);
    data.keyLine = data.keyColumn = 0;
    return buildProcSections(naming, model, level);
}

template <typename T> bool RPNDerivParser<T>::readODEStates(const sc::TokenizedModel& model, sc::ModelLevel level)
{
    SolverData<T>& d = *_s.pData;
    d.currentSection = static_cast<td::BYTE>(ErrorSection::ODEqs);
    const td::UINT4 nODE = model.getNumberOfExpressions(Group::ODEs, level);
    // Per variable, where its ODE stands (line 0: none); visited in order they give the
    // states sorted.
    cnt::SafeFullVector<Place> odeLine(_s.nVars());
    Iterator it = model.getGroup(Group::ODEs, level);
    ++it;
    for (td::UINT4 i = 0; i < nODE && !it.atEnd(); ++i, ++it)
    {
        td::UINT4 headLength = 0;
        bool isIntegral = false;
        const td::INT4 state = checkODEFormat(it, headLength, isIntegral);
        // A second ODE for a state would leave another variable without an equation.
        if (state < 0 || odeLine[static_cast<td::UINT4>(state)].line != 0)
            return _s.lineError(msg::scODENotOK, it);
        odeLine[static_cast<td::UINT4>(state)] = placeOf(it);
    }
    // A transfer function's output has its equations from the function already.
    for (std::size_t i = 0; i < _s.dae.tfs.size(); ++i)
    {
        const td::UINT4 y = static_cast<td::UINT4>(_s.dae.tfs[i].tf.output);
        if (odeLine[y].line != 0)
            return _s.lineError(msg::scODENotOK, odeLine[y]);
    }
    _s.dae.stateVars.reserve(nODE);
    _s.dae.stateLines.reserve(nODE);
    td::UINT4 n = 0;
    for (td::UINT4 v = 0; v < odeLine.size(); ++v)
    {
        if (odeLine[v].line == 0)
            continue;
        _s.dae.stateVars[n] = static_cast<td::INT4>(v);
        _s.dae.stateLines[n++] = odeLine[v];
    }
    TD_ASSERT(n == nODE);
    d.nDAEStates = nODE;
    return true;
}

template <typename T> bool RPNDerivParser<T>::checkDAECounts(td::UINT4 nNL)
{
    const td::UINT2 s = _s.getNumberOfStages();
    td::UINT4 n = static_cast<td::UINT4>(_s.dae.stateVars.size()) * (s + 1u) + nNL;
    for (std::size_t i = 0; i < _s.dae.tfs.size(); ++i)
    {
        const TransferFunction& tf = _s.dae.tfs[i].tf;
        n += tf.stateCount() * (s + 1u) + (tf.equationCount() - tf.stateCount());
    }
    _s.nEquations = n;
    if (n != _s.nVars())
        return _s.lineError(msg::scDAEEqsNeqVars, 0, 0);
    return true;
}

template <typename T> bool RPNDerivParser<T>::expandODEs(const sc::TokenizedModel& model, sc::ModelLevel level,
                                                         td::UINT4& row, td::UINT4& nonZeros)
{
    SolverData<T>& d = *_s.pData;
    d.currentSection = static_cast<td::BYTE>(ErrorSection::ODEqs);
    const td::UINT4 nODE = model.getNumberOfExpressions(Group::ODEs, level);
    const bool stages = _s.getNumberOfStages() > 0;
    Tree tree;
    Iterator it = model.getGroup(Group::ODEs, level);
    ++it;
    for (td::UINT4 i = 0; i < nODE && !it.atEnd(); ++i, ++it)
    {
        tree.reset(d.treeOption != 0);
        typename Tree::Node* pIntegral = nullptr;
        const td::INT4 state = buildODEExpression(it, tree, pIntegral, i, 0);
        if (state < 0)
            return _s.lineError(msg::scDAEEqError, it);
        typename Tree::Node* rows[4] = {};
        td::UINT4 nRows = 0;
        const Place at = placeOf(it);
        d.keyLine = at.line;
        d.keyColumn = at.column;
        auto fail = [&](const char* key) {
            d.keyLine = d.keyColumn = 0;
            return _s.lineError(key, it);
        };
        if (!DAERows<T>(_s).discretize(tree, pIntegral, static_cast<td::UINT4>(state), row, rows, nRows))
            return fail(msg::scDAEEqExp0Error);
        for (td::UINT4 k = 0; k < nRows; ++k)
        {
            if (!DAERows<T>(_s).compileRow(rows[k], row++, nonZeros))
                return fail(stages ? msg::scDAEEqExpDiffError : msg::scDAEEqExp0DiffError);
        }
        d.keyLine = d.keyColumn = 0;
        tree.reset(d.treeOption != 0);
        _s.releaseTrees();
    }
    return true;
}

template class RPNDerivParser<double>;
template class RPNDerivParser<std::complex<double>>;
} // namespace sl
