// The expression texts of an XML document compiled through the parser: an equation as its
// residual, a condition as it is, an equation part, and expressions compiled into records.
#pragma once

#include <complex>

#include <td/String.h>
#include <td/Types.h>
#include <xml/Node.h>

#include "BuildState.h"

namespace sl
{
template <typename T> class XmlExpressions
{
public:
    using Tree = ExpressionTree<T>;

    explicit XmlExpressions(BuildState<T>& state) : _s(state) {}

    // Equation text as its residual, or a condition as it is, into tree; an equation whose
    // top operation is a comparison is refused.
    bool makeEquation(const char* text, Tree& tree, bool isCondition);
    bool makeEqPartExpression(const char* text, Tree& tree);
    // An expression compiled into a new pool record, or into the given one.
    Evaluator<T>* makeCondExpression(const char* text);
    bool makeEqExpression(Evaluator<T>* pEvaluator, const char* text);
    // text parsed into tree; the entries name shown, whose bytes the text's stand at as at
    // says, and the tree's entry also the reason and its position in shown.
    bool parseInto(const char* text, Tree& tree, const char* syntaxText, const char* treeText);
    bool parseInto(const char* text, const char* shown, Tree& tree, const char* syntaxText, const char* treeText,
                   const XmlPositions& at = XmlPositions());

private:
    BuildState<T>& _s;
};

extern template class XmlExpressions<double>;
extern template class XmlExpressions<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using XmlExpressions = sl::XmlExpressions<double>;
}

namespace slCmplx
{
using XmlExpressions = sl::XmlExpressions<std::complex<double>>;
}
