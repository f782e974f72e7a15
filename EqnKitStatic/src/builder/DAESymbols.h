// The symbols a DAE model of the text road adds to its declared ones: per ODE state its
// stage variables and its history parameter; per transfer function its states, each followed
// by its stages, their history parameters and the division variable; and the variable
// records that tie them together.
#pragma once

#include <complex>

#include <td/String.h>
#include <td/Types.h>

#include "BuildState.h"

namespace sl
{
template <typename T> class DAESymbols
{
public:
    explicit DAESymbols(BuildState<T>& state) : _s(state) {}

    // The symbols the DAE build adds to the declared ones.
    void countDAESymbols(td::UINT4& nVars, td::UINT4& nParams);
    // Names, kinds and records of the generated symbols after nDeclaredVars variables
    // and nDeclaredParams parameters; false after a key.
    bool declareDAESymbols(td::UINT4 nDeclaredVars, td::UINT4 nDeclaredParams);

private:
    // A generated symbol at index; false after a key when the name is taken.
    bool addGeneratedSymbol(const td::String& name, td::UINT4 index, const Place& at);

    BuildState<T>& _s;
};

extern template class DAESymbols<double>;
extern template class DAESymbols<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using DAESymbols = sl::DAESymbols<double>;
}

namespace slCmplx
{
using DAESymbols = sl::DAESymbols<std::complex<double>>;
}
