// Limit functions of a solver: each `lim` call of a model is one record, found by its
// 1-based fnLimitID. While the solver's walk of a solve or step holds them, it keeps the
// current values of the function and of its derivatives, which the stack machine reads;
// before it, the stack machine clamps the argument where `lim` is evaluated.
#pragma once

#include <complex>
#include <cstring>

#include <cnt/PushBackVector.h>
#include <td/Assert.h>
#include <td/Types.h>

#include "ValueTraits.h"

namespace sl
{
template <typename T> class Evaluator;
template <typename T> struct ETNode;

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
    // The argument's tree while the build's pools hold it: a DAE expansion copies it with
    // the states of a stage or of the previous step into a limit of its own.
    ETNode<T>* _pArgument = nullptr;
    // Parameter position of a bound given as a parameter; -1 for a literal bound.
    td::UINT4 _lowerParamIndex = static_cast<td::UINT4>(-1);
    td::UINT4 _upperParamIndex = static_cast<td::UINT4>(-1);
    // Where the call stands: the line and the columns of its bounds in the model text (0:
    // none) and the section of the error log it was compiled in.
    td::UINT4 _line = 0;
    td::UINT2 _lowerColumn = 0;
    td::UINT2 _upperColumn = 0;
    td::BYTE _section = 0;

    // A bound as it stands over the parameter values params (nParams of them): a parameter
    // bound is read from its parameter, a literal one is the record's.
    double lowerBoundOver(const T* params, td::UINT4 nParams) const
    {
        return _lowerParamIndex < nParams ? realPart(params[_lowerParamIndex]) : _lowerBound;
    }
    double upperBoundOver(const T* params, td::UINT4 nParams) const
    {
        return _upperParamIndex < nParams ? realPart(params[_upperParamIndex]) : _upperBound;
    }
    // The value v clamped to the bounds: at or below the lower bound the lower one, else at
    // or above the upper bound the upper one; NaN stays.
    static double clamp(double v, double lower, double upper) { return v <= lower ? lower : (v >= upper ? upper : v); }
    // Whether the limited value is constant at the clamped value v: at or beyond a bound.
    // A NaN is not, so that the walk, the stack machine and a limit before the walk all give
    // it the argument's derivative at the current values.
    static bool isConstantAt(double v, double lower, double upper) { return lower >= v || v >= upper; }
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
    void clear()
    {
        _limits.reserve(0);
        restart();
    }

    // A solve or a time step begins: its walk has not stored the values yet, and no bound
    // that is not a number has been read.
    void restart()
    {
        _walked = false;
        _nanBound = 0;
    }
    // The solver's walk stores the values: from now on to the end of the solve or step,
    // `lim` gives what the walk stored.
    void beginWalk() { _walked = true; }
    bool isWalked() const { return _walked; }
    // A bound of limit fnLimitID was read as NaN; the first one is kept.
    void noteNaNBound(td::UINT4 fnLimitID)
    {
        if (_nanBound == 0)
            _nanBound = fnLimitID;
    }
    // The first limit whose bound was read as NaN since the last call or restart (0: none).
    td::UINT4 takeNaNBound()
    {
        const td::UINT4 id = _nanBound;
        _nanBound = 0;
        return id;
    }

private:
    template <typename V> static auto& at(V& limits, td::UINT4 fnLimitID)
    {
        std::size_t pos = static_cast<std::size_t>(fnLimitID) - 1;
        std::size_t sz = limits.size();
        TD_ASSERT(pos < sz);
        return limits[pos];
    }

    cnt::PushBackVector<FnLimit<T>> _limits;
    bool _walked = false;
    td::UINT4 _nanBound = 0;
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
