#include "XmlLimitReader.h"

#include <string>

#include "AssignmentText.h"
#include "LimitGroups.h"
#include "SolverData.h"
#include "XmlExpressions.h"
#include "XmlNodes.h"

namespace sl
{
using namespace xmlnodes;

template <typename T> bool XmlLimitReader<T>::loadLimits(const xml::Node& root)
{
    SolverData<T>& d = _s.data();
    const xml::Node limits = child(root, "Limits");
    if (limits.isEmpty())
        return true;
    d.currentSection = static_cast<td::BYTE>(ErrorSection::Limits);
    const ElementLine limitsLine(d.xmlLine, limits);
    xml::Node group = child(limits, "Group");
    if (group.isEmpty())
    {
        _s.xmlError("Limits have to be grouped! Missing Group node in Limits section!");
        d.currentSection = 0;
        return false;
    }
    TD_ASSERT(d.pEvaluatorPool);
    LimitGroups<T>& groups = d.stores.limitGroups;
    const td::UINT4 nGroups = count(group);
    groups.clean();
    groups.reserve(nGroups);
    for (td::UINT4 g = 0; g < nGroups; ++g, group.nextSameName())
    {
        const ElementLine groupLine(d.xmlLine, group);
        bool enabled = true;
        group.getBoolAttrib("enabled", enabled);
        xml::Node eq = child(group, "Eq");
        const td::UINT4 n = count(eq);
        Evaluator<T>* pFirst = sl::allocLimitGroup(groups, *d.pEvaluatorPool, g, static_cast<td::INT4>(n), enabled);
        for (td::UINT4 j = 0; j < n; ++j, eq.nextSameName())
        {
            const bool ok = loadLimitEquation(eq, &pFirst[j]);
            _s.parser.clearTokens();
            _s.releaseTrees();
            if (!ok)
            {
                d.groupItemLocationText(g, j, cCurrent);
                d.currentSection = 0;
                return false;
            }
        }
    }
    d.currentSection = 0;
    return true;
}

template <typename T>
bool XmlLimitReader<T>::loadLimitEquation(const xml::Node& node, Evaluator<T>* pRecord, td::UINT4 depth)
{
    const ElementLine line(_s.data().xmlLine, node);
    const char* cond = attrib(node, "cond");
    if (!cond)
        return loadLimitAssignment(node, pRecord);
    if (depth > cMaxXmlNesting)
        return _s.xmlError("Conditions nested deeper than @ levels: @", cMaxXmlNesting, cond);
    const xml::Node thenNode = child(node, "Then");
    if (thenNode.isEmpty())
        return _s.xmlError("Missing Then in condition eq: @", cond);
    const Evaluator<T>* pCondition = XmlExpressions<T>(_s).makeCondExpression(cond);
    if (!pCondition)
        return _s.xmlError("Cannot create evaluator for condition eq: @", cond);
    Evaluator<T>* pThen = nullptr;
    td::UINT4 nThen = 0;
    if (!loadLimitBranch(thenNode, cond, true, pThen, nThen, depth))
        return false;
    pRecord->setIfThenElse(pCondition, pThen, nullptr);
    pRecord->setBranchCounts(nThen, 0);
    const xml::Node elseNode = child(node, "Else");
    if (elseNode.isEmpty())
        return true;
    Evaluator<T>* pElse = nullptr;
    td::UINT4 nElse = 0;
    if (!loadLimitBranch(elseNode, cond, false, pElse, nElse, depth))
        return false;
    pRecord->setIfThenElse(pCondition, pThen, pElse);
    pRecord->setBranchCounts(nThen, nElse);
    return true;
}

template <typename T> bool XmlLimitReader<T>::loadLimitBranch(const xml::Node& branch, const char* cond, bool isThen,
                                                              Evaluator<T>*& pFirst, td::UINT4& n, td::UINT4 depth)
{
    SolverData<T>& d = _s.data();
    td::BYTE signal = cNoSignal;
    if (const char* word = attrib(branch, "signal"))
    {
        signal = sl::getSignalCode(word);
        if (signal == cNoSignal)
        {
            if (isThen)
                d.addError("Wrong signal for Then equations for condition: @. Signal=@", cond, word);
            else
                d.addError("Wrong signal for Then equations for condition: @. Signal=", cond);
            return false;
        }
    }
    const xml::Node eq = child(branch, "Eq");
    if (attrib(branch, "fx"))
    {
        if (!eq.isEmpty())
            return _s.xmlError(
                isThen ? "If-then equation for condition: @ has specified fx in Then and Eq as child of Then!!"
                       : "If-then equation for condition: @ has specified fx in Else and Eq as child of Else!!",
                cond);
        n = 1;
        pFirst = d.newEvaluator();
        if (!loadLimitAssignment(branch, pFirst))
            return false;
    }
    else
    {
        if (eq.isEmpty())
            return _s.xmlError(
                isThen ? "Missing Then equations for condition: @" : "Missing Else equations for condition: @", cond);
        n = count(eq);
        pFirst = d.newEvaluators(n);
        xml::Node e = eq;
        for (td::UINT4 j = 0; j < n; ++j, e.nextSameName())
        {
            if (!loadLimitEquation(e, &pFirst[j], depth + 1))
                return false;
        }
    }
    if (signal != cNoSignal)
        pFirst[0].setSignal(signal);
    return true;
}

template <typename T> bool XmlLimitReader<T>::loadLimitAssignment(const xml::Node& node, Evaluator<T>* pRecord)
{
    const ElementLine line(_s.data().xmlLine, node);
    const char* fx = attrib(node, "fx");
    if (!fx)
        return _s.xmlError("Empty Equation (fx) in assignment part");
    std::string text(fx);
    td::UINT4 exprStart = 0;
    char op = '=';
    const char* name = AssignmentText<T>(_s).splitAssignment(cNoItem, text.data(), exprStart, op);
    if (!name)
        return false;
    const char* expression = skipBlanks(text.data() + exprStart);
    if (op == '<')
        return _s.xmlError("A statistics feed cannot be a limit: @", fx);
    td::BYTE isParent = 0, part = 0;
    const td::INT4 index = AssignmentText<T>(_s).resolveTarget(name, isParent, part);
    if (index < 0)
    {
        _s.data().addError("Assignment parameter name wasn't declared:@, fx=@", name, expression);
        return false;
    }
    _used.begin();
    if (!XmlExpressions<T>(_s).makeEqExpression(pRecord, expression))
        return _s.xmlError("Cannot init assignment evaluator for fx=@", expression);
    AssignmentText<T>(_s).setRecordTarget(pRecord, index, isParent, part, op);
    return true;
}

template class XmlLimitReader<double>;
template class XmlLimitReader<std::complex<double>>;
} // namespace sl
