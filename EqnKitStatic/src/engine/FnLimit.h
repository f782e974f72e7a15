// Limit functions of a solver: each `lim` call of a model is one record, found by its
// 1-based fnLimitID; the solver keeps the current values of the function and of its
// derivatives, which the stack machine reads.
#pragma once

#include <complex>
#include <cstring>

#include <cnt/PushBackVector.h>
#include <td/Assert.h>
#include <td/Types.h>

namespace sl
{
template <typename T> class Evaluator;

template <typename T> struct FnLimit
{
    struct Derivative
    {
        Evaluator<T>* pEvaluator = nullptr;
        T value = T(0);
        td::UINT4 varIndex = 0;
    };

    // Bounds and value are real numbers in both builds.
    double _currentValue = 0;
    double _lowerBound = 0;
    double _upperBound = 0;
    Evaluator<T>* _pFnEvaluator = nullptr;
    cnt::PushBackVector<Derivative> _derivEvaluators;
    // Parameter position of a bound given as a parameter; -1 for a literal bound.
    td::UINT4 _lowerParamIndex = static_cast<td::UINT4>(-1);
    td::UINT4 _upperParamIndex = static_cast<td::UINT4>(-1);
};

template <typename T> class FnLimits
{
public:
    // Appends a fresh record; returns its fnLimitID.
    td::UINT4 add()
    {
        _limits.emplace() = FnLimit<T>();
        return static_cast<td::UINT4>(_limits.size());
    }

    FnLimit<T>& operator[](td::UINT4 fnLimitID) { return at(_limits, fnLimitID); }
    const FnLimit<T>& operator[](td::UINT4 fnLimitID) const { return at(_limits, fnLimitID); }

    // Appends a derivative to limit fnLimitID; returns its 1-based position.
    td::UINT4 addDerivative(td::UINT4 fnLimitID, Evaluator<T>* pEvaluator, td::UINT4 varIndex)
    {
        auto& derivs = (*this)[fnLimitID]._derivEvaluators;
        derivs.push(typename FnLimit<T>::Derivative{pEvaluator, T(0), varIndex});
        return static_cast<td::UINT4>(derivs.size());
    }

    td::UINT4 size() const { return static_cast<td::UINT4>(_limits.size()); }
    void clear() { _limits.reserve(0); }

private:
    template <typename V> static auto& at(V& limits, td::UINT4 fnLimitID)
    {
        std::size_t pos = static_cast<std::size_t>(fnLimitID) - 1;
        std::size_t sz = limits.size();
        TD_ASSERT(pos < sz);
        return limits[pos];
    }

    cnt::PushBackVector<FnLimit<T>> _limits;
};

// The operand word of `lim`: low 32 bits the fnLimitID, high 32 bits the 1-based position
// of a derivative (0: the function value itself). It travels as the bits of a constant.
inline double packLimitWord(td::UINT4 fnLimitID, td::UINT4 derivativePos)
{
    td::LUINT8 word = (static_cast<td::LUINT8>(derivativePos) << 32) | fnLimitID;
    double bits;
    std::memcpy(&bits, &word, sizeof(bits));
    return bits;
}

inline td::LUINT8 unpackLimitWord(double bits)
{
    td::LUINT8 word;
    std::memcpy(&word, &bits, sizeof(word));
    return word;
}
} // namespace sl

namespace slDbl
{
using FnLimit = sl::FnLimit<double>;
using FnLimits = sl::FnLimits<double>;
} // namespace slDbl

namespace slCmplx
{
using FnLimit = sl::FnLimit<std::complex<double>>;
using FnLimits = sl::FnLimits<std::complex<double>>;
} // namespace slCmplx
