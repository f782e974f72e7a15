#include "AssignmentText.h"

#include <cstring>

#include <sc/MessageKeys.h>

#include "BuildState.h"
#include "XmlNodes.h"

namespace sl
{
using xmlnodes::cNoItem;
using xmlnodes::isBlank;

template <typename T> td::INT4 AssignmentText<T>::findSymbol(const char* name, td::BYTE& isParent) const
{
    ISolverServices<T>* pSolver = _s.isBound() ? _s.data().pSolver : nullptr;
    ISolverServices<T>* pParent = pSolver ? pSolver->getParentSolver() : nullptr;
    if (!name)
        return -1;
    if (!pParent)
        isParent = 0;
    else if (std::strncmp(name, "base.", 5) == 0)
    {
        isParent = 1;
        return pParent->getSymbolIndex(name + 5);
    }
    return _s.parser.getSymbolIndex(name);
}

template <typename T> td::INT4 AssignmentText<T>::findSymbol(const char* name, td::BYTE& isParent,
                                                             td::BYTE& part) const requires ValueTraits<T>::isComplex
{
    part = 0;
    if (!name)
        return -1;
    ISolverServices<T>* pSolver = _s.isBound() ? _s.data().pSolver : nullptr;
    ISolverServices<T>* pParent = pSolver ? pSolver->getParentSolver() : nullptr;
    const char* rest = name;
    bool inParent = false;
    if (!pParent)
        isParent = 0;
    else if (std::strncmp(name, "base.", 5) == 0)
    {
        isParent = 1;
        inParent = true;
        rest += 5;
    }
    const char* dot = std::strchr(rest, '.');
    const td::String symbol = dot ? td::String(rest, static_cast<std::size_t>(dot - rest)) : td::String(rest);
    if (dot)
    {
        const char* partText = dot + 1;
        if (std::strcmp(partText, "real") == 0)
            part = 1;
        else if (std::strcmp(partText, "imag") == 0)
            part = 2;
        else
        {
            _s.data().addError("Unknown complex assignmet part @ (can be real or imag) in @", partText, name);
            return -1;
        }
    }
    return inParent ? pParent->getSymbolIndex(symbol.c_str()) : _s.parser.getSymbolIndex(symbol);
}

template <typename T>
char* AssignmentText<T>::splitAssignment(td::UINT4 itemNumber, char* fx, td::UINT4& exprStart, char& op) const
{
    if (!fx)
        return nullptr;
    std::size_t nameEnd = 0;
    const char* eq = std::strchr(fx, '=');
    const char* lt = std::strchr(fx, '<');
    // The first operator assigns; "s << a = b" has its "=" as a second one.
    td::UINT4 second = 0;
    if (eq && eq > fx)
    {
        const std::size_t p = static_cast<std::size_t>(eq - fx);
        exprStart = static_cast<td::UINT4>(p + 1);
        const char before = fx[p - 1];
        const bool compound = std::strchr("*+-/^", before) != nullptr;
        op = compound ? before : '=';
        nameEnd = compound ? p - 1 : p;
        const char* feed = std::strstr(fx, "<<");
        second =
            feed && feed < eq ? static_cast<td::UINT4>(compound ? p : p + 1) : xmlnodes::findAssignment(fx, exprStart);
    }
    else if (lt && lt > fx && lt[1] == '<')
    {
        op = '<';
        nameEnd = static_cast<std::size_t>(lt - fx);
        exprStart = static_cast<td::UINT4>(nameEnd + 2);
    }
    else
    {
        _s.data().addError("Missing missing '=' for numeric assignment eq or '<<' for stats assignment equation. Eq:@",
                           fx);
        splitError(itemNumber);
        return nullptr;
    }
    if (second != 0)
    {
        _s.data().addError(sc::msg::txtSecondAssignment, second, static_cast<const char*>(fx));
        splitError(itemNumber);
        return nullptr;
    }
    fx[nameEnd] = 0;
    char* pName = fx;
    while (isBlank(*pName))
        ++pName;
    for (std::size_t n = std::strlen(pName); n > 0 && isBlank(pName[n - 1]); --n)
        pName[n - 1] = 0;
    return pName;
}

template <typename T> void AssignmentText<T>::splitError(td::UINT4 itemNumber) const
{
    if (itemNumber == cNoItem)
        return;
    SolverData<T>& d = _s.data();
    d.itemLocationText(itemNumber, xmlnodes::cCurrent);
    d.currentSection = 0;
}

template <typename T>
td::INT4 AssignmentText<T>::resolveTarget(const char* name, td::BYTE& isParent, td::BYTE& part) const
{
    isParent = 0;
    part = 0;
    if constexpr (ValueTraits<T>::isComplex)
        return findSymbol(name, isParent, part);
    else
        return findSymbol(name, isParent);
}

template <typename T> void AssignmentText<T>::setRecordTarget(Evaluator<T>* pRecord, td::INT4 index, td::BYTE isParent,
                                                              td::BYTE part, char op) const
{
    using K = typename ValueTraits<T>::TargetKind;
    const td::UINT4 nVars = _s.getNumVariables();
    const bool variable = !isParent && static_cast<td::UINT4>(index) < nVars;
    const int symbol = isParent ? 2 : (variable ? 0 : 1);
    if (symbol == 1)
    {
        TD_ASSERT(static_cast<td::UINT4>(index) >= nVars);
        index -= static_cast<td::INT4>(nVars);
    }
    K kind;
    if constexpr (ValueTraits<T>::isComplex)
    {
        static constexpr K kinds[3][3] = {{K::Variable, K::VariableReal, K::VariableImag},
                                          {K::Parameter, K::ParameterReal, K::ParameterImag},
                                          {K::Parent, K::ParentReal, K::ParentImag}};
        kind = kinds[symbol][part < 3 ? part : 0];
    }
    else
    {
        static constexpr K kinds[3] = {K::Variable, K::Parameter, K::Parent};
        kind = kinds[symbol];
    }
    pRecord->setTarget(index, static_cast<td::BYTE>(kind), op);
}

template class AssignmentText<double>;
template class AssignmentText<std::complex<double>>;
} // namespace sl
