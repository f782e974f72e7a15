#include "XmlDAEReader.h"

#include <algorithm>
#include <cstring>
#include <string>

#include <sc/MessageKeys.h>

#include "DAERows.h"
#include "JacobianBuilder.h"
#include "SolverData.h"
#include "XmlAssignmentReader.h"
#include "XmlBuilder.h"
#include "XmlChildModels.h"
#include "XmlDAESymbols.h"
#include "XmlDeclarationReader.h"
#include "XmlEquationReader.h"
#include "XmlGeneratorReader.h"
#include "XmlLimitReader.h"
#include "XmlNames.h"
#include "XmlNodes.h"
#include "XmlODEReader.h"
#include "XmlStatisticsReader.h"
#include "XmlTFReader.h"

namespace sl
{
using namespace xmlnodes;

namespace
{
constexpr td::BYTE cODEState = 3;
constexpr td::BYTE cTFState = 4;
constexpr td::BYTE cTFAuxiliary = 2;

// A copy of [b, e) without the blanks at both ends.
td::String trimmed(const char* b, const char* e)
{
    b = skipBlanks(b);
    while (e > b && isBlank(e[-1]))
        --e;
    return b < e ? td::String(b, static_cast<std::size_t>(e - b)) : td::String();
}
} // namespace

template <typename T> bool XmlDAEReader<T>::checkXmlDAECounts(td::UINT4 nNL)
{
    const SolverData<T>& d = *_s.pData;
    const td::UINT2 s = _s.getNumberOfStages();
    td::UINT4 n = d.nDAEStates * (s + 1u) + nNL;
    for (std::size_t i = 0; i < _s.dae.tfs.size(); ++i)
    {
        const TransferFunction& tf = _s.dae.tfs[i].tf;
        n += tf.stateCount() * (s + 1u) + (tf.equationCount() - tf.stateCount());
    }
    _s.nEquations = n;
    return n == _s.nVars() || _s.xmlError("Number of unknows and number of equations do not match");
}

template <typename T>
bool XmlDAEReader<T>::expandXmlODEs(const xml::Node& odeqs, td::UINT4 nODE, td::UINT4& row, td::UINT4& nonZeros)
{
    SolverData<T>& d = *_s.pData;
    d.currentSection = static_cast<td::BYTE>(ErrorSection::ODEqs);
    Tree tree;
    xml::Node eq = child(odeqs, "Eq");
    bool ok = true;
    for (td::UINT4 i = 0; ok && i < nODE; ++i, eq.nextSameName())
    {
        tree.reset(d.treeOption != 0);
        typename Tree::Node* pIntegral = nullptr;
        const td::INT4 state = XmlODEReader<T>(_s).checkODETerm(eq, tree, pIntegral, i, false);
        typename Tree::Node* rows[4] = {};
        td::UINT4 nRows = 0;
        ok = state >= 0 && DAERows<T>(_s).discretize(tree, pIntegral, static_cast<td::UINT4>(state), i, rows, nRows);
        for (td::UINT4 k = 0; ok && k < nRows; ++k)
        {
            ok = DAERows<T>(_s).compileRow(rows[k], row++, nonZeros) ||
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
    SolverData<T>& d = *_s.pData;
    if (!XmlBuilder<T>(_s).checkModelHeader(root, "DAE") || !XmlBuilder<T>(_s).checkXmlSections(root, ModelKind::DAE))
        return false;
    d.dynamics = 2;
    XmlODEReader<T>(_s).loadIntegrationMethod(root);
    if (!XmlStatisticsReader<T>(_s).loadStats(root) || !XmlGeneratorReader<T>(_s).loadRndGens(root))
        return false;
    const xml::Node tfs = child(root, "TFs");
    const xml::Node odeqs = child(root, "ODEqs");
    const td::UINT4 nTF = countChildren(tfs, "Eq");
    const td::UINT4 nODE = countChildren(odeqs, "Eq");
    if (nTF == 0 && nODE == 0)
        return _s.xmlError("Missing both ODE and TF equaitons in DAE model!");
    _s.dae.tfs.reserve(nTF);
    _s.dae.xmlTFs.assign(nTF, DAERecords::XmlTFText{});
    if (nTF > 0 && !XmlTFReader<T>(_s).loadTF(tfs))
        return false;
    d.nDAEStates = nODE;
    const bool stages = _s.getNumberOfStages() > 0;
    if (stages && nODE > 0 && !XmlDAESymbols<T>(_s).readXmlStateNames(odeqs, nODE))
        return false;
    bool ok = XmlDeclarationReader<T>(_s).loadVarsAndParams(child(root, "Vars"), child(root, "Params"));
    ok = ok && (stages || nODE == 0 || XmlDAESymbols<T>(_s).markXmlStates(odeqs, nODE)) &&
         XmlDAESymbols<T>(_s).addXmlHistoryParams();
    if (!ok)
    {
        _s.parser.clearShortNames();
        return false;
    }
    XmlNames<T>(_s).addStatusSymbols();
    TD_ASSERT(d.results.indexOfTParam >= 0 && d.results.indexOfDeltaTParam >= 0);
    const xml::Node nlEqs = child(root, "NLEqs");
    const td::UINT4 nNL = countChildren(nlEqs, "Eq");
    if (!checkXmlDAECounts(nNL))
    {
        _s.parser.clearShortNames();
        return false;
    }
    d.stores.equations.reserve(_s.nEquations);
    d.stores.jacobian.reserve(5 * _s.nEquations);

    td::UINT4 row = 0, nonZeros = 0;
    d.currentSection = static_cast<td::BYTE>(ErrorSection::TFs);
    for (td::UINT4 i = 0; ok && i < nTF; ++i)
        ok = XmlTFReader<T>(_s).expandXmlTF(i, row, nonZeros);
    _s.parser.clearShortNames();
    d.currentSection = 0;
    if (!ok || !expandXmlODEs(odeqs, nODE, row, nonZeros))
        return false;

    d.currentSection = static_cast<td::BYTE>(ErrorSection::NLEqs);
    xml::Node eq = child(nlEqs, "Eq");
    for (td::UINT4 i = 0; i < nNL; ++i, eq.nextSameName())
    {
        if (!XmlEquationReader<T>(_s).loadEquation(eq, row++, nonZeros, cNLEquation))
        {
            d.itemLocationText(i, cCurrent);
            d.currentSection = 0;
            return false;
        }
    }
    TD_ASSERT(row == _s.nEquations);
    d.currentSection = 0;
    if (!XmlAssignmentReader<T>(_s).loadPreProc(root) || !XmlLimitReader<T>(_s).loadLimits(root) ||
        !XmlAssignmentReader<T>(_s).loadPostProc(root))
        return false;
    d.currentSection = static_cast<td::BYTE>(ErrorSection::Init);
    ok = XmlChildModels<T>(_s).loadInitModels(root);
    d.currentSection = 0;
    return ok;
}

template class XmlDAEReader<double>;
template class XmlDAEReader<std::complex<double>>;
} // namespace sl
