// Start values of an XML document's declarations: numbers and complex constants as written,
// constant expressions evaluated at once, expressions over symbols after every deferred
// value they read.
#pragma once

#include <complex>
#include <vector>

#include <cnt/PushBackVector.h>
#include <td/String.h>
#include <td/Types.h>
#include <xml/Node.h>

#include "BuildState.h"
#include "UsedVariables.h"

namespace sl
{
// A start value given as an expression over symbols, evaluated after the declarations.
struct XmlDeferredValue
{
    td::String text;
    td::UINT4 symbol = 0;
    // The line of the element that gives it (0: none).
    td::UINT4 line = 0;
};
using XmlDeferredList = cnt::PushBackVector<XmlDeferredValue>;

template <typename T> class XmlStartValues
{
public:
    using Tree = ExpressionTree<T>;

    // Start values are read with collection off.
    XmlStartValues(BuildState<T>& state, UsedVariables<T>& used) : _s(state), _used(used) {}

    // The val attribute of a Var or Param element for symbol: a number (a complex
    // constant), else an expression; none gives 0.
    bool readStartValue(const xml::Node& element, td::UINT4 symbol, XmlDeferredList& deferred, T& value);
    // Its value when the text reads no symbol; else deferred for symbol (out stays 0).
    bool makeInitialValueExpression(td::UINT4 symbol, const char* text, XmlDeferredList& list, T& out);
    // The deferred start values, each after those it reads.
    bool evaluateDeferred(const XmlDeferredList& deferred);

private:
    using ValueArray = typename BuildState<T>::ValueArray;

    // What each deferred value reads of the others, in the order given; false after an
    // entry for one that reads a generator or a statistic or cannot be read.
    bool readDependencies(const XmlDeferredList& deferred, const std::vector<td::UINT4>& order,
                          std::vector<std::vector<td::UINT4>>& reads);
    // Each value after those it reads; false after an entry for one that reads itself.
    bool evaluateInOrder(const XmlDeferredList& deferred, const std::vector<td::UINT4>& order,
                         const std::vector<std::vector<td::UINT4>>& reads);
    bool evaluateEntry(const XmlDeferredValue& e);
    // The value of a symbol, of a variable's conjugate partner and of a state's stages.
    void setValue(td::UINT4 symbol, const T& value);
    // An entry with the text of e, at its item; false for chaining. withReason: the entry
    // stands at e's line and names the reason its expression was refused.
    bool entryError(const XmlDeferredValue& e, const char* text, bool withReason = false);

    BuildState<T>& _s;
    UsedVariables<T>& _used;
};

extern template class XmlStartValues<double>;
extern template class XmlStartValues<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using XmlStartValues = sl::XmlStartValues<double>;
}

namespace slCmplx
{
using XmlStartValues = sl::XmlStartValues<std::complex<double>>;
}
