#include "XmlDAEReader.h"

#include "DAERows.h"
#include "JacobianBuilder.h"
#include "XmlDAESymbols.h"
#include "XmlDeclarationReader.h"
#include "XmlEquationReader.h"
#include "XmlGeneratorReader.h"
#include "XmlNames.h"
#include "XmlNodes.h"
#include "XmlODEReader.h"
#include "XmlStatisticsReader.h"
#include "XmlTFReader.h"

namespace sl
{
using namespace xmlnodes;

template <typename T> bool XmlDAEReader<T>::checkXmlDAECounts(td::UINT4 nNL)
{
    const SolverData<T>& d = _s.data();
    const td::UINT2 s = _s.getNumberOfStages();
    td::UINT4 n = d.nDAEStates * (s + 1u) + nNL;
    for (std::size_t i = 0; i < _records.tfs.size(); ++i)
    {
        const TransferFunction& tf = _records.tfs[i].tf;
        n += tf.stateCount() * (s + 1u) + (tf.equationCount() - tf.stateCount());
    }
    _s.data().results.nEquations = n;
    return n == _s.getNumVariables() || _s.xmlError("Number of unknows and number of equations do not match");
}

template <typename T>
bool XmlDAEReader<T>::expandXmlODEs(const xml::Node& odeqs, td::UINT4 nODE, td::UINT4& row, td::UINT4& nonZeros)
{
    SolverData<T>& d = _s.data();
    d.currentSection = static_cast<td::BYTE>(ErrorSection::ODEqs);
    XmlODEReader<T> odes(_s, _used);
    DAERows<T> rowsOfODEs(_s, _used);
    Tree tree;
    xml::Node eq = child(odeqs, "Eq");
    bool ok = true;
    for (td::UINT4 i = 0; ok && i < nODE; ++i, eq.nextSameName())
    {
        const ElementLine line(d.xmlLine, eq);
        tree.reset(d.treeOption != 0);
        typename Tree::Node* pIntegral = nullptr;
        const td::INT4 state = odes.checkODETerm(eq, tree, pIntegral, i, false);
        typename Tree::Node* rows[4] = {};
        td::UINT4 nRows = 0;
        ok = state >= 0 && rowsOfODEs.discretize(tree, pIntegral, static_cast<td::UINT4>(state), i, rows, nRows);
        for (td::UINT4 k = 0; ok && k < nRows; ++k)
        {
            ok = rowsOfODEs.compileRow(rows[k], row++, nonZeros) ||
                 _s.xmlError("Cannot create Jacobian entry for ODE equation: @", attrib(eq, "fx"));
        }
        tree.reset(d.treeOption != 0);
        _s.releaseTrees();
        if (!ok)
            d.itemLocationText(i, cCurrent);
    }
    d.currentSection = 0;
    return ok;
}

template <typename T> bool XmlDAEReader<T>::loadDAEModel(const xml::Node& root)
{
    if (!_entry.checkModelHeader(root, "DAE") || !_entry.checkXmlSections(root, ModelKind::DAE))
        return false;
    _s.data().dynamics = 2;
    XmlODEReader<T>(_s, _used).loadIntegrationMethod(root);
    if (!XmlStatisticsReader<T>(_s).loadStats(root) || !XmlGeneratorReader<T>(_s).loadRndGens(root))
        return false;
    const xml::Node odeqs = child(root, "ODEqs");
    const td::UINT4 nODE = countChildren(odeqs, "Eq");
    if (!readAhead(root, odeqs, nODE))
        return false;
    // The Laplace operator of the transfer functions is read until their rows are made.
    if (!declare(root, odeqs, nODE))
    {
        _s.parser.clearShortNames();
        return false;
    }
    return buildRows(root, odeqs, nODE) && _entry.loadProcSections(root);
}

template <typename T> bool XmlDAEReader<T>::readAhead(const xml::Node& root, const xml::Node& odeqs, td::UINT4 nODE)
{
    const xml::Node tfs = child(root, "TFs");
    const td::UINT4 nTF = countChildren(tfs, "Eq");
    if (nTF == 0 && nODE == 0)
        return _s.xmlError("Missing both ODE and TF equaitons in DAE model!");
    _records.tfs.reserve(nTF);
    _records.xmlTFs.assign(nTF, DAERecords::XmlTFText{});
    if (nTF > 0 && !XmlTFReader<T>(_s, _used, _records).loadTF(tfs))
        return false;
    _s.data().nDAEStates = nODE;
    const bool stages = _s.getNumberOfStages() > 0;
    return !stages || nODE == 0 || XmlDAESymbols<T>(_s, _used, _records).readXmlStateNames(odeqs, nODE);
}

template <typename T> bool XmlDAEReader<T>::declare(const xml::Node& root, const xml::Node& odeqs, td::UINT4 nODE)
{
    SolverData<T>& d = _s.data();
    XmlDAESymbols<T> symbols(_s, _used, _records);
    const bool stages = _s.getNumberOfStages() > 0;
    if (!XmlDeclarationReader<T>(_s, _used, &_records).loadVarsAndParams(child(root, "Vars"), child(root, "Params")) ||
        !(stages || nODE == 0 || symbols.markXmlStates(odeqs, nODE)) || !symbols.addXmlHistoryParams())
        return false;
    XmlNames<T>(_s).addStatusSymbols();
    TD_ASSERT(d.results.indexOfTParam >= 0 && d.results.indexOfDeltaTParam >= 0);
    if (!checkXmlDAECounts(countChildren(child(root, "NLEqs"), "Eq")))
        return false;
    d.stores.equations.reserve(d.results.nEquations);
    d.stores.jacobian.reserve(cEntriesPerEquation * d.results.nEquations);
    return true;
}

template <typename T> bool XmlDAEReader<T>::buildRows(const xml::Node& root, const xml::Node& odeqs, td::UINT4 nODE)
{
    SolverData<T>& d = _s.data();
    td::UINT4 row = 0, nonZeros = 0;
    d.currentSection = static_cast<td::BYTE>(ErrorSection::TFs);
    bool ok = true;
    XmlTFReader<T> tfs(_s, _used, _records);
    for (td::UINT4 i = 0; ok && i < _records.xmlTFs.size(); ++i)
        ok = tfs.expandXmlTF(i, row, nonZeros);
    _s.parser.clearShortNames();
    d.currentSection = 0;
    if (!ok || !expandXmlODEs(odeqs, nODE, row, nonZeros))
        return false;

    const xml::Node nlEqs = child(root, "NLEqs");
    const td::UINT4 nNL = countChildren(nlEqs, "Eq");
    d.currentSection = static_cast<td::BYTE>(ErrorSection::NLEqs);
    if (!XmlEquationReader<T>(_s, _used).loadEquations(child(nlEqs, "Eq"), nNL, row, nonZeros, cNLEquation))
        return false;
    TD_ASSERT(row + nNL == d.results.nEquations);
    d.currentSection = 0;
    return true;
}

template class XmlDAEReader<double>;
template class XmlDAEReader<std::complex<double>>;
} // namespace sl
