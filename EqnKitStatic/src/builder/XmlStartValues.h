// Start values of an XML document's declarations: numbers and complex constants as written,
// constant expressions evaluated at once, expressions over symbols after every deferred
// value they read.
#pragma once

#include <complex>

#include <cnt/PushBackVector.h>
#include <td/String.h>
#include <td/Types.h>
#include <xml/Node.h>

#include "BuildState.h"

namespace sl
{
// A start value given as an expression over symbols, evaluated after the declarations.
struct XmlDeferredValue
{
    td::String text;
    td::UINT4 symbol = 0;
};
using XmlDeferredList = cnt::PushBackVector<XmlDeferredValue>;

template <typename T> class XmlStartValues
{
public:
    using Tree = ExpressionTree<T>;

    explicit XmlStartValues(BuildState<T>& state) : _s(state) {}

    // The val attribute of a Var or Param element for symbol: a number (a complex
    // constant), else an expression; none gives 0.
    bool readStartValue(const xml::Node& element, td::UINT4 symbol, XmlDeferredList& deferred, T& value);
    // Its value when the text reads no symbol; else deferred for symbol (out stays 0).
    bool makeInitialValueExpression(td::UINT4 symbol, const char* text, XmlDeferredList& list, T& out);
    // The deferred start values, each after those it reads.
    bool evaluateDeferred(const XmlDeferredList& deferred);

private:
    BuildState<T>& _s;
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
