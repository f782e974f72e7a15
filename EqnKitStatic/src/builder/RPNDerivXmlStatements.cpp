// The XML road's statements: the PreProc and PostProc assignments (plain, statistics
// feeds, conditional), and the limit groups with their signalled branches.
#include <string>

#include "RPNDerivParser.h"
#include "XmlNodes.h"

namespace sl
{
using namespace xmlnodes;

namespace
{
constexpr td::BYTE cCurrent = 16;
constexpr td::BYTE cNoSignal = 6;
} // namespace

template <typename T> td::INT4 RPNDerivParser<T>::resolveTarget(const char* name, td::BYTE& isParent, td::BYTE& part)
{
    isParent = 0;
    part = 0;
    if constexpr (Traits::isComplex)
        return findSymbol(name, isParent, part);
    else
        return findSymbol(name, isParent);
}

template <typename T> void RPNDerivParser<T>::setRecordTarget(Evaluator<T>* pRecord, td::INT4 index, td::BYTE isParent,
                                                              td::BYTE part, char op) const
{
    using K = typename Traits::TargetKind;
    const bool variable = !isParent && static_cast<td::UINT4>(index) < this->_nVars;
    const int symbol = isParent ? 2 : (variable ? 0 : 1);
    if (symbol == 1)
    {
        TD_ASSERT(static_cast<td::UINT4>(index) >= this->_nVars);
        index -= static_cast<td::INT4>(this->_nVars);
    }
    K kind;
    if constexpr (Traits::isComplex)
    {
        static constexpr K kinds[3][3] = {{K::Variable, K::VariableReal, K::VariableImag},
                                          {K::Parameter, K::ParameterReal, K::ParameterImag},
                                          {K::Parent, K::ParentReal, K::ParentImag}};
        kind = kinds[symbol][part < 3 ? part : 0];
    }
    else
    {
        static constexpr K kinds[3] = {K::Variable, K::Parameter, K::Parent};
        kind = kinds[symbol];
    }
    pRecord->setTarget(index, static_cast<td::BYTE>(kind), op);
}

template <typename T> bool RPNDerivParser<T>::loadPreProc(const xml::Node& root)
{
    const xml::Node eq = child(child(root, "PreProc"), "Eq");
    return eq.isEmpty() || loadAssignment(eq, false);
}

template <typename T> bool RPNDerivParser<T>::loadPostProc(const xml::Node& root)
{
    const xml::Node eq = child(child(root, "PostProc"), "Eq");
    return eq.isEmpty() || loadAssignment(eq, true);
}

template <typename T> bool RPNDerivParser<T>::loadAssignment(const xml::Node& firstEq, bool isPostProc)
{
    SolverData<T>& d = *this->_pSolverData;
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
        this->clearTokens();
        releaseTrees();
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

template <typename T> bool RPNDerivParser<T>::loadAssignmentEq(const xml::Node& eq, td::UINT4 i, EvaluatorVect<T>& list)
{
    SolverData<T>& d = *this->_pSolverData;
    beginUsedVars();
    if (const char* fx = attrib(eq, "fx"))
    {
        std::string text(fx);
        td::UINT4 exprStart = 0;
        char op = '=';
        const char* name = splitAssignment(i, text.data(), exprStart, op);
        if (!name)
            return false;
        const char* expression = skipBlanks(text.data() + exprStart);
        if (op == '<')
        {
            Evaluator<T>* pRun = nullptr;
            td::UINT4 nParts = 0;
            const td::INT4 stat = makeStatsAssignmentPart(name, expression, pRun, nParts);
            if (stat < 0)
                return xmlError("Canot parse stats assignment to stats object name=");
            Evaluator<T>* pRecord = d.newEvaluator();
            pRecord->setStatisticsUpdate(stat, pRun, nParts);
            list.add(pRecord);
            return true;
        }
        td::BYTE isParent = 0, part = 0;
        const td::INT4 index = resolveTarget(name, isParent, part);
        if (index < 0)
            return xmlError("Variable was not declared:@", name);
        beginUsedVars();
        std::string parsed(*expression == '-' ? "0" : "");
        parsed += expression;
        Tree tree(&d, nullptr, this->_nVars, d.treeOption != 0);
        Evaluator<T>* pRecord = nullptr;
        bool ok = parseInto(parsed.c_str(), expression, tree, "Error in assignment part: @",
                            "Cannot make expression for assignment part: @");
        if (ok)
        {
            pRecord = d.newEvaluator();
            ok = tree.createEvaluator(pRecord);
        }
        tree.reset(d.treeOption != 0);
        if (!ok)
            return false;
        setRecordTarget(pRecord, index, isParent, part, op);
        list.add(pRecord);
        return true;
    }
    if (!attrib(eq, "cond"))
        return xmlError(
            "Empty Equation (missing fx and cond)! Assignment equation requires either fx or cond attribute!");
    Tree tree(&d, nullptr, this->_nVars, d.treeOption != 0);
    bool ok = loadCondEquation(eq, false, tree, true);
    Evaluator<T>* pRecord = ok ? d.newEvaluator() : nullptr;
    ok = ok && tree.createEvaluator(pRecord);
    tree.reset(d.treeOption != 0);
    if (ok)
        list.add(pRecord);
    return ok;
}

template <typename T> td::INT4 RPNDerivParser<T>::makeStatsAssignmentPart(const char* statsName, const char* text,
                                                                          Evaluator<T>*& pRun, td::UINT4& n)
{
    SolverData<T>& d = *this->_pSolverData;
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
        beginUsedVars();
        Tree tree(&d, nullptr, this->_nVars, d.treeOption != 0);
        bool ok = parseInto(part, tree, "Error in Stats assignment part: @",
                            "Cannot make expression for stats assignment part: @");
        if (ok && !tree.createEvaluator(&pRun[k]))
            ok = xmlError("Cannot create evaluator for stats assignment part: @", part);
        tree.reset(d.treeOption != 0);
        if (!ok)
            return -1;
    }
    return stat;
}

// ---- limits ----

template <typename T> bool RPNDerivParser<T>::loadLimits(const xml::Node& root)
{
    SolverData<T>& d = *this->_pSolverData;
    const xml::Node limits = child(root, "Limits");
    if (limits.isEmpty())
        return true;
    d.currentSection = static_cast<td::BYTE>(ErrorSection::Limits);
    xml::Node group = child(limits, "Group");
    if (group.isEmpty())
    {
        xmlError("Limits have to be grouped! Missing Group node in Limits section!");
        d.currentSection = 0;
        return false;
    }
    TD_ASSERT(d.pEvaluatorPool);
    Groups& groups = d.stores.limitGroups;
    const td::UINT4 nGroups = count(group);
    groups.clean();
    groups.reserve(nGroups);
    for (td::UINT4 g = 0; g < nGroups; ++g, group.nextSameName())
    {
        bool enabled = true;
        group.getBoolAttrib("enabled", enabled);
        xml::Node eq = child(group, "Eq");
        const td::UINT4 n = count(eq);
        Evaluator<T>* pFirst = allocLimitGroup(groups, *d.pEvaluatorPool, g, static_cast<td::INT4>(n), enabled);
        for (td::UINT4 j = 0; j < n; ++j, eq.nextSameName())
        {
            const bool ok = loadLimitEquation(eq, &pFirst[j]);
            this->clearTokens();
            releaseTrees();
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
bool RPNDerivParser<T>::loadLimitEquation(const xml::Node& node, Evaluator<T>* pRecord, td::UINT4 depth)
{
    const char* cond = attrib(node, "cond");
    if (!cond)
        return loadLimitAssignment(node, pRecord);
    if (depth > cMaxXmlNesting)
        return xmlError("Conditions nested deeper than @ levels: @", cMaxXmlNesting, cond);
    const xml::Node thenNode = child(node, "Then");
    if (thenNode.isEmpty())
        return xmlError("Missing Then in condition eq: @", cond);
    const Evaluator<T>* pCondition = makeCondExpression(cond);
    if (!pCondition)
        return xmlError("Cannot create evaluator for condition eq: @", cond);
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

template <typename T> bool RPNDerivParser<T>::loadLimitBranch(const xml::Node& branch, const char* cond, bool isThen,
                                                              Evaluator<T>*& pFirst, td::UINT4& n, td::UINT4 depth)
{
    SolverData<T>& d = *this->_pSolverData;
    td::BYTE signal = cNoSignal;
    if (const char* word = attrib(branch, "signal"))
    {
        signal = getSignalCode(word);
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
            return xmlError(
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
            return xmlError(
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

template <typename T> bool RPNDerivParser<T>::loadLimitAssignment(const xml::Node& node, Evaluator<T>* pRecord)
{
    const char* fx = attrib(node, "fx");
    if (!fx)
        return xmlError("Empty Equation (fx) in assignment part");
    std::string text(fx);
    td::UINT4 exprStart = 0;
    char op = '=';
    const char* name = splitAssignment(cNoItem, text.data(), exprStart, op);
    if (!name)
        return false;
    const char* expression = skipBlanks(text.data() + exprStart);
    if (op == '<')
        return xmlError("A statistics feed cannot be a limit: @", fx);
    td::BYTE isParent = 0, part = 0;
    const td::INT4 index = resolveTarget(name, isParent, part);
    if (index < 0)
    {
        this->_pSolverData->addError("Assignment parameter name wasn't declared:@, fx=@", name, expression);
        return false;
    }
    beginUsedVars();
    if (!makeEqExpression(pRecord, expression))
        return xmlError("Cannot init assignment evaluator for fx=@", expression);
    setRecordTarget(pRecord, index, isParent, part, op);
    return true;
}

template class RPNDerivParser<double>;
template class RPNDerivParser<std::complex<double>>;
} // namespace sl
