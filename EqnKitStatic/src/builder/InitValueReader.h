// Start values of the text road's declarations: literals at once, constant expressions
// evaluated once, and expressions over symbols after every deferred value they read.
#pragma once

#include <complex>

#include <cnt/PushBackVector.h>
#include <sc/ModelEnums.h>
#include <sc/TokenizedModel.h>
#include <td/Types.h>

#include "BuildState.h"

namespace sl
{
// A declaration whose start value is an expression over symbols: its line and the index
// of its symbol (variables first, then parameters).
struct DeferredValue
{
    sc::TokenizedModel::iterator line;
    td::UINT4 symbol = 0;
};
using DeferredList = cnt::PushBackVector<DeferredValue>;

template <typename T> class InitValueReader
{
public:
    using Iterator = sc::TokenizedModel::iterator;
    using Tree = ExpressionTree<T>;

    explicit InitValueReader(BuildState<T>& state) : _s(state) {}

    // One pass over a Vars (label Var) or Params (label Param) group from its own line:
    // types, output marks and literal or constant values; expressions over symbols go
    // to the deferred list.
    bool setDeclarationValues(Iterator group, DeferredList& deferred, sc::UserLabel label);
    // Compiles the line's tokens from firstToken and evaluates them once.
    bool makeInitialValue(T& out, const Iterator& it, td::UINT4 firstToken);
    // Evaluates the deferred values of both groups, each after the deferred values it reads.
    bool setInitialValues(const DeferredList& params, const DeferredList& vars);

private:
    bool setDeclarationValue(const Iterator& it, DeferredList& deferred, sc::UserLabel label);

    BuildState<T>& _s;
};

extern template class InitValueReader<double>;
extern template class InitValueReader<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using InitValueReader = sl::InitValueReader<double>;
}

namespace slCmplx
{
using InitValueReader = sl::InitValueReader<std::complex<double>>;
}
