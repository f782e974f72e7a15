#include "XmlEquationReader.h"

#include <string>

#include <mu/Number.h>

#include "AssignmentText.h"
#include "JacobianBuilder.h"
#include "SolverData.h"
#include "XmlExpressions.h"
#include "XmlNodes.h"

namespace sl
{
using namespace xmlnodes;

template <typename T>
bool XmlEquationReader<T>::loadEquation(const xml::Node& eq, td::UINT4 eqIndex, td::UINT4& nonZeroCount, char kind)
{
    SolverData<T>& d = _s.data();
    const ElementLine line(d.xmlLine, eq);
    _s.parser.clearTokens();
    _used.begin();
    Tree top(&d, nullptr, _s.getNumVariables(), d.treeOption != 0);
    const char* fx = attrib(eq, "fx");
    const char* cond = fx ? nullptr : attrib(eq, "cond");
    bool ok = false;
    if (fx)
        ok = XmlExpressions<T>(_s).makeEquation(fx, top, false) || _s.xmlError("Cannot parse equation: @", fx);
    else if (cond)
    {
        ok = loadCondEquation(eq, true, top, false) ||
             _s.xmlError("Cannot parse if-then-else equation with condition: @", cond);
        top.setType(Tree::Type::IfThenElse);
    }
    else
        _s.xmlError("Equation is neither condition (missing cond) nor normal (missing fx)");
    if (ok)
        d.clearHeldKey();
    if (ok && !_jacobian.makeJacobianEntry(top, eqIndex, nonZeroCount, kind))
    {
        // With the reason: for an equation at the operation a derivative fails at (of a
        // conditional one the operation stands in a branch's text, not in the one shown).
        ok = false;
        if (fx)
            _s.xmlExpressionError("Cannot create Jacobian entry for equation: @", fx);
        else
            _s.xmlExpressionError("Cannot create Jacobian entry for if-then-else equation with condition: @", cond,
                                  false);
    }
    // The equation's trees go back, also those of a failed condition.
    top.reset(d.treeOption != 0);
    _s.releaseTrees();
    return ok;
}

template <typename T> bool XmlEquationReader<T>::loadCondEquation(const xml::Node& condNode, bool elseRequired,
                                                                  Tree& tree, bool assignmentMode, td::UINT4 depth)
{
    const char* cond = attrib(condNode, "cond");
    TD_ASSERT(cond);
    const ElementLine line(_s.data().xmlLine, condNode);
    if (depth > cMaxXmlNesting)
        return _s.xmlError("Conditions nested deeper than @ levels: @", cMaxXmlNesting, cond);
    const xml::Node thenNode = child(condNode, "Then");
    if (thenNode.isEmpty())
        return _s.xmlError("Missing Then statement in conditional equation!");
    const xml::Node elseNode = child(condNode, "Else");
    if (elseNode.isEmpty() && elseRequired)
        return _s.xmlError("Missing Else statement in conditional equation!");
    Tree* pCondition = _s.newTree();
    if (!XmlExpressions<T>(_s).makeEquation(cond, *pCondition, true))
        return _s.xmlError("Syntax error in conditition statement: @", cond);
    tree.setType(Tree::Type::IfThenElse);
    Tree* pThen = nullptr;
    if (!loadBranch(thenNode, true, elseRequired, assignmentMode, depth, pThen))
        return false;
    tree.setConditional(pCondition, pThen, nullptr);
    if (elseNode.isEmpty())
        return true;
    Tree* pElse = nullptr;
    if (!loadBranch(elseNode, false, elseRequired, assignmentMode, depth, pElse))
        return false;
    tree.setConditional(pCondition, pThen, pElse);
    return true;
}

template <typename T> bool XmlEquationReader<T>::loadBranch(const xml::Node& branch, bool isThen, bool elseRequired,
                                                            bool assignmentMode, td::UINT4 depth, Tree*& pOut)
{
    const char* syntaxText = isThen ? "Syntax error in Then statement:@" : "Syntax error in Else statement:@";
    if (const char* fx = attrib(branch, "fx"))
    {
        const ElementLine line(_s.data().xmlLine, branch);
        pOut = _s.newTree();
        if (!assignmentMode)
            return XmlExpressions<T>(_s).makeEquation(fx, *pOut, false) || _s.xmlError(syntaxText, fx);
        std::string text(fx);
        td::UINT4 exprStart = 0;
        char op = '=';
        const char* name = AssignmentText<T>(_s).splitAssignment(cNoItem, text.data(), exprStart, op);
        if (!name)
            return false;
        if (op == '<')
            return _s.xmlError("A statistics feed cannot be a branch of a condition: @", fx);
        pOut->setTarget(-1, false, op);
        if (!XmlExpressions<T>(_s).makeEqPartExpression(skipBlanks(text.data() + exprStart), *pOut))
            return _s.xmlError(syntaxText, fx);
        td::BYTE isParent = 0, part = 0;
        const td::INT4 index = AssignmentText<T>(_s).resolveTarget(name, isParent, part);
        if (index < 0)
            return ValueTraits<T>::isComplex ? false : _s.xmlError("Unknown variable or parameter=@", name);
        pOut->setTarget(index, isParent != 0, op);
        pOut->setTargetPart(part);
        return true;
    }
    const xml::Node eq = child(branch, "Eq");
    if (eq.isEmpty())
        return _s.xmlError(isThen ? "Missing Then Equation for condition!" : "Missing Else Equation for condition!");
    // An assignment's branch names its target in its own fx.
    if (assignmentMode)
        return _s.xmlError("A conditional assignment's branch needs its own fx: @", attrib(eq, "fx"));
    pOut = _s.newTree();
    if (const char* fx = attrib(eq, "fx"))
    {
        const ElementLine line(_s.data().xmlLine, eq);
        return XmlExpressions<T>(_s).makeEquation(fx, *pOut, false);
    }
    if (!attrib(eq, "cond"))
        return false;
    return loadCondEquation(eq, elseRequired, *pOut, false, depth + 1);
}

template <typename T> bool XmlEquationReader<T>::loadEquations(xml::Node eq, td::UINT4 n, td::UINT4 firstRow,
                                                               td::UINT4& nonZeroCount, char kind)
{
    for (td::UINT4 i = 0; i < n; ++i, eq.nextSameName())
    {
        if (loadEquation(eq, firstRow + i, nonZeroCount, kind))
            continue;
        SolverData<T>& d = _s.data();
        d.itemLocationText(i, cCurrent);
        d.currentSection = 0;
        return false;
    }
    return true;
}

template class XmlEquationReader<double>;
template class XmlEquationReader<std::complex<double>>;
} // namespace sl
