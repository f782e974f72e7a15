// The complex conjugate that keeps a real value real (std::conj of a double is complex).
#pragma once

#include <complex>

namespace sparse
{
inline double conjOf(double v) { return v; }
inline std::complex<double> conjOf(const std::complex<double>& v) { return std::conj(v); }
} // namespace sparse
