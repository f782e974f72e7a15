#include "DAEReader.h"

#include <cstring>

#include <sc/MessageKeys.h>

#include "DAERows.h"
#include "DeclarationReader.h"
#include "EquationReader.h"
#include "GroupCheck.h"
#include "ODEReader.h"
#include "SectionReader.h"
#include "TFReader.h"

namespace sl
{
namespace msg = sc::msg;
using sc::Group;

template <typename T> bool DAEReader<T>::initDAE(const sc::Naming& naming, const sc::TokenizedModel& model,
                                                 SolverData<T>& data, sc::ModelLevel level)
{
    _entry.bindEntry(data, &model, level);
    data.dynamics = 2;
    if (!GroupCheck<T>(_s).checkGroups(model, level, ModelKind::DAE))
        return false;
    initIntegrationMethod(model, level);
    const td::UINT4 nTF = model.getNumberOfExpressions(Group::TFs, level);
    const td::UINT4 nODE = model.getNumberOfExpressions(Group::ODEs, level);
    if (nTF == 0 && nODE == 0)
        return _s.lineError(msg::scNoDAEorTFEqs, modelPlace(model, level));
    const td::UINT4 nNL = model.getNumberOfExpressions(Group::NLEs, level);
    const td::UINT4 nDeclaredVars = naming.getNumberOfVars(level);
    // The statements are read before the declarations pass: their symbols resolve
    // against the declared ones.
    _s.parser.setNumberOfSymbols(nDeclaredVars, naming.getNumberOfParams(level));
    data.pEarlyNaming = &naming;
    data.earlyLevel = level;
    TFReader<T> tfs(_s, _used);
    // Counted once the states are read: a state given twice is told at its ODE, and a
    // statement that does not compile at its place.
    _countPlace = countPlace(model, level);
    const bool counted = tfs.buildTransferFunctions(model, level, _records.tfs) && readODEStates(model, level) &&
                         (nNL + nODE + nTF == nDeclaredVars || !refusesAStatement(model, level));
    data.pEarlyNaming = nullptr;
    if (!counted)
        return false;
    if (nNL + nODE + nTF != nDeclaredVars)
        return _s.countError(msg::scDAEVarsNeqEqs, _countPlace, nDeclaredVars, nNL + nODE + nTF);
    if (!DeclarationReader<T>(_s, _used, &_records).buildDeclarations(naming, model, level) ||
        !_entry.initRndGensAndStats(naming, model, level))
        return false;
    // The loader gives a dynamic main model t and dT; a dynamic child is made only with both.
    TD_ASSERT(data.results.indexOfTParam >= 0);
    TD_ASSERT(data.results.indexOfDeltaTParam >= 0);
    if (!checkDAECounts(nNL))
        return false;
    const td::UINT4 nEquations = data.results.nEquations;
    data.stores.equations.reserve(nEquations);
    data.stores.jacobian.reserve(cEntriesPerEquation * nEquations);

    td::UINT4 row = 0, nonZeros = 0;
    data.currentSection = static_cast<td::BYTE>(ErrorSection::TFs);
    if (!tfs.expandTransferFunctions(_records.tfs, row, nonZeros) || !expandODEs(model, level, row, nonZeros))
        return false;
    data.currentSection = static_cast<td::BYTE>(ErrorSection::NLEqs);
    if (!EquationReader<T>(_s, _used).buildEquations(model, Group::NLEs, level, nNL, row, nonZeros, cNLEquation,
                                                     msg::csNLEsError))
        return false;
    TD_ASSERT(row == nEquations);
    data.keyLine = data.keyColumn = 0;
    return SectionReader<T>(_s, _used).buildProcSections(naming, model, level);
}

template <typename T> void DAEReader<T>::initIntegrationMethod(const sc::TokenizedModel& model, sc::ModelLevel level)
{
    const bool main = level == sc::ModelLevel::Main;
    const Iterator line = model.getGroup(main ? Group::Model : Group::SubModel, level);
    const td::PoolString* pWord = line.findAttrib(sc::AttribID::Method);
    if (!pWord)
        return;
    const char* w = pWord->c_str();
    td::BYTE& method = _s.data().results.IntegrationMethod;
    if (std::strcmp(w, "RK4") == 0)
        method = 2;
    else if (std::strcmp(w, "RK2") == 0 || std::strncmp(w, "Trapez", 6) == 0)
        method = 1;
    else if (std::strcmp(w, "RK6") == 0)
        method = 3;
    else if (std::strcmp(w, "Euler") == 0)
        method = 0;
    else
        _s.lineWarning(main ? msg::scWrongDAEMethod : msg::scWrongDAEMethodSM,
                       Place{line.line().line, line.attrib(sc::AttribID::Method)->column});
}

template <typename T> bool DAEReader<T>::readODEStates(const sc::TokenizedModel& model, sc::ModelLevel level)
{
    SolverData<T>& d = _s.data();
    d.currentSection = static_cast<td::BYTE>(ErrorSection::ODEqs);
    const td::UINT4 nODE = model.getNumberOfExpressions(Group::ODEs, level);
    // Per variable, where its ODE stands (line 0: none); visited in order they give the
    // states sorted.
    cnt::SafeFullVector<Place> odeLine(_s.getNumVariables());
    const ODEReader<T> odes(_s, _used);
    Iterator it = model.getGroup(Group::ODEs, level);
    ++it;
    for (td::UINT4 i = 0; i < nODE && !it.atEnd(); ++i, ++it)
    {
        td::UINT4 headLength = 0;
        bool isIntegral = false;
        const td::INT4 state = odes.checkODEFormat(it, headLength, isIntegral);
        // A second ODE for a state would leave another variable without an equation.
        if (state < 0 || odeLine[static_cast<td::UINT4>(state)].line != 0)
            return _s.lineError(msg::scODENotOK, it);
        odeLine[static_cast<td::UINT4>(state)] = placeOf(it);
    }
    // A transfer function's output has its equations from the function already.
    for (std::size_t i = 0; i < _records.tfs.size(); ++i)
    {
        const td::UINT4 y = static_cast<td::UINT4>(_records.tfs[i].tf.output);
        if (odeLine[y].line != 0)
            return _s.lineError(msg::scODENotOK, odeLine[y]);
    }
    _records.stateVars.reserve(nODE);
    _records.stateLines.reserve(nODE);
    td::UINT4 n = 0;
    for (td::UINT4 v = 0; v < odeLine.size(); ++v)
    {
        if (odeLine[v].line == 0)
            continue;
        _records.stateVars[n] = static_cast<td::INT4>(v);
        _records.stateLines[n++] = odeLine[v];
    }
    TD_ASSERT(n == nODE);
    d.nDAEStates = nODE;
    return true;
}

template <typename T> bool DAEReader<T>::checkDAECounts(td::UINT4 nNL)
{
    const td::UINT2 s = _s.getNumberOfStages();
    td::UINT4 n = static_cast<td::UINT4>(_records.stateVars.size()) * (s + 1u) + nNL;
    for (std::size_t i = 0; i < _records.tfs.size(); ++i)
    {
        const TransferFunction& tf = _records.tfs[i].tf;
        n += tf.stateCount() * (s + 1u) + (tf.equationCount() - tf.stateCount());
    }
    _s.data().results.nEquations = n;
    if (n != _s.getNumVariables())
        return _s.countError(msg::scDAEEqsNeqVars, _countPlace, _s.getNumVariables(), n);
    return true;
}

// Where the counts do not match, the statement that makes them so is looked for: an ODE's
// right side or an algebraic equation that does not compile (two statements joined, one
// split in two) is refused at its place. True when one is.
template <typename T> bool DAEReader<T>::refusesAStatement(const sc::TokenizedModel& model, sc::ModelLevel level)
{
    SolverData<T>& d = _s.data();
    const ODEReader<T> odes(_s, _used);
    for (Group g : {Group::ODEs, Group::NLEs})
    {
        Iterator it = model.getGroup(g, level);
        for (++it; !it.atEnd(); ++it)
        {
            if (reservedWord(it) >= 0)
                continue;
            td::UINT4 first = 0;
            bool integral = false;
            if (g == Group::ODEs && odes.checkODEFormat(it, first, integral) < 0)
                return true;
            if (g == Group::ODEs)
                ++first;
            // Before the declarations pass: nothing is collected.
            Tree tree(&d, nullptr, _s.getNumVariables(), d.treeOption != 0);
            _s.parser.clearTokens();
            _used.collect(false);
            td::BYTE kind = 0;
            bool built = false;
            if (g == Group::ODEs)
            {
                const typename RPNParser<T>::NoAssignment rightSide(_s.parser);
                built = _s.compileInto(tree, it, first, kind, msg::scCannotCrODEExpTree);
            }
            else
                built = _s.compileInto(tree, it, first, kind, msg::scCannotMakeExpressionTree);
            const bool refused = !built || _s.refusesComparison(tree);
            tree.reset(d.treeOption != 0);
            _s.releaseTrees();
            if (refused)
                return true;
        }
    }
    return false;
}

// A DAE model's equations stand in three groups: its count is told at the algebraic
// equations, which complete it, else at the ODEs, else at the transfer functions.
template <typename T> Place DAEReader<T>::countPlace(const sc::TokenizedModel& model, sc::ModelLevel level)
{
    for (Group g : {Group::NLEs, Group::ODEs, Group::TFs})
    {
        const Place at = model.getGroupPlace(g, level);
        if (at.isSet())
            return at;
    }
    return modelPlace(model, level);
}

template <typename T> bool DAEReader<T>::expandODEs(const sc::TokenizedModel& model, sc::ModelLevel level,
                                                    td::UINT4& row, td::UINT4& nonZeros)
{
    SolverData<T>& d = _s.data();
    d.currentSection = static_cast<td::BYTE>(ErrorSection::ODEqs);
    const td::UINT4 nODE = model.getNumberOfExpressions(Group::ODEs, level);
    const bool stages = _s.getNumberOfStages() > 0;
    ODEReader<T> odes(_s, _used);
    DAERows<T> rowsOfODEs(_s, _used);
    Tree tree;
    Iterator it = model.getGroup(Group::ODEs, level);
    ++it;
    for (td::UINT4 i = 0; i < nODE && !it.atEnd(); ++i, ++it)
    {
        tree.reset(d.treeOption != 0);
        typename Tree::Node* pIntegral = nullptr;
        const td::INT4 state = odes.buildODEExpression(it, tree, pIntegral, i, 0);
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
        if (!rowsOfODEs.discretize(tree, pIntegral, static_cast<td::UINT4>(state), row, rows, nRows))
            return fail(msg::scDAEEqExp0Error);
        for (td::UINT4 k = 0; k < nRows; ++k)
        {
            if (!rowsOfODEs.compileRow(rows[k], row++, nonZeros))
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
