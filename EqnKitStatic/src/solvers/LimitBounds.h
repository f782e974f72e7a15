// The bounds of a solver's limit functions read for one that is not a number, and how such
// a bound is told: a key at its place in the model text and an entry of the error log.
#pragma once

#include <complex>

#include <sc/ILog.h>
#include <td/String.h>
#include <td/Types.h>

#include "SolverStores.h"

namespace sl
{
// A view of the stores it checks; it owns nothing.
template <typename T> class LimitBounds
{
public:
    explicit LimitBounds(SolverStores<T>& stores) : _s(stores) {}

    // The first limit function (fnLimitID) with a bound that is NaN over the parameter
    // values; 0 when every bound is a number.
    td::UINT4 findNaN() const;
    // Of the NaN bound of limit fnLimitID (the lower one when both are): its key at the
    // bound's line and column, as an error.
    void showKey(td::UINT4 fnLimitID, sc::ILog& log) const;
    // The same as an entry of the error log at the limit's line in the section, naming the
    // bound.
    void addEntry(td::UINT4 fnLimitID, td::BYTE section) const;

private:
    // Whether the upper bound is the one told of: the lower one is a number.
    bool upperIsNaN(const FnLimit<T>& limit) const;

    SolverStores<T>& _s;
};

extern template class LimitBounds<double>;
extern template class LimitBounds<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using LimitBounds = sl::LimitBounds<double>;
}

namespace slCmplx
{
using LimitBounds = sl::LimitBounds<std::complex<double>>;
}
