// Transfer-function statements y / u = f(s) of the text road's DAE models: read before the
// declarations (symbols, orders and forms), then realised in state space and discretised
// into rows.
#pragma once

#include <complex>

#include <sc/ModelEnums.h>
#include <sc/TokenizedModel.h>
#include <td/Types.h>

#include "BuildState.h"
#include "DAERecords.h"
#include "UsedVariables.h"

namespace sl
{
template <typename T> class TFReader
{
public:
    using Iterator = sc::TokenizedModel::iterator;
    using Tree = ExpressionTree<T>;

    // The variables of each function's rows are collected into used.
    TFReader(BuildState<T>& state, UsedVariables<T>& used) : _s(state), _used(used) {}

    // Reads every TFs statement into tfs: its symbols and the orders and forms of f(s).
    bool buildTransferFunctions(const sc::TokenizedModel& model, sc::ModelLevel level, TFStatements& tfs);
    // Realises a read transfer function whose states are declared and compiles its rows
    // from row on: each state's discretised derivative, then the algebraic rows.
    bool expandTransferFunction(const TFStatement& stmt, td::UINT4& row, td::UINT4& nonZeros);
    // Every transfer function read, in statement order.
    bool expandTransferFunctions(const TFStatements& tfs, td::UINT4& row, td::UINT4& nonZeros);

private:
    bool readTransferFunction(const Iterator& it, TFStatement& out);
    static Place shortFormPlace(const Iterator& it);

    BuildState<T>& _s;
    UsedVariables<T>& _used;
};

extern template class TFReader<double>;
extern template class TFReader<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using TFReader = sl::TFReader<double>;
}

namespace slCmplx
{
using TFReader = sl::TFReader<std::complex<double>>;
}
