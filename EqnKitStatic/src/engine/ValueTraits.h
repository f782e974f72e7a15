// Constants that differ between the real and the complex build of the expression engine,
// the builder and the solvers, and the small value helpers both builds share.
#pragma once

#include <cmath>
#include <complex>
#include <limits>

#include <sc/priv/FunctionTable.h>
#include <td/Types.h>

namespace sl
{
template <typename T> struct ValueTraits;

// Code of the first function; the functions of a build follow in the order of their table,
// and its two push codes and the parser's marker come after them.
inline constexpr td::BYTE cFirstFunctionCode = 57;

// Target kinds of an assignment in the real build.
enum class RealTarget : td::BYTE
{
    Variable = 0,
    Parameter = 1,
    Parent = 2,
    None = 3
};

// Target kinds of an assignment in the complex build: whole values and single parts.
enum class CmplxTarget : td::BYTE
{
    Variable = 0,
    Parameter = 1,
    Parent = 2,
    ParentReal = 3,
    ParentImag = 4,
    VariableReal = 5,
    VariableImag = 6,
    ParameterReal = 7,
    ParameterImag = 8,
    None = 9
};

// Which part of a symbol's value an assignment to a parent-model symbol changes.
enum class ValuePart : td::BYTE
{
    Whole = 2,
    Real = 3,
    Imag = 4
};

template <> struct ValueTraits<double>
{
    static constexpr bool isComplex = false;
    static constexpr td::BYTE cPushInt = cFirstFunctionCode + sc::priv::cRealFunctionCount;
    static constexpr td::BYTE cPushFloat = cPushInt + 1;
    // Previous-token marker of the parser at the start of an expression; prints "NA".
    static constexpr td::BYTE cNoPreviousToken = cPushFloat + 1;
    static constexpr td::BYTE cLastCode = cNoPreviousToken;
    using TargetKind = RealTarget;
};

template <> struct ValueTraits<std::complex<double>>
{
    static constexpr bool isComplex = true;
    static constexpr td::BYTE cPushInt = cFirstFunctionCode + sc::priv::cFunctionCount;
    static constexpr td::BYTE cPushFloat = cPushInt + 1;
    static constexpr td::BYTE cNoPreviousToken = cPushFloat + 1;
    static constexpr td::BYTE cLastCode = cNoPreviousToken;
    using TargetKind = CmplxTarget;
};

// Truth of a computed value: anything but zero is true, NaN included.
inline bool isTrue(double v) { return v != 0.0; }
inline bool isTrue(const std::complex<double>& v) { return v.real() != 0.0 || v.imag() != 0.0; }

// Magnitude of a value in a residual norm: its absolute value, complex the larger absolute
// part; NaN when a part is NaN.
inline double normMagnitude(double v) { return std::fabs(v); }
inline double normMagnitude(const std::complex<double>& v)
{
    double re = std::fabs(v.real()), im = std::fabs(v.imag());
    return re >= im || std::isnan(re) ? re : im;
}

// The conjugate; a real value is its own.
inline double conjugate(double v) { return v; }
inline std::complex<double> conjugate(const std::complex<double>& v) { return std::conj(v); }

inline double realPart(double v) { return v; }
inline double realPart(const std::complex<double>& v) { return v.real(); }

// Both parts finite: no infinity and no NaN.
inline bool isFiniteValue(double v) { return std::isfinite(v); }
inline bool isFiniteValue(const std::complex<double>& v) { return isFiniteValue(v.real()) && isFiniteValue(v.imag()); }

template <typename T> inline T quietNaN()
{
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    if constexpr (ValueTraits<T>::isComplex)
        return T(nan, nan);
    else
        return nan;
}
} // namespace sl
