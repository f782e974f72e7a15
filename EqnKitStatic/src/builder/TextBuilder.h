// The text road: the entries of the solver kinds (Newton-Raphson, weighted least squares,
// ODE; the DAE pass builds over it) over a tokenized model, each its passes in their order:
// the groups checked, declarations, generators and statistics, equations, the section pass.
#pragma once

#include <complex>

#include <sc/ModelEnums.h>
#include <sc/Naming.h>
#include <sc/TokenizedModel.h>
#include <td/Types.h>

#include "BuildState.h"
#include "UsedVariables.h"

namespace sl
{
template <typename T> class TextBuilder
{
public:
    using Iterator = sc::TokenizedModel::iterator;
    using Tree = ExpressionTree<T>;

    // Owns the used-variable sets of the entry, which its passes collect into.
    explicit TextBuilder(BuildState<T>& state) : _s(state), _used(state) {}
    TextBuilder(const TextBuilder&) = delete;
    TextBuilder& operator=(const TextBuilder&) = delete;

    BuildState<T>& state() { return _s; }
    UsedVariables<T>& usedVariables() { return _used; }

    // The first steps of every entry: the context's used-variable sets, the model, and
    // for a sub-model (which must have a parent) the parent's variable count.
    void bindEntry(SolverData<T>& data, const sc::TokenizedModel* pModel, sc::ModelLevel level);
    // The entries of the solver kinds, each after the context is bound. False after a key.
    bool initNR(const sc::Naming& naming, const sc::TokenizedModel& model, SolverData<T>& data, sc::ModelLevel level);
    bool initWLS(const sc::Naming& naming, const sc::TokenizedModel& model, SolverData<T>& data, sc::ModelLevel level);
    // The ODE list of the context, when the solver gives one, maps each ODE to its state.
    bool initODE(const sc::Naming& naming, const sc::TokenizedModel& model, SolverData<T>& data, sc::ModelLevel level);
    // The generators of the Distribs group and the names of the Stats group.
    bool initRndGensAndStats(const sc::Naming& naming, const sc::TokenizedModel& model, sc::ModelLevel level);

private:
    // The w attribute of a measurement: a number as written; a name, the magnitude of that
    // parameter's or else variable's current value; none, or a name of no symbol, 1.
    double measurementWeight(const Iterator& it) const;

    BuildState<T>& _s;
    UsedVariables<T> _used;
};

extern template class TextBuilder<double>;
extern template class TextBuilder<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using TextBuilder = sl::TextBuilder<double>;
}

namespace slCmplx
{
using TextBuilder = sl::TextBuilder<std::complex<double>>;
}
