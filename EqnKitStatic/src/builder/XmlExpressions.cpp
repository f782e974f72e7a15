#include "XmlExpressions.h"

#include <string>

#include <mu/Number.h>
#include <sc/MessageKeys.h>

#include "XmlNodes.h"

namespace sl
{
using namespace xmlnodes;

namespace
{
td::UINT4 offsetIn(const char* text, const char* p) { return static_cast<td::UINT4>(p - text); }

// The residual form of "lhs = rhs" with its equation sign at sign: lhs - (rhs), lhs - c or
// lhs + c for a number, lhs for nothing or zero after the '='; lhs ends with its last
// lexeme. No token of rhs can join the last one of lhs (an operator there is refused
// before). at tells where its pieces stand in text: the operator put in stands at the '=',
// the closing bracket at the last byte of the text that is not blank.
template <typename T>
std::string residualText(const char* text, const typename RPNParser<T>::EquationSign& sign, XmlPositions& at)
{
    const char* eq = text + sign.offset;
    const char* b = skipBlanks(text);
    const std::string lhs(b, static_cast<std::size_t>(text + sign.lhsEnd - b));
    at = XmlPositions(offsetIn(text, b));
    const char* rhs = skipBlanks(eq + 1);
    if (!*rhs)
        return lhs;
    const td::UINT4 n = static_cast<td::UINT4>(lhs.size());
    at.inserted(n, offsetIn(text, eq));
    switch (td::classifyNumber(rhs))
    {
    case 2:
    case 4:
    {
        const char* digits = std::strchr(rhs, '-') + 1;
        at.copied(n + 1, offsetIn(text, digits));
        return lhs + "+" + digits;
    }
    case 3:
    case 5:
        if (mu::toDouble(rhs) == 0)
            return lhs;
        // The blank keeps the minus apart from the number.
        at.copied(n + 2, offsetIn(text, rhs));
        return lhs + "- " + rhs;
    default:
    {
        const std::size_t rhsLength = std::strlen(rhs);
        const char* last = rhs + rhsLength;
        while (last > rhs && isBlank(last[-1]))
            --last;
        at.copied(n + 2, offsetIn(text, rhs));
        at.inserted(n + 2 + static_cast<td::UINT4>(rhsLength), offsetIn(text, last - 1));
        // The bracket on a line of its own: a comment at the end of rhs would hide it.
        return lhs + "-(" + rhs + "\n)";
    }
    }
}
} // namespace

template <typename T>
bool XmlExpressions<T>::parseInto(const char* text, Tree& tree, const char* syntaxText, const char* treeText)
{
    return parseInto(text, text, tree, syntaxText, treeText);
}

template <typename T> bool XmlExpressions<T>::parseInto(const char* text, const char* shown, Tree& tree,
                                                        const char* syntaxText, const char* treeText,
                                                        const XmlPositions& at)
{
    if (!_s.parseXml(text, at))
        return _s.xmlError(syntaxText, shown);
    if (!tree.build(_s.parser.getFirstToken()))
        return _s.xmlExpressionError(treeText, shown);
    return true;
}

template <typename T> bool XmlExpressions<T>::makeEquation(const char* text, Tree& tree, bool isCondition)
{
    static constexpr const char* cSyntaxText = "Syntax error in equation: @";
    static constexpr const char* cTreeText = "Cannot make expression for: @";
    if (isCondition)
        return parseInto(text, tree, cSyntaxText, cTreeText);
    // The equation sign as a model text has it; without one the text is parsed as it stands.
    const typename RPNParser<T>::EquationSign sign = RPNParser<T>::findEquationSign(text);
    if (sign.afterOperator)
    {
        // Refused as in a model text, at the '='.
        const SolverData<T>& d = _s.data();
        d.clearHeldKey();
        d.reportKey(sc::msg::scOperatorAfterEq, d.xmlLine, sign.offset + 1);
        return _s.xmlExpressionError(cSyntaxText, text);
    }
    if (sign.found)
    {
        if (const td::UINT4 second = findAssignment(text, sign.offset + 1))
            return _s.xmlError(sc::msg::txtSecondAssignment, second, text);
    }
    XmlPositions at;
    const std::string residual = sign.found ? residualText<T>(text, sign, at) : std::string(text);
    if (!parseInto(residual.c_str(), text, tree, cSyntaxText, cTreeText, at))
        return false;
    // A comparison has no residual to solve for.
    return !_s.xmlRefusesComparison(tree, text);
}

template <typename T> bool XmlExpressions<T>::makeEqPartExpression(const char* text, Tree& tree)
{
    return parseInto(text, tree, "Syntax error in equation part: @", "Cannot make expression for equation part: @");
}

template <typename T> bool XmlExpressions<T>::makeEqExpression(Evaluator<T>* pEvaluator, const char* text)
{
    SolverData<T>& d = _s.data();
    Tree tree(&d, nullptr, _s.getNumVariables(), d.treeOption != 0);
    const bool ok = parseInto(text, tree, "Error in expression: @", "Cannot make expression for eq: @") &&
                    tree.createEvaluator(pEvaluator);
    tree.reset(d.treeOption != 0);
    return ok;
}

template <typename T> Evaluator<T>* XmlExpressions<T>::makeCondExpression(const char* text)
{
    Evaluator<T>* pRecord = _s.data().newEvaluator();
    return makeEqExpression(pRecord, text) ? pRecord : nullptr;
}

template class XmlExpressions<double>;
template class XmlExpressions<std::complex<double>>;
} // namespace sl
