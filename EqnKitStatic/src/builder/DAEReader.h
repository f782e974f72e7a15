// The text road's passes over a DAE model: its integration method, the states of its ODE
// statements (read ahead of the declarations), the count of its rows and the rows of its
// ODEs, each discretised with the method.
#pragma once

#include <complex>

#include <sc/ModelEnums.h>
#include <sc/TokenizedModel.h>
#include <td/Types.h>

#include "BuildState.h"

namespace sl
{
template <typename T> class DAEReader
{
public:
    using Iterator = sc::TokenizedModel::iterator;
    using Tree = ExpressionTree<T>;

    explicit DAEReader(BuildState<T>& state) : _s(state) {}

    // The method attribute of the model line of the level; an unknown word warns and
    // keeps the method.
    void initIntegrationMethod(const sc::TokenizedModel& model, sc::ModelLevel level);
    // The states of the ODE statements, each once, sorted; false after a key.
    bool readODEStates(const sc::TokenizedModel& model, sc::ModelLevel level);
    // Equation rows of the model; false after a key when they differ from the variables.
    bool checkDAECounts(td::UINT4 nNL);
    // The rows of the ODEs from row on.
    bool expandODEs(const sc::TokenizedModel& model, sc::ModelLevel level, td::UINT4& row, td::UINT4& nonZeros);

private:
    BuildState<T>& _s;
};

extern template class DAEReader<double>;
extern template class DAEReader<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using DAEReader = sl::DAEReader<double>;
}

namespace slCmplx
{
using DAEReader = sl::DAEReader<std::complex<double>>;
}
