// The names an XML model document declares and the build generates: registered as the next
// symbols (without conjugate partners), refused when the language reads them otherwise or
// when a generated one is taken, and the solver-status symbols after them.
#pragma once

#include <complex>

#include <td/String.h>
#include <td/Types.h>
#include <xml/Node.h>

#include "BuildState.h"

namespace sl
{
template <typename T> class XmlNames
{
public:
    using Tree = ExpressionTree<T>;

    explicit XmlNames(BuildState<T>& state) : _s(state) {}

    // Registers name as the next symbol, without a conjugate partner.
    void addPlainName(const td::String& name);
    // The same for a generated name; false after an entry when it is a symbol already.
    bool addGeneratedName(const td::String& name);
    // The ten solver-status symbols after the variables and parameters.
    void addStatusSymbols();
    // A declared name (item number item of its section, cNoItem for none) that the
    // language reads otherwise: a reserved word, and for a name that expressions read (a
    // symbol or a generator) also a function, constant, truth or logical word. False after
    // an entry naming it.
    bool checkXmlName(const char* name, td::UINT4 item, bool inExpressions) const;
    // base, suffix and k > 0, cut to 47 characters.
    static td::String generatedName(const td::String& base, const char* suffix, int k = 0);

private:
    BuildState<T>& _s;
};

extern template class XmlNames<double>;
extern template class XmlNames<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using XmlNames = sl::XmlNames<double>;
}

namespace slCmplx
{
using XmlNames = sl::XmlNames<std::complex<double>>;
}
