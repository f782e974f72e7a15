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
// comparison; null when there is none.
const char* equationSign(const char* text)
{
    const char* eq = std::strchr(text, '=');
    if (!eq || eq == text)
        return nullptr;
    const std::size_t p = static_cast<std::size_t>(eq - text);
    if (p >= 2 && std::strchr("<=>!", text[p - 1]))
        return nullptr;
    return eq;
}

// The residual form of "lhs = rhs": lhs - (rhs), lhs - c or lhs + c for a number, lhs
// for nothing or zero after the '='. Comparisons and texts without '=' stay as they are.
std::string residualText(const char* text)
{
    const char* eq = equationSign(text);
    if (!eq)
        return text;
    const char* b = skipBlanks(text);
    const char* e = eq;
    while (e > b && isBlank(e[-1]))
        --e;
    const std::string lhs(b, static_cast<std::size_t>(e - b));
    const char* rhs = skipBlanks(eq + 1);
    if (!*rhs)
        return lhs;
    switch (td::classifyNumber(rhs))
    {
    case 2:
    case 4: return lhs + "+" + (std::strchr(rhs, '-') + 1);
    case 3:
    case 5: return mu::toDouble(rhs) == 0 ? lhs : lhs + "-" + rhs;
    default: return lhs + "-(" + rhs + ")";
    }
}
} // namespace

template <typename T>
bool XmlExpressions<T>::parseInto(const char* text, Tree& tree, const char* syntaxText, const char* treeText)
{
    return parseInto(text, text, tree, syntaxText, treeText);
}

template <typename T> bool XmlExpressions<T>::parseInto(const char* text, const char* shown, Tree& tree,
                                                        const char* syntaxText, const char* treeText)
{
    if (!_s.parser.parse(text))
        return _s.xmlError(syntaxText, shown);
    if (!tree.build(_s.parser.getFirstToken()))
        return _s.xmlError(treeText, shown);
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
    const std::string residual = residualText(text);
    return parseInto(residual.c_str(), text, tree, "Syntax error in equation: @", "Cannot make expression for: @");
}

template <typename T> bool XmlExpressions<T>::makeEqPartExpression(const char* text, Tree& tree)
{
    return parseInto(text, tree, "Syntax error in equation part: @", "Cannot make expression for equation part: @");
}

template <typename T> bool XmlExpressions<T>::makeEqExpression(Evaluator<T>* pEvaluator, const char* text)
{
    SolverData<T>& d = _s.data();
    Tree tree(&d, nullptr, _s.nVars(), d.treeOption != 0);
    const bool ok = parseInto(text, tree, "Error in expression: @", "Cannot make expression for eq: @") &&
                    tree.createEvaluator(pEvaluator);
    tree.reset(d.treeOption != 0);
    return ok;
}

template <typename T> Evaluator<T>* XmlExpressions<T>::makeCondExpression(const char* text)
{
    Evaluator<T>* pRecord = _s.pData->newEvaluator();
    return makeEqExpression(pRecord, text) ? pRecord : nullptr;
}

template class XmlExpressions<double>;
template class XmlExpressions<std::complex<double>>;
} // namespace sl
