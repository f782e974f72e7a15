#include "XmlNames.h"

#include <sc/MessageKeys.h>
#include <sc/priv/LanguageWords.h>

#include "XmlNodes.h"

namespace sl
{
using namespace xmlnodes;

template <typename T> void XmlNames<T>::addPlainName(const td::String& name)
{
    if constexpr (ValueTraits<T>::isComplex)
    {
        const bool partners = _s.parser.hasConjugatePartners();
        _s.parser.setConjugatePartners(false);
        _s.parser.addVariable(name);
        _s.parser.setConjugatePartners(partners);
    }
    else
        _s.parser.addVariable(name);
}

template <typename T> bool XmlNames<T>::addGeneratedName(const td::String& name)
{
    if (_s.parser.hasSymbol(name))
        return _s.xmlError("Generated symbol name @ is already declared!", name);
    addPlainName(name);
    return true;
}

template <typename T> void XmlNames<T>::addStatusSymbols()
{
    const td::UINT4 first = _s.symbolCount();
    for (td::UINT4 k = 0; k < ISolverServices<T>::cStatusSymbols; ++k)
    {
        _s.parser.addSymbolName(td::String(ISolverServices<T>::statusSymbolName(k)), first + k);
        _s.values().push(T(0));
    }
}

template <typename T> bool XmlNames<T>::checkXmlName(const char* name, td::UINT4 item, bool inExpressions) const
{
    // Expressions read functions, constants, truth and logical words before symbols and
    // generators; a statistic is fed by its name, which may be a function's (avg).
    if (inExpressions ? !sc::priv::isLanguageWord(name, ValueTraits<T>::isComplex) : !sc::priv::isReservedWord(name))
        return true;
    SolverData<T>& d = _s.data();
    d.addError(sc::msg::txtLanguageWordAsName, name);
    if (item != cNoItem)
        d.itemLocationText(item, cCurrent);
    return false;
}

namespace
{
// Generated names are cut to this many characters.
constexpr std::size_t cMaxGeneratedName = 47;
} // namespace

template <typename T> td::String XmlNames<T>::generatedName(const td::String& base, const char* suffix, int k)
{
    td::String name;
    if (k > 0)
        name.format("%s%s%d", base.c_str(), suffix, k);
    else
        name.format("%s%s", base.c_str(), suffix);
    if (name.length() > cMaxGeneratedName)
        name = td::String(name.c_str(), cMaxGeneratedName);
    return name;
}

template class XmlNames<double>;
template class XmlNames<std::complex<double>>;
} // namespace sl
