// What a time step may change and a failed step puts back: the values of the variables
// and parameters (history and stage variables among them) and the limit functions' state.
#pragma once

#include <complex>

#include <cnt/SafeFullVector.h>

#include "SolverStores.h"

namespace sl
{
// Keeps its own copies; the buffers are made once and reused while the sizes stay.
template <typename T> class StepSnapshot
{
public:
    // Copies the values of the variables and parameters and the state of every limit.
    void save(const SolverStores<T>& s);
    // Puts back what the last save kept (the stores must be of the same build).
    void restore(SolverStores<T>& s) const;

private:
    static constexpr td::UINT4 cLimitFields = 3;

    cnt::SafeFullVector<T> _values;
    // Per limit: its current value and bounds.
    cnt::SafeFullVector<double> _limits;
    // The values of the limits' derivatives, limit after limit.
    cnt::SafeFullVector<T> _derivatives;
};

extern template class StepSnapshot<double>;
extern template class StepSnapshot<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using StepSnapshot = sl::StepSnapshot<double>;
}

namespace slCmplx
{
using StepSnapshot = sl::StepSnapshot<std::complex<double>>;
}
