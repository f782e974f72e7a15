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
// The equation sign of "lhs = rhs": the first '=' unless it stands first or belongs to a
// comparison (<=, >=, !=, ==); null when there is none.
const char* equationSign(const char* text)
{
    const char* eq = std::strchr(text, '=');
    if (!eq || eq == text || eq[1] == '=')
        return nullptr;
    const std::size_t p = static_cast<std::size_t>(eq - text);
    if (p >= 2 && std::strchr("<=>!", text[p - 1]))
        return nullptr;
    return eq;
}

td::UINT4 offsetIn(const char* text, const char* p) { return static_cast<td::UINT4>(p - text); }

// The residual form of "lhs = rhs": lhs - (rhs), lhs - c or lhs + c for a number, lhs
// for nothing or zero after the '='. Comparisons and texts without '=' stay as they are.
// at tells where its pieces stand in text: the operator put in stands at the '=', the
// closing bracket at the last byte of the text that is not blank.
std::string residualText(const char* text, XmlPositions& at)
{
    at = XmlPositions();
    const char* eq = equationSign(text);
    if (!eq)
        return text;
    const char* b = skipBlanks(text);
    const char* e = eq;
    while (e > b && isBlank(e[-1]))
        --e;
    const std::string lhs(b, static_cast<std::size_t>(e - b));
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
        at.copied(n + 1, offsetIn(text, rhs));
        return lhs + "-" + rhs;
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
    if (isCondition)
        return parseInto(text, tree, "Syntax error in equation: @", "Cannot make expression for: @");
    if (const char* eq = equationSign(text))
    {
        if (const td::UINT4 second = findAssignment(text, static_cast<td::UINT4>(eq - text) + 1))
            return _s.xmlError(sc::msg::txtSecondAssignment, second, text);
    }
    XmlPositions at;
    const std::string residual = residualText(text, at);
    if (!parseInto(residual.c_str(), text, tree, "Syntax error in equation: @", "Cannot make expression for: @", at))
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
