#include "XmlODEReader.h"

#include <cstring>

#include <sc/MessageKeys.h>

#include "XmlNodes.h"

namespace sl
{
using namespace xmlnodes;

template <typename T> bool XmlODEReader<T>::splitODEEquation(const xml::Node& eq, const char*& fx, td::String& name,
                                                             td::UINT4& equationSign, bool& integralForm)
{
    fx = attrib(eq, "fx");
    if (!fx)
        return _s.xmlError("Missing fx in ODE equation!");
    const char* sign = std::strchr(fx, '=');
    if (!sign || sign == fx)
        return _s.xmlError("Missing equation sign in ODE equation: @", fx);
    equationSign = static_cast<td::UINT4>(sign - fx);
    const char* b = skipBlanks(fx);
    const char* e = sign;
    while (e > b && isBlank(e[-1]))
        --e;
    if (e == b)
        return _s.xmlError("Missing state variable name in ODE equation: @", fx);
    if (static_cast<td::UINT4>(e - b) > cMaxODELeftSide)
        return _s.xmlError("Variable name in ODE equation too long. Eq=@", fx);
    integralForm = e[-1] != '\'';
    if (!integralForm)
    {
        --e;
        while (e > b && isBlank(e[-1]))
            --e;
        if (e == b)
            return _s.xmlError("Missing state variable name in ODE equation: @", fx);
    }
    name = td::String(b, static_cast<std::size_t>(e - b));
    return true;
}

template <typename T> const char* XmlODEReader<T>::checkODEEquation(const xml::Node& eq, const char*& fx,
                                                                    td::String& name, td::INT4& state,
                                                                    bool& integralForm)
{
    td::UINT4 sign = 0;
    if (!splitODEEquation(eq, fx, name, sign, integralForm))
        return nullptr;
    state = _s.parser.getSymbolIndex(name);
    SolverData<T>& d = _s.data();
    if (state < 0)
        return d.addError("Undeclared state variable:@, found in ODE equation:@", name, fx), nullptr;
    if (static_cast<td::UINT4>(state) >= _s.getNumVariables())
        return d.addError("State variable cannot be declared as a parameter! Variable name=@ in ODEeq=@", name, fx),
               nullptr;
    const char* rhs = skipBlanks(fx + sign + 1);
    if (!*rhs)
        return d.addError("Right hand side of ODE equation @ is empty", fx), nullptr;
    if (const td::UINT4 second = findAssignment(fx, sign + 1))
        return d.addError(sc::msg::txtSecondAssignment, second, fx), nullptr;
    return rhs;
}

template <typename T> td::INT4 XmlODEReader<T>::checkODETerm(const xml::Node& eq, Tree& tree,
                                                             typename Tree::Node*& pIntegral, td::UINT4 eqIndex,
                                                             bool recordState)
{
    SolverData<T>& d = _s.data();
    const ElementLine line(d.xmlLine, eq);
    _s.parser.clearTokens();
    _used.begin();
    tree.init(&d, nullptr, _s.getNumVariables());
    pIntegral = nullptr;
    const char* fx = nullptr;
    td::String name;
    td::INT4 state = -1;
    bool integral = false;
    const char* rhs = checkODEEquation(eq, fx, name, state, integral);
    if (!rhs)
        return -1;
    if (recordState && d.pODEList && eqIndex < d.pODEList->size())
        (*d.pODEList)[eqIndex] = state;
    if (!_s.parseXml(rhs, XmlPositions(static_cast<td::UINT4>(rhs - fx))))
        return _s.xmlError("Someting wrong in equation: @", fx), -1;
    const td::UINT4 nIntegrals = Tree::countFunctionTokens(_s.parser.getFirstToken(), TokenCodes::INTEGRAL);
    if (integral && nIntegrals == 0)
        return _s.xmlError("Missing ' or 'int' in ODE equation:@", fx), -1;
    if (integral && nIntegrals > 1)
        return _s.xmlError("More than one 'int' specified in ODE equation:@", fx), -1;
    if (!integral && nIntegrals > 0)
        return _s.xmlError("Cannot combine integrate with differentiate in a single ODE. Error in ODE eq:@", fx), -1;
    if (!tree.build(_s.parser.getFirstToken()))
        return _s.xmlExpressionError("Cannot make expression for eq: @", fx), -1;
    if (_s.xmlRefusesComparison(tree, fx))
        return -1;
    if (!integral)
        return state;
    typename Tree::Node* pInt = tree.findIntegralFn();
    if (!pInt)
        return _s.xmlError("The integration (int) function can only be multiplied or divided by time-invariant "
                           "variables. Error in eq:@",
                           fx),
               -1;
    if (!pInt->pLeftNode)
        return _s.xmlError("Empty integration function in ODE equation:@", fx), -1;
    if (!tree.isFreeOfVars(pInt, d.results.indexOfTParam))
        return _s.xmlError("Detected int (integrate) with time or state variables outside of 'int' function in ODE "
                           "equation:@",
                           fx),
               -1;
    if (recordState)
        tree.detachNode(pInt);
    else
        pIntegral = pInt;
    return state;
}

template <typename T> void XmlODEReader<T>::loadIntegrationMethod(const xml::Node& root)
{
    const char* method = attrib(root, "method");
    if (!method)
        return;
    td::BYTE& m = _s.data().results.IntegrationMethod;
    if (!std::strcmp(method, "Euler"))
        m = 0;
    else if (!std::strcmp(method, "RK2") || !std::strncmp(method, "Trapez", 6))
        m = 1;
    else if (!std::strcmp(method, "RK4"))
        m = 2;
    else if (!std::strcmp(method, "RK6"))
        m = 3;
}

template class XmlODEReader<double>;
template class XmlODEReader<std::complex<double>>;
} // namespace sl
