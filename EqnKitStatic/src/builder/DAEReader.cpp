#include "DAEReader.h"

#include <cstring>

#include <sc/MessageKeys.h>

#include "DAERows.h"
#include "ODEReader.h"

namespace sl
{
namespace msg = sc::msg;
using sc::Group;

template <typename T> void DAEReader<T>::initIntegrationMethod(const sc::TokenizedModel& model, sc::ModelLevel level)
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

template <typename T> bool DAEReader<T>::readODEStates(const sc::TokenizedModel& model, sc::ModelLevel level)
{
    SolverData<T>& d = _s.data();
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
        const td::INT4 state = ODEReader<T>(_s).checkODEFormat(it, headLength, isIntegral);
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

template <typename T> bool DAEReader<T>::checkDAECounts(td::UINT4 nNL)
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

template <typename T> bool DAEReader<T>::expandODEs(const sc::TokenizedModel& model, sc::ModelLevel level,
                                                    td::UINT4& row, td::UINT4& nonZeros)
{
    SolverData<T>& d = _s.data();
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
        const td::INT4 state = ODEReader<T>(_s).buildODEExpression(it, tree, pIntegral, i, 0);
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

template class DAEReader<double>;
template class DAEReader<std::complex<double>>;
} // namespace sl
