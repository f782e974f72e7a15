#include "CU.h"

#include <cmath>
#include <limits>

#include <td/Assert.h>

#include "FnLimit.h"
#include "FunctionTraits.h"
#include "RndGenManager.h"
#include "SineCache.h"
#include "StatisticsStore.h"

namespace sl
{
namespace
{
// Index operand of a statistics or generator operation; -1 for NaN and negatives,
// so the caller's assertion fires instead of an undefined conversion.
td::INT4 toIndex(double v)
{
    if (!(v >= 0.0))
        return -1;
    if (v >= static_cast<double>(std::numeric_limits<td::INT4>::max()))
        return std::numeric_limits<td::INT4>::max();
    return static_cast<td::INT4>(v);
}

double signOf(double v) { return v < 0.0 ? -1.0 : (v > 0.0 ? 1.0 : 0.0); }

// round(v * 10^n) / 10^n, halves away from zero; n is the truncated digit count,
// clamped to [-308, 308]; a non-finite count gives NaN. A value too large to scale has
// no digits at that place and stays as it is.
double roundTo(double v, double digits)
{
    if (!std::isfinite(digits))
        return std::numeric_limits<double>::quiet_NaN();
    double n = std::trunc(digits);
    n = n < -308.0 ? -308.0 : (n > 308.0 ? 308.0 : n);
    double p = std::pow(10.0, n);
    double scaled = v * p;
    if (!std::isfinite(scaled))
        return v;
    return std::round(scaled) / p;
}

// The nearest point of the grid o + k q to x, halves away from o; a negative step
// spans the same grid.
double discretize(double x, double o, double q)
{
    if (q == 0.0 || !std::isfinite(x) || !std::isfinite(o) || !std::isfinite(q))
        return std::numeric_limits<double>::quiet_NaN();
    q = std::fabs(q);
    double k = x >= o ? std::trunc((x - o) / q + 0.5) : -std::trunc((o - x) / q + 0.5);
    return k * q + o;
}

// Values of the operations that differ between the builds.
template <typename T> T truth(bool b) { return b ? T(1) : T(0); }

template <typename T> T orOf(const T& t, const T& s)
{
    if constexpr (ValueTraits<T>::isComplex)
        return truth<T>(!(t.real() == 0.0 && s.real() == 0.0));
    else
        return truth<T>(!(t == 0.0 && s == 0.0));
}

template <typename T> T andOf(const T& t, const T& s)
{
    if constexpr (ValueTraits<T>::isComplex)
        return truth<T>(t.real() != 0.0 && s.real() != 0.0);
    else
        return truth<T>(t != 0.0 && s != 0.0);
}

template <typename T> T absOf(const T& s)
{
    if constexpr (ValueTraits<T>::isComplex)
        return T(std::hypot(s.real(), s.imag()), 0.0);
    else
        return std::fabs(s);
}

template <typename T> T log10Of(const T& s)
{
    if constexpr (ValueTraits<T>::isComplex)
        return std::log(s) * 0.4342944819032518;
    else
        return std::log10(s);
}

template <typename T> T roundOf(const T& t, const T& s)
{
    double digits = realPart(s);
    if constexpr (ValueTraits<T>::isComplex)
        return T(roundTo(t.real(), digits), roundTo(t.imag(), digits));
    else
        return roundTo(t, digits);
}
} // namespace

template <typename T> CU<T>::CU(T* pVariableValues, T* paramValues, ISolverServices<T>* pSolver)
    : _pVariableValues(pVariableValues), _paramValues(paramValues), _pSolver(pSolver)
{
    TD_ASSERT(_pVariableValues);
    // Without variables the parameters start where the variables would.
    if (!_pSolver || _pSolver->getNumberOfVariables() > 0)
        TD_ASSERT(_pVariableValues != _paramValues);
    if (_pSolver)
        setParentSolver(_pSolver->getParentSolver());
}

template <typename T> CU<T>::CU(ISolverServices<T>* pSolver) : _pSolver(pSolver)
{
    TD_ASSERT(_pSolver);
    _pVariableValues = _pSolver->getVariableValuesPtr();
    _paramValues = _pVariableValues + _pSolver->getNumberOfVariables();
    TD_ASSERT(_pVariableValues);
    setParentSolver(_pSolver->getParentSolver());
}

template <typename T> void CU<T>::setParentSolver(ISolverServices<T>* pParent)
{
    _pParentSolver = pParent;
    _pParentValues = pParent ? pParent->getVariableValuesPtr() : nullptr;
}

template <typename T> void CU<T>::sinesOf(T x, T& s, T& c)
{
    if (_pSines)
        _pSines->sineAndCosine(x, s, c);
    else
        sineAndCosine(x, s, c);
}

template <typename T> T CU<T>::evaluate(const Evaluator<T>& e)
{
    if (e._type != Evaluator<T>::Type::Code)
        return e.evaluate(*this);
    return runCode(e);
}

template <typename T> T CU<T>::runCode(const Evaluator<T>& e)
{
    if (!e.isRunnable())
        return quietNaN<T>();
    if (e._nInstructions == 0)
        return T(0);
    return run(e._pCode, e.temps(), nullptr);
}

// The compiler has checked the depth and the operands of every operation, so the loop
// checks nothing. acc is the top cell; sp points past the cells below it (the first push
// stores the empty register into cell 0, which no operation reads). With GNU C++ each
// operation jumps to the next one itself (threaded code) through a label table made from
// the operation table, so an operation without its handler here fails the build;
// otherwise one switch dispatches. Between two operations the result of the first goes to
// its temporary cell when its store flag is set.
// Between two operations: the first one's store, then the next unit.
#define STORE_AND_READ                                                                                                 \
    if (u.store)                                                                                                       \
        pTemps[u.temp] = acc;                                                                                          \
    u = *pc++
#if defined(__GNUC__)
#define EQNKIT_THREADED_CODE 1
#define OPERATION(name) op##name:
#define NEXT                                                                                                           \
    do                                                                                                                 \
    {                                                                                                                  \
        STORE_AND_READ;                                                                                                \
        goto* s_next[u.op];                                                                                            \
    } while (0)
// A joined run: after the first operation's own part, its store and the next unit, straight
// into the handler of the rest (no dispatch between them).
#define THEN(label)                                                                                                    \
    do                                                                                                                 \
    {                                                                                                                  \
        STORE_AND_READ;                                                                                                \
        goto label;                                                                                                    \
    } while (0)
#else
#define EQNKIT_THREADED_CODE 0
#define OPERATION(name) case Op::name:
#define NEXT continue
#endif

// The operations that begin joined runs, each in one place for its own handler and for the
// runs it begins. Sine and cosine through locals: an address of acc would keep the top cell
// out of a register.
#define BODY_PushVarSubVar                                                                                             \
    *sp++ = acc;                                                                                                       \
    acc = x[u.arg] - x[pc->arg];                                                                                       \
    ++pc
#define BODY_CosSin                                                                                                    \
    T sine, cosine;                                                                                                    \
    sinesOf(acc, sine, cosine);                                                                                        \
    acc = cosine;                                                                                                      \
    pTemps[u.arg] = sine
#define BODY_SinCos                                                                                                    \
    T sine, cosine;                                                                                                    \
    sinesOf(acc, sine, cosine);                                                                                        \
    acc = sine;                                                                                                        \
    pTemps[u.arg] = cosine
#define BODY_MulConstAddTempMulConst                                                                                   \
    acc = acc * V::read(pc) + pTemps[u.arg] * V::read(pc + V::cUnits);                                                 \
    pc += 2 * V::cUnits
#define BODY_MulConstSubTempMulConst                                                                                   \
    acc = acc * V::read(pc) - pTemps[u.arg] * V::read(pc + V::cUnits);                                                 \
    pc += 2 * V::cUnits
#define BODY_MulVar acc = acc * x[u.arg]
#define BODY_MulPar acc = acc * p[u.arg]
#define BODY_MulVarAdd acc = *--sp + acc * x[u.arg]
#define BODY_TempMulConst                                                                                              \
    *sp++ = acc;                                                                                                       \
    acc = pTemps[u.arg] * V::read(pc);                                                                                 \
    pc += V::cUnits
#define BODY_RevSubConst                                                                                               \
    acc = V::read(pc) - acc;                                                                                           \
    pc += V::cUnits
#define BODY_PutLoad                                                                                                   \
    pResults[u.arg] = acc;                                                                                             \
    acc = pTemps[u.temp]
#define BODY_PutLoadMulVar                                                                                             \
    pResults[u.arg] = acc;                                                                                             \
    acc = pTemps[u.temp] * x[pc->arg];                                                                                 \
    ++pc
#define BODY_MulConst                                                                                                  \
    acc = acc * V::read(pc);                                                                                           \
    pc += V::cUnits
#define BODY_TempMulConstSubTempMulConst                                                                               \
    *sp++ = acc;                                                                                                       \
    acc = pTemps[u.arg] * V::read(pc) - pTemps[pc[V::cUnits].arg] * V::read(pc + V::cUnits + 1);                       \
    pc += 2 * V::cUnits + 1
#define BODY_PushConst                                                                                                 \
    *sp++ = acc;                                                                                                       \
    acc = V::read(pc);                                                                                                 \
    pc += V::cUnits
#define BODY_Put                                                                                                       \
    pResults[u.arg] = acc;                                                                                             \
    acc = *--sp

template <typename T> T CU<T>::run(const CodeUnit* pc, T* pTemps, T* pResults, bool headOnly)
{
    using V = CodeValue<T>;
    const T* const x = _pVariableValues;
    const T* const p = _paramValues;
    T* sp = _evalStack;
    T acc = T(0);
    CodeUnit u;
#if EQNKIT_THREADED_CODE
    static void* const s_next[] = {
#define EQNKIT_OPERATION_LABEL(name, ...) &&op##name,
        EQNKIT_OPERATIONS(EQNKIT_OPERATION_LABEL)
#undef EQNKIT_OPERATION_LABEL
#define EQNKIT_RUN_LABEL(name, ...) &&run##name,
            EQNKIT_JOINED_RUNS(EQNKIT_RUN_LABEL, EQNKIT_RUN_LABEL)
#undef EQNKIT_RUN_LABEL
    };
    static_assert(std::size(s_next) == cJoinedCodes);
    u = *pc++;
    goto* s_next[u.op];
#else
    for (;;)
    {
        STORE_AND_READ;
        switch (u.operation())
        {
#endif
    OPERATION(End) return acc;
    // pushes
    OPERATION(PushVar)
    {
        *sp++ = acc;
        acc = x[u.arg];
        NEXT;
    }
    OPERATION(PushPar)
    {
        *sp++ = acc;
        acc = p[u.arg];
        NEXT;
    }
    OPERATION(PushParent)
    {
        TD_ASSERT(_pParentValues);
        *sp++ = acc;
        acc = _pParentValues[u.arg];
        NEXT;
    }
    OPERATION(PushConst)
    {
        BODY_PushConst;
        NEXT;
    }
    // a push fused with the operation after it
    OPERATION(AddVar)
    {
        acc = acc + x[u.arg];
        NEXT;
    }
    OPERATION(SubVar)
    {
        acc = acc - x[u.arg];
        NEXT;
    }
    OPERATION(MulVar)
    {
        BODY_MulVar;
        NEXT;
    }
    OPERATION(DivVar)
    {
        acc = acc / x[u.arg];
        NEXT;
    }
    OPERATION(RevSubVar)
    {
        acc = x[u.arg] - acc;
        NEXT;
    }
    OPERATION(RevDivVar)
    {
        acc = x[u.arg] / acc;
        NEXT;
    }
    OPERATION(AddPar)
    {
        acc = acc + p[u.arg];
        NEXT;
    }
    OPERATION(SubPar)
    {
        acc = acc - p[u.arg];
        NEXT;
    }
    OPERATION(MulPar)
    {
        BODY_MulPar;
        NEXT;
    }
    OPERATION(DivPar)
    {
        acc = acc / p[u.arg];
        NEXT;
    }
    OPERATION(RevSubPar)
    {
        acc = p[u.arg] - acc;
        NEXT;
    }
    OPERATION(RevDivPar)
    {
        acc = p[u.arg] / acc;
        NEXT;
    }
    OPERATION(AddTemp)
    {
        acc = acc + pTemps[u.arg];
        NEXT;
    }
    OPERATION(SubTemp)
    {
        acc = acc - pTemps[u.arg];
        NEXT;
    }
    OPERATION(MulTemp)
    {
        acc = acc * pTemps[u.arg];
        NEXT;
    }
    OPERATION(DivTemp)
    {
        acc = acc / pTemps[u.arg];
        NEXT;
    }
    OPERATION(RevSubTemp)
    {
        acc = pTemps[u.arg] - acc;
        NEXT;
    }
    OPERATION(RevDivTemp)
    {
        acc = pTemps[u.arg] / acc;
        NEXT;
    }
    OPERATION(AddConst)
    {
        acc = acc + V::read(pc);
        pc += V::cUnits;
        NEXT;
    }
    OPERATION(SubConst)
    {
        acc = acc - V::read(pc);
        pc += V::cUnits;
        NEXT;
    }
    OPERATION(MulConst)
    {
        BODY_MulConst;
        NEXT;
    }
    OPERATION(DivConst)
    {
        acc = acc / V::read(pc);
        pc += V::cUnits;
        NEXT;
    }
    OPERATION(RevSubConst)
    {
        BODY_RevSubConst;
        NEXT;
    }
    OPERATION(RevDivConst)
    {
        acc = V::read(pc) / acc;
        pc += V::cUnits;
        NEXT;
    }
    // two operands: t = *--sp, s = acc; a zero divisor gives the floating-point result
    OPERATION(Add)
    {
        acc = *--sp + acc;
        NEXT;
    }
    OPERATION(Sub)
    {
        acc = *--sp - acc;
        NEXT;
    }
    OPERATION(Mul)
    {
        acc = *--sp * acc;
        NEXT;
    }
    OPERATION(Div)
    {
        acc = *--sp / acc;
        NEXT;
    }
    OPERATION(Pow)
    {
        acc = std::pow(*--sp, acc);
        NEXT;
    }
    OPERATION(RevSub)
    {
        acc = acc - *--sp;
        NEXT;
    }
    OPERATION(RevDiv)
    {
        acc = acc / *--sp;
        NEXT;
    }
    OPERATION(RevPow)
    {
        acc = std::pow(acc, *--sp);
        NEXT;
    }
    OPERATION(Assign)-- sp;
    NEXT;
    OPERATION(Or)
    {
        acc = orOf(*--sp, acc);
        NEXT;
    }
    OPERATION(And)
    {
        acc = andOf(*--sp, acc);
        NEXT;
    }
    OPERATION(Xor)
    {
        const T& t = *--sp;
        acc = truth<T>(isTrue(t) != isTrue(acc));
        NEXT;
    }
    OPERATION(Greater)
    {
        acc = truth<T>(realPart(*--sp) > realPart(acc));
        NEXT;
    }
    OPERATION(GreaterEqual)
    {
        acc = truth<T>(realPart(*--sp) >= realPart(acc));
        NEXT;
    }
    OPERATION(Less)
    {
        acc = truth<T>(realPart(*--sp) < realPart(acc));
        NEXT;
    }
    OPERATION(LessEqual)
    {
        acc = truth<T>(realPart(*--sp) <= realPart(acc));
        NEXT;
    }
    OPERATION(Equal)
    {
        acc = truth<T>(*--sp == acc);
        NEXT;
    }
    OPERATION(NotEqual)
    {
        acc = truth<T>(!(*--sp == acc));
        NEXT;
    }
    OPERATION(Min)
    {
        const T& t = *--sp;
        if (!(realPart(t) > realPart(acc)))
            acc = t;
        NEXT;
    }
    OPERATION(Max)
    {
        const T& t = *--sp;
        if (!(realPart(acc) > realPart(t)))
            acc = t;
        NEXT;
    }
    // Real build: atg2(a, b) = atan2(a, b), the first argument (below) being the
    // ordinate, as its derivative treats it. Complex build: one operand, its angle.
    OPERATION(Atg2)
    {
        if constexpr (Traits::isComplex)
            acc = T(std::atan2(acc.imag(), acc.real()), 0.0);
        else
            acc = std::atan2(*--sp, acc);
        NEXT;
    }
    OPERATION(Round)
    {
        acc = roundOf(*--sp, acc);
        NEXT;
    }
    // Three operands: x (deepest), the origin o and the step q; the result replaces x.
    OPERATION(Disc)
    {
        if constexpr (!Traits::isComplex)
        {
            sp -= 2;
            acc = discretize(sp[0], sp[1], acc);
        }
        NEXT;
    }
    // one operand
    OPERATION(Not)
    {
        acc = truth<T>(!isTrue(acc));
        NEXT;
    }
    OPERATION(Abs)
    {
        acc = absOf(acc);
        NEXT;
    }
    OPERATION(Acos)
    {
        acc = std::acos(acc);
        NEXT;
    }
    OPERATION(Asin)
    {
        acc = std::asin(acc);
        NEXT;
    }
    OPERATION(Atg)
    {
        acc = std::atan(acc);
        NEXT;
    }
    OPERATION(Cos)
    {
        acc = std::cos(acc);
        NEXT;
    }
    OPERATION(Exp)
    {
        acc = std::exp(acc);
        NEXT;
    }
    OPERATION(Sqrt)
    {
        acc = std::sqrt(acc);
        NEXT;
    }
    OPERATION(Ln)
    {
        acc = std::log(acc);
        NEXT;
    }
    OPERATION(Log)
    {
        acc = log10Of(acc);
        NEXT;
    }
    OPERATION(Sin)
    {
        acc = std::sin(acc);
        NEXT;
    }
    OPERATION(Tg)
    {
        acc = std::tan(acc);
        NEXT;
    }
    OPERATION(Sqr)
    {
        acc = acc * acc;
        NEXT;
    }
    OPERATION(Sign)
    {
        acc = T(signOf(realPart(acc)));
        NEXT;
    }
    OPERATION(Sinh)
    {
        acc = std::sinh(acc);
        NEXT;
    }
    OPERATION(Cosh)
    {
        acc = std::cosh(acc);
        NEXT;
    }
    OPERATION(Tgh)
    {
        acc = std::tanh(acc);
        NEXT;
    }
    OPERATION(Asnh)
    {
        acc = std::asinh(acc);
        NEXT;
    }
    OPERATION(Acsh)
    {
        acc = std::acosh(acc);
        NEXT;
    }
    OPERATION(Atgh)
    {
        acc = std::atanh(acc);
        NEXT;
    }
    OPERATION(StatMin)
    {
        acc = statistic(acc, [](const StatisticsRecord& r) { return r.min; });
        NEXT;
    }
    OPERATION(StatMax)
    {
        acc = statistic(acc, [](const StatisticsRecord& r) { return r.max; });
        NEXT;
    }
    OPERATION(StatAvg)
    {
        acc = statistic(acc, [](const StatisticsRecord& r) { return r.mean; });
        NEXT;
    }
    OPERATION(StatVar)
    {
        acc = statistic(acc, [](const StatisticsRecord& r) { return r.variance(); });
        NEXT;
    }
    OPERATION(StatDev)
    {
        acc = statistic(acc, [](const StatisticsRecord& r) { return r.deviation(); });
        NEXT;
    }
    OPERATION(Lim)
    {
        acc = limit(acc);
        NEXT;
    }
    OPERATION(Rnd)
    {
        acc = draw(acc);
        NEXT;
    }
    OPERATION(Conj)
    {
        if constexpr (Traits::isComplex)
        {
            if (acc.imag() != 0.0)
                acc.imag(-acc.imag());
        }
        NEXT;
    }
    OPERATION(Cabs)
    {
        if constexpr (Traits::isComplex)
            acc = T(std::fabs(acc.real()), std::fabs(acc.imag()));
        NEXT;
    }
    OPERATION(Rtop)
    {
        if constexpr (Traits::isComplex)
            acc = T(std::hypot(acc.real(), acc.imag()), std::atan2(acc.imag(), acc.real()));
        NEXT;
    }
    OPERATION(Ptor)
    {
        if constexpr (Traits::isComplex)
        {
            double r = acc.real(), angle = acc.imag();
            acc = r > 0.0 ? T(r * std::cos(angle), r * std::sin(angle)) : T(0);
        }
        NEXT;
    }
    OPERATION(Real)
    {
        if constexpr (Traits::isComplex)
            acc.imag(0.0);
        NEXT;
    }
    OPERATION(Imag)
    {
        if constexpr (Traits::isComplex)
            acc = T(acc.imag(), 0.0);
        NEXT;
    }
    // a temporary cell pushed and multiplied by a constant
    OPERATION(TempMulConst)
    {
        BODY_TempMulConst;
        NEXT;
    }
    OPERATION(AddTempMulConst)
    {
        acc = acc + pTemps[u.arg] * V::read(pc);
        pc += V::cUnits;
        NEXT;
    }
    OPERATION(SubTempMulConst)
    {
        acc = acc - pTemps[u.arg] * V::read(pc);
        pc += V::cUnits;
        NEXT;
    }
    OPERATION(MulConstAddTempMulConst)
    {
        BODY_MulConstAddTempMulConst;
        NEXT;
    }
    OPERATION(MulConstSubTempMulConst)
    {
        BODY_MulConstSubTempMulConst;
        NEXT;
    }
    OPERATION(PushVarSubVar)
    {
        BODY_PushVarSubVar;
        NEXT;
    }
    OPERATION(TempMulConstAddTempMulConst)
    {
        *sp++ = acc;
        acc = pTemps[u.arg] * V::read(pc) + pTemps[pc[V::cUnits].arg] * V::read(pc + V::cUnits + 1);
        pc += 2 * V::cUnits + 1;
        NEXT;
    }
    OPERATION(TempMulConstSubTempMulConst)
    {
        BODY_TempMulConstSubTempMulConst;
        NEXT;
    }
    OPERATION(MulVarRevSubConst)
    {
        acc = V::read(pc) - acc * x[u.arg];
        pc += V::cUnits;
        NEXT;
    }
    OPERATION(MulVarAdd)
    {
        BODY_MulVarAdd;
        NEXT;
    }
    OPERATION(MulVarSub)
    {
        acc = *--sp - acc * x[u.arg];
        NEXT;
    }
    OPERATION(PutLoadMulVar)
    {
        BODY_PutLoadMulVar;
        NEXT;
    }
    // sin and cos of one operand in one call, the other one into temporary cell arg
    // (real build only: the sine and cosine of the call are those of sin and cos)
    OPERATION(SinCos)
    {
        BODY_SinCos;
        NEXT;
    }
    OPERATION(CosSin)
    {
        BODY_CosSin;
        NEXT;
    }
    // temporary cells and results of a program
    OPERATION(Store)
    {
        pTemps[u.arg] = acc;
        NEXT;
    }
    OPERATION(Load)
    {
        *sp++ = acc;
        acc = pTemps[u.arg];
        NEXT;
    }
    OPERATION(Put)
    {
        BODY_Put;
        NEXT;
    }
    OPERATION(PutLoad)
    {
        BODY_PutLoad;
        NEXT;
    }
    OPERATION(PutHead)
    {
        pResults[u.arg] = acc;
        if (headOnly)
            return acc;
        acc = *--sp;
        NEXT;
    }
    OPERATION(PutHeadLoad)
    {
        pResults[u.arg] = acc;
        if (headOnly)
            return acc;
        acc = pTemps[u.temp];
        NEXT;
    }
#if EQNKIT_THREADED_CODE
    // the joined runs of code made for this machine alone (joinRuns)
#define EQNKIT_PAIR_HANDLER(name, first, second)                                                                       \
    run##name:                                                                                                         \
    {                                                                                                                  \
        BODY_##first;                                                                                                  \
        THEN(op##second);                                                                                              \
    }
#define EQNKIT_RUN_HANDLER(name, first, rest)                                                                          \
    run##name:                                                                                                         \
    {                                                                                                                  \
        BODY_##first;                                                                                                  \
        THEN(run##rest);                                                                                               \
    }
    EQNKIT_JOINED_RUNS(EQNKIT_PAIR_HANDLER, EQNKIT_RUN_HANDLER)
#undef EQNKIT_PAIR_HANDLER
#undef EQNKIT_RUN_HANDLER
#else
        }
    }
#endif
}

#undef OPERATION
#undef NEXT
#undef THEN
#undef STORE_AND_READ
#undef BODY_PushVarSubVar
#undef BODY_CosSin
#undef BODY_SinCos
#undef BODY_MulConstAddTempMulConst
#undef BODY_MulConstSubTempMulConst
#undef BODY_MulVar
#undef BODY_MulPar
#undef BODY_MulVarAdd
#undef BODY_TempMulConst
#undef BODY_RevSubConst
#undef BODY_PutLoad
#undef BODY_PutLoadMulVar
#undef BODY_MulConst
#undef BODY_TempMulConstSubTempMulConst
#undef BODY_PushConst
#undef BODY_Put

namespace
{
// The extent of a unit of operation op: itself, its constants and the unit after it.
template <typename T> std::size_t unitsOf(Op op)
{
    const OpTraits& o = traitsOf(op);
    return 1 + o.consts * CodeValue<T>::cUnits + (o.next != Operand::None ? 1 : 0);
}

// The joined runs, the longest first: the code of each and its operations.
struct JoinedRun
{
    td::BYTE code = 0;
    td::BYTE n = 0;
    std::array<Op, 8> ops{};
};

enum class RunName : td::BYTE
{
#define EQNKIT_RUN_NAME(name, ...) name,
    EQNKIT_JOINED_RUNS(EQNKIT_RUN_NAME, EQNKIT_RUN_NAME)
#undef EQNKIT_RUN_NAME
};

constexpr std::size_t cRunCount = 0
#define EQNKIT_RUN_ONE(...) +1
    EQNKIT_JOINED_RUNS(EQNKIT_RUN_ONE, EQNKIT_RUN_ONE)
#undef EQNKIT_RUN_ONE
    ;

constexpr std::array<JoinedRun, cRunCount> makeRuns()
{
    std::array<JoinedRun, cRunCount> runs{};
    std::size_t k = 0;
    // A run's rest is listed before it.
#define EQNKIT_RUN_PAIR(name, first, second)                                                                           \
    runs[k] = JoinedRun{static_cast<td::BYTE>(cOperationCount + k), 2, {Op::first, Op::second}};                       \
    ++k;
#define EQNKIT_RUN_LONGER(name, first, rest)                                                                           \
    {                                                                                                                  \
        const JoinedRun& r = runs[static_cast<std::size_t>(RunName::rest)];                                            \
        runs[k] = JoinedRun{static_cast<td::BYTE>(cOperationCount + k), static_cast<td::BYTE>(r.n + 1), {Op::first}};  \
        for (std::size_t m = 0; m < r.n; ++m)                                                                          \
            runs[k].ops[m + 1] = r.ops[m];                                                                             \
        ++k;                                                                                                           \
    }
    EQNKIT_JOINED_RUNS(EQNKIT_RUN_PAIR, EQNKIT_RUN_LONGER)
#undef EQNKIT_RUN_PAIR
#undef EQNKIT_RUN_LONGER
    // the longest first, in their order otherwise
    for (std::size_t i = 1; i < runs.size(); ++i)
        for (std::size_t j = i; j > 0 && runs[j - 1].n < runs[j].n; --j)
        {
            const JoinedRun t = runs[j - 1];
            runs[j - 1] = runs[j];
            runs[j] = t;
        }
    return runs;
}
constexpr auto cRuns = makeRuns();

// The units of the run r at unit i, or 0 when the code there is not r (it ends before).
template <typename T> std::size_t runAt(const CodeUnit* pCode, std::size_t i, const JoinedRun& r)
{
    std::size_t j = i;
    for (std::size_t m = 0; m < r.n; ++m)
    {
        const Op op = pCode[j].operation();
        // A run may end the code, never reach past it.
        if (op != r.ops[m] || (op == Op::End && m + 1 != r.n))
            return 0;
        j += unitsOf<T>(op);
    }
    return j - i;
}
} // namespace

template <typename T> std::size_t CU<T>::unitCount(const CodeUnit* pCode)
{
    std::size_t n = 0;
    while (pCode[n].operation() != Op::End)
        n += unitsOf<T>(pCode[n].operation());
    return n + 1;
}

template <typename T> td::UINT4 CU<T>::firstVariable(const CodeUnit* pCode)
{
    for (std::size_t n = 0; pCode[n].operation() != Op::End; n += unitsOf<T>(pCode[n].operation()))
    {
        const OpTraits& o = traitsOf(pCode[n].operation());
        if (o.arg == Operand::Var)
            return pCode[n].arg;
        // The unit after it follows its first constant.
        if (o.next == Operand::Var)
            return pCode[n + 1 + (o.consts > 0 ? CodeValue<T>::cUnits : 0)].arg;
    }
    return cNoVariable;
}

template <typename T> void CU<T>::joinRuns(CodeUnit* pCode)
{
#if EQNKIT_THREADED_CODE
    // From the first unit on, the longest run that begins at each; a run that takes the end
    // takes the rest of the code.
    std::size_t i = 0;
    while (pCode[i].operation() != Op::End)
    {
        std::size_t n = 0;
        for (const JoinedRun& r : cRuns)
        {
            n = runAt<T>(pCode, i, r);
            if (n == 0)
                continue;
            pCode[i].op = r.code;
            if (r.ops[r.n - 1u] == Op::End)
                return;
            break;
        }
        i += n != 0 ? n : unitsOf<T>(pCode[i].operation());
    }
#else
    (void)pCode;
#endif
}
#undef EQNKIT_THREADED_CODE

// The operations that reach the solver take the top cell by value and give the new one
// back, so that the top cell never leaves its register.
template <typename T> template <typename F> T CU<T>::statistic(T s, F&& read)
{
    TD_ASSERT(_pSolver);
    StatisticsStore<T>* pStore = _pSolver->getStatisticsStore();
    TD_ASSERT(pStore);
    td::INT4 iStat = toIndex(realPart(s));
    TD_ASSERT(iStat >= 0);
    TD_ASSERT(static_cast<td::UINT4>(iStat) < pStore->size());
    double v = read(pStore->record(static_cast<td::UINT4>(iStat)));
    if constexpr (Traits::isComplex)
        s.real(v);
    else
        s = v;
    return s;
}

template <typename T> T CU<T>::limit(T s)
{
    td::LUINT8 word = unpackLimitWord(realPart(s));
    td::UINT4 fnLimitID = static_cast<td::UINT4>(word & 0xFFFFFFFFu);
    td::UINT4 derivPos = static_cast<td::UINT4>(word >> 32);
    TD_ASSERT(fnLimitID > 0);
    TD_ASSERT(_pSolver);
    FnLimits<T>* pLimits = _pSolver->getFnLimits();
    TD_ASSERT(pLimits);
    if (!pLimits->isWalked())
        return limitNow(*pLimits, fnLimitID, derivPos);
    const FnLimit<T>& limit = (*pLimits)[fnLimitID];
    if (derivPos == 0)
        return T(limit._currentValue);
    if (FnLimit<T>::isConstantAt(limit._currentValue, limit._lowerBound, limit._upperBound))
        return T(0);
    std::size_t derivEvaluator = derivPos - 1;
    TD_ASSERT(derivEvaluator < limit._derivEvaluators.size());
    return limit._derivEvaluators[derivEvaluator].value;
}

template <typename T> T CU<T>::limitNow(FnLimits<T>& limits, td::UINT4 fnLimitID, td::UINT4 derivPos)
{
    const FnLimit<T>& limit = limits[fnLimitID];
    const td::UINT4 nParams = _pSolver->getNumberOfParameters();
    const double lower = limit.lowerBoundOver(_paramValues, nParams);
    const double upper = limit.upperBoundOver(_paramValues, nParams);
    if (std::isnan(lower) || std::isnan(upper))
    {
        limits.noteNaNBound(fnLimitID);
        return quietNaN<T>();
    }
    // The argument runs on cells of its own over the same values.
    TD_ASSERT(limit._pFnEvaluator);
    CU inner(_pVariableValues, _paramValues, _pSolver);
    inner._pParentSolver = _pParentSolver;
    inner._pParentValues = _pParentValues;
    const double v = realPart(inner.evaluate(*limit._pFnEvaluator));
    if (derivPos == 0)
        return T(FnLimit<T>::clamp(v, lower, upper));
    if (FnLimit<T>::isConstantAt(v, lower, upper))
        return T(0);
    std::size_t derivEvaluator = derivPos - 1;
    TD_ASSERT(derivEvaluator < limit._derivEvaluators.size());
    const Evaluator<T>* pDerivative = limit._derivEvaluators[derivEvaluator].pEvaluator;
    TD_ASSERT(pDerivative);
    return inner.evaluate(*pDerivative);
}

// One value of generator s; a complex value takes its real and imaginary part from two
// draws in turn.
template <typename T> T CU<T>::draw(T s)
{
    td::INT4 iGen = toIndex(realPart(s));
    TD_ASSERT(iGen >= 0);
    TD_ASSERT(_pSolver);
    RndGenManager* pManager = _pSolver->getRndGenManager();
    TD_ASSERT(pManager);
    double re = 0;
    pManager->draw(iGen, re);
    if constexpr (Traits::isComplex)
    {
        double im = 0;
        pManager->draw(iGen, im);
        return T(re, im);
    }
    else
        return re;
}

// ---- the opcode table ----

template <typename T> typename CU<T>::Table CU<T>::makeTable()
{
    using C = TokenCodes;
    Table table{};
    // The operands of each code are the cells its operation takes.
    auto set = [&table](td::BYTE code, Op op) { table[code] = OpInfo{op, traitsOf(op).takes, true}; };

    set(C::ADD, Op::Add);
    set(C::SUB, Op::Sub);
    set(C::MUL, Op::Mul);
    set(C::DIV, Op::Div);
    set(C::POW, Op::Pow);
    set(C::LOGIC_OR, Op::Or);
    set(C::LOGIC_AND, Op::And);
    set(C::LOGIC_XOR, Op::Xor);
    set(C::GREATER, Op::Greater);
    set(C::GREATER_EQUAL, Op::GreaterEqual);
    set(C::LESS, Op::Less);
    set(C::LESS_EQUAL, Op::LessEqual);
    set(C::EQUAL, Op::Equal);
    set(C::NOT_EQUAL, Op::NotEqual);
    set(C::LOGIC_NEGATION, Op::Not);
    set(C::ASSIGN, Op::Assign);
    // The compound assignments compute like their operators; `-=` and `/=` reversed.
    set(C::ADD_ASSIGN, Op::Add);
    set(C::SUB_ASSIGN, Op::RevSub);
    set(C::MUL_ASSIGN, Op::Mul);
    set(C::DIV_ASSIGN, Op::RevDiv);
    set(C::REV_SUB, Op::RevSub);
    set(C::REV_DIV, Op::RevDiv);
    set(C::REV_POW, Op::RevPow);

    // The functions of the build that have an operation.
    for (td::BYTE code = C::cFirstFunction; code < Traits::cPushInt; ++code)
    {
        const FunctionTraits& f = functionTraits<T>(code);
        if (f.hasOperation)
            table[code] = OpInfo{f.op, cellsTaken(f), true};
    }
    set(Traits::cPushInt, Op::PushConst);
    set(Traits::cPushFloat, Op::PushConst);
    // MOD, BACKSLASH, POW_ASSIGN and the functions without an operation are unsupported.
    return table;
}

template <typename T> const typename CU<T>::OpInfo& CU<T>::opcode(td::BYTE code)
{
    static const Table s_table = makeTable();
    static const OpInfo s_none{};
    return code < cTableSize ? s_table[code] : s_none;
}

template class CU<double>;
template class CU<std::complex<double>>;
} // namespace sl
