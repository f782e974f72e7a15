// The symbols a DAE model of the text road adds to its declared ones: per ODE state its
// stage variables and its history parameter; per transfer function its states, each followed
// by its stages, their history parameters and the division variable; and the variable
// records that tie them together.
#pragma once

#include <complex>

#include <td/String.h>
#include <td/Types.h>

#include "BuildState.h"
#include "DAERecords.h"

namespace sl
{
template <typename T> class DAESymbols
{
public:
    // The states and transfer functions of records, which the declarations complete.
    DAESymbols(BuildState<T>& state, DAERecords& records) : _s(state), _records(records) {}

    // The symbols the DAE build adds to the declared ones.
    void countDAESymbols(td::UINT4& nVars, td::UINT4& nParams);
    // Names, kinds and records of the generated symbols after nDeclaredVars variables
    // and nDeclaredParams parameters; false after a key.
    bool declareDAESymbols(td::UINT4 nDeclaredVars, td::UINT4 nDeclaredParams);

private:
    // The states of a transfer function, each followed by its stages and history
    // parameter, and its division variable.
    bool declareTFSymbols(TFStatement& stmt);
    // A state's stage variables from the next variable on, and its history parameter.
    bool addStagesAndHistory(const td::String& state, td::UINT4 index, const Place& line);
    // A generated symbol at index; false after a key when the name is taken.
    bool addGeneratedSymbol(const td::String& name, td::UINT4 index, const Place& at);

    BuildState<T>& _s;
    DAERecords& _records;
    // The next variable and parameter of the generated symbols, and their names.
    td::UINT4 _var = 0;
    td::UINT4 _param = 0;
    td::String _name;
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
