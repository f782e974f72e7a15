#include "XmlAssignmentReader.h"

#include <string>

#include "AssignmentText.h"
#include "SolverStores.h"
#include "XmlEquationReader.h"
#include "XmlExpressions.h"
#include "XmlNodes.h"

namespace sl
{
using namespace xmlnodes;

template <typename T> bool XmlAssignmentReader<T>::loadPreProc(const xml::Node& root)
{
    const xml::Node eq = child(child(root, "PreProc"), "Eq");
    return eq.isEmpty() || loadAssignment(eq, false);
}

template <typename T> bool XmlAssignmentReader<T>::loadPostProc(const xml::Node& root)
{
    const xml::Node eq = child(child(root, "PostProc"), "Eq");
    return eq.isEmpty() || loadAssignment(eq, true);
}

template <typename T> bool XmlAssignmentReader<T>::loadAssignment(const xml::Node& firstEq, bool isPostProc)
{
    SolverData<T>& d = _s.data();
    const td::UINT4 n = count(firstEq);
    if (n == 0)
        return true;
    d.currentSection = static_cast<td::BYTE>(isPostProc ? ErrorSection::PostProc : ErrorSection::PreProc);
    EvaluatorVect<T>* pList = &d.stores.sections[isPostProc ? SolverStores<T>::PostProc : SolverStores<T>::PreProc];
    TD_ASSERT(pList);
    pList->reserve(n);
    xml::Node eq = firstEq;
    for (td::UINT4 i = 0; i < n; ++i, eq.nextSameName())
    {
        const td::UINT4 entries = d.pErrorLog ? d.pErrorLog->length() : 0;
        const bool ok = loadAssignmentEq(eq, i, *pList);
        _s.parser.clearTokens();
        _s.releaseTrees();
        if (ok)
            continue;
        // After the failing step's own entry (the split writes its location itself).
        if (d.currentSection != 0 && d.pErrorLog && d.pErrorLog->length() != entries)
            d.itemLocationText(i, cCurrent);
        d.currentSection = 0;
        return false;
    }
    d.currentSection = 0;
    return true;
}

template <typename T>
bool XmlAssignmentReader<T>::loadAssignmentEq(const xml::Node& eq, td::UINT4 i, EvaluatorVect<T>& list)
{
    SolverData<T>& d = _s.data();
    const ElementLine line(d.xmlLine, eq);
    _used.begin();
    if (const char* fx = attrib(eq, "fx"))
    {
        std::string text(fx);
        td::UINT4 exprStart = 0;
        char op = '=';
        const char* name = AssignmentText<T>(_s).splitAssignment(i, text.data(), exprStart, op);
        if (!name)
            return false;
        const char* expression = skipBlanks(text.data() + exprStart);
        if (op == '<')
        {
            Evaluator<T>* pRun = nullptr;
            td::UINT4 nParts = 0;
            const td::INT4 stat = makeStatsAssignmentPart(name, expression, pRun, nParts);
            if (stat < 0)
                return _s.xmlError("Canot parse stats assignment to stats object name=");
            Evaluator<T>* pRecord = d.newEvaluator();
            pRecord->setStatisticsUpdate(stat, pRun, nParts);
            list.add(pRecord);
            return true;
        }
        td::BYTE isParent = 0, part = 0;
        const td::INT4 index = AssignmentText<T>(_s).resolveTarget(name, isParent, part);
        if (index < 0)
            return _s.xmlError("Variable was not declared:@", name);
        _used.begin();
        // As it stands: the parser reads a leading minus as every other expression's (a
        // minus before a digit starts the number, so -2^2 is (-2)^2; another is 0 - ...).
        Tree tree(&d, nullptr, _s.getNumVariables(), d.treeOption != 0);
        Evaluator<T>* pRecord = nullptr;
        bool ok = XmlExpressions<T>(_s).parseInto(expression, tree, "Error in assignment part: @",
                                                  "Cannot make expression for assignment part: @");
        if (ok)
        {
            pRecord = d.newEvaluator();
            ok = tree.createEvaluator(pRecord);
        }
        tree.reset(d.treeOption != 0);
        if (!ok)
            return false;
        AssignmentText<T>(_s).setRecordTarget(pRecord, index, isParent, part, op);
        list.add(pRecord);
        return true;
    }
    if (!attrib(eq, "cond"))
        return _s.xmlError(
            "Empty Equation (missing fx and cond)! Assignment equation requires either fx or cond attribute!");
    Tree tree(&d, nullptr, _s.getNumVariables(), d.treeOption != 0);
    bool ok = XmlEquationReader<T>(_s, _used).loadCondEquation(eq, false, tree, true);
    Evaluator<T>* pRecord = ok ? d.newEvaluator() : nullptr;
    ok = ok && tree.createEvaluator(pRecord);
    tree.reset(d.treeOption != 0);
    if (ok)
        list.add(pRecord);
    return ok;
}

template <typename T> td::INT4 XmlAssignmentReader<T>::makeStatsAssignmentPart(const char* statsName, const char* text,
                                                                               Evaluator<T>*& pRun, td::UINT4& n)
{
    SolverData<T>& d = _s.data();
    const td::INT4 stat = d.stores.statistics.find(statsName, static_cast<td::UINT4>(std::strlen(statsName)));
    if (stat < 0)
    {
        d.addError("Cannot find stats object with name=@", statsName);
        return -1;
    }
    std::vector<std::string> parts(1);
    for (const char* p = text; *p; ++p)
    {
        if (*p != '<')
        {
            parts.back() += *p;
            continue;
        }
        if (p[1] != '<')
        {
            d.addError("Badly formatted stats assignement part '@'", text);
            return -1;
        }
        parts.emplace_back();
        ++p;
    }
    n = static_cast<td::UINT4>(parts.size());
    pRun = d.newEvaluators(n);
    for (td::UINT4 k = 0; k < n; ++k)
    {
        const char* part = parts[k].c_str();
        _used.begin();
        Tree tree(&d, nullptr, _s.getNumVariables(), d.treeOption != 0);
        bool ok = XmlExpressions<T>(_s).parseInto(part, tree, "Error in Stats assignment part: @",
                                                  "Cannot make expression for stats assignment part: @");
        if (ok && !tree.createEvaluator(&pRun[k]))
            ok = _s.xmlError("Cannot create evaluator for stats assignment part: @", part);
        tree.reset(d.treeOption != 0);
        if (!ok)
            return -1;
    }
    return stat;
}

template class XmlAssignmentReader<double>;
template class XmlAssignmentReader<std::complex<double>>;
} // namespace sl
