// The calls of the sparse LU library for one value type: real values go to klu_*,
// complex values (stored as real and imaginary pairs) to klu_z_*.
#pragma once

#include <cmath>
#include <complex>

#include <klu.h>

namespace sparse
{
template <typename T> struct KluTraits;

template <> struct KluTraits<double>
{
    static double* raw(double* p) { return p; }
    static bool isFinite(double v) { return std::isfinite(v); }

    static klu_numeric* factor(int* ap, int* ai, double* ax, klu_symbolic* s, klu_common* c)
    {
        return klu_factor(ap, ai, ax, s, c);
    }
    static bool refactor(int* ap, int* ai, double* ax, klu_symbolic* s, klu_numeric* n, klu_common* c)
    {
        return klu_refactor(ap, ai, ax, s, n, c) != 0;
    }
    static bool solve(klu_symbolic* s, klu_numeric* n, int size, double* b, klu_common* c)
    {
        return klu_solve(s, n, size, 1, b, c) != 0;
    }
    static bool rcond(klu_symbolic* s, klu_numeric* n, klu_common* c) { return klu_rcond(s, n, c) != 0; }
    static void freeNumeric(klu_numeric** n, klu_common* c) { klu_free_numeric(n, c); }
    static void freeSymbolic(klu_symbolic** s, klu_common* c) { klu_free_symbolic(s, c); }
};

template <> struct KluTraits<std::complex<double>>
{
    // A complex array is laid out as its real and imaginary parts in turn.
    static double* raw(std::complex<double>* p) { return reinterpret_cast<double*>(p); }
    static bool isFinite(const std::complex<double>& v) { return std::isfinite(v.real()) && std::isfinite(v.imag()); }

    static klu_numeric* factor(int* ap, int* ai, double* ax, klu_symbolic* s, klu_common* c)
    {
        return klu_z_factor(ap, ai, ax, s, c);
    }
    static bool refactor(int* ap, int* ai, double* ax, klu_symbolic* s, klu_numeric* n, klu_common* c)
    {
        return klu_z_refactor(ap, ai, ax, s, n, c) != 0;
    }
    static bool solve(klu_symbolic* s, klu_numeric* n, int size, double* b, klu_common* c)
    {
        return klu_z_solve(s, n, size, 1, b, c) != 0;
    }
    static bool rcond(klu_symbolic* s, klu_numeric* n, klu_common* c) { return klu_z_rcond(s, n, c) != 0; }
    static void freeNumeric(klu_numeric** n, klu_common* c) { klu_z_free_numeric(n, c); }
    // The symbolic analysis is the same object for both value types.
    static void freeSymbolic(klu_symbolic** s, klu_common* c) { klu_free_symbolic(s, c); }
};
} // namespace sparse
