#include "CU.h"

#include <cmath>
#include <limits>

#include <td/Assert.h>

#include "FnLimit.h"
#include "RndGenManager.h"
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
    td::UINT4 n = e._nInstructions;
    if (n == 0)
        return T(0);
    _pConstData = e._pConstData;
    _pIndVars = e._pIndVars;
    _pIndParams = e._pIndParams;
    _stackPos = _constPos = _varPos = _paramPos = -1;
    const Routine* p = e._pInstructionLst;
    for (const Routine* pEnd = p + n; p != pEnd; ++p)
        (*p)(*this);
    TD_ASSERT(_stackPos == 0);
    return _evalStack[0];
}

// ---- pushes (the compiler has checked the depth, so no run-time checks) ----

template <typename T> void CU<T>::opPushConstant() { _evalStack[++_stackPos] = _pConstData[++_constPos]; }
template <typename T> void CU<T>::opPushInt() { _evalStack[++_stackPos] = _pConstData[++_constPos]; }
template <typename T> void CU<T>::opPushVariable() { _evalStack[++_stackPos] = _pVariableValues[_pIndVars[++_varPos]]; }
template <typename T> void CU<T>::opPushParameter()
{
    _evalStack[++_stackPos] = _paramValues[_pIndParams[++_paramPos]];
}

template <typename T> void CU<T>::opPushParent()
{
    TD_ASSERT(_pParentValues);
    _evalStack[++_stackPos] = _pParentValues[_pIndParams[++_paramPos]];
}

// ---- operators: t is the cell below the top s; binary results stay in t ----

template <typename T> void CU<T>::opAdd()
{
    below() += top();
    --_stackPos;
}

template <typename T> void CU<T>::opSub()
{
    below() -= top();
    --_stackPos;
}

template <typename T> void CU<T>::opMul()
{
    below() *= top();
    --_stackPos;
}

// A zero divisor gives the floating-point result (infinity or NaN).
template <typename T> void CU<T>::opDiv()
{
    below() /= top();
    --_stackPos;
}

template <typename T> void CU<T>::opPow()
{
    T& t = below();
    t = std::pow(t, top());
    --_stackPos;
}

template <typename T> void CU<T>::opOr()
{
    T& t = below();
    if constexpr (Traits::isComplex)
        t = (t.real() == 0.0 && top().real() == 0.0) ? T(0) : T(1);
    else
        t = (t == 0.0 && top() == 0.0) ? 0.0 : 1.0;
    --_stackPos;
}

template <typename T> void CU<T>::opAnd()
{
    T& t = below();
    if constexpr (Traits::isComplex)
        t = (t.real() != 0.0 && top().real() != 0.0) ? T(1) : T(0);
    else
        t = (t != 0.0 && top() != 0.0) ? 1.0 : 0.0;
    --_stackPos;
}

template <typename T> void CU<T>::opXor()
{
    T& t = below();
    t = isTrue(t) != isTrue(top()) ? T(1) : T(0);
    --_stackPos;
}

template <typename T> void CU<T>::opGreater()
{
    T& t = below();
    t = realPart(t) > realPart(top()) ? T(1) : T(0);
    --_stackPos;
}

template <typename T> void CU<T>::opGreaterEqual()
{
    T& t = below();
    t = realPart(t) >= realPart(top()) ? T(1) : T(0);
    --_stackPos;
}

template <typename T> void CU<T>::opLess()
{
    T& t = below();
    t = realPart(t) < realPart(top()) ? T(1) : T(0);
    --_stackPos;
}

template <typename T> void CU<T>::opLessEqual()
{
    T& t = below();
    t = realPart(t) <= realPart(top()) ? T(1) : T(0);
    --_stackPos;
}

template <typename T> void CU<T>::opEqual()
{
    T& t = below();
    t = t == top() ? T(1) : T(0);
    --_stackPos;
}

template <typename T> void CU<T>::opNotEqual()
{
    T& t = below();
    t = t == top() ? T(0) : T(1);
    --_stackPos;
}

template <typename T> void CU<T>::opNot()
{
    T& s = top();
    s = isTrue(s) ? T(0) : T(1);
}

template <typename T> void CU<T>::opAssign()
{
    below() = top();
    --_stackPos;
}

template <typename T> void CU<T>::opRevSub()
{
    T& t = below();
    t = top() - t;
    --_stackPos;
}

template <typename T> void CU<T>::opRevDiv()
{
    T& t = below();
    t = top() / t;
    --_stackPos;
}

template <typename T> void CU<T>::opRevPow()
{
    T& t = below();
    t = std::pow(top(), t);
    --_stackPos;
}

// ---- functions of one operand act on the top cell ----

template <typename T> void CU<T>::opAbs()
{
    T& s = top();
    if constexpr (Traits::isComplex)
        s = T(std::hypot(s.real(), s.imag()), 0.0);
    else
        s = std::fabs(s);
}

template <typename T> void CU<T>::opAcos() { top() = std::acos(top()); }
template <typename T> void CU<T>::opAsin() { top() = std::asin(top()); }
template <typename T> void CU<T>::opAtg() { top() = std::atan(top()); }
template <typename T> void CU<T>::opCos() { top() = std::cos(top()); }
template <typename T> void CU<T>::opExp() { top() = std::exp(top()); }
template <typename T> void CU<T>::opSqrt() { top() = std::sqrt(top()); }
template <typename T> void CU<T>::opLn() { top() = std::log(top()); }

template <typename T> void CU<T>::opLog()
{
    if constexpr (Traits::isComplex)
        top() = std::log(top()) * 0.4342944819032518;
    else
        top() = std::log10(top());
}

template <typename T> void CU<T>::opSin() { top() = std::sin(top()); }
template <typename T> void CU<T>::opTg() { top() = std::tan(top()); }

template <typename T> void CU<T>::opSqr()
{
    T& s = top();
    s = s * s;
}

// Real build: atg2(a, b) = atan2(a, b), the first argument (below) being the ordinate,
// as its derivative treats it. Complex build: one operand, its angle.
template <typename T> void CU<T>::opAtg2()
{
    if constexpr (Traits::isComplex)
    {
        T& s = top();
        s = T(std::atan2(s.imag(), s.real()), 0.0);
    }
    else
    {
        T& t = below();
        t = std::atan2(t, top());
        --_stackPos;
    }
}

template <typename T> void CU<T>::opMin()
{
    T& t = below();
    if (realPart(t) > realPart(top()))
        t = top();
    --_stackPos;
}

template <typename T> void CU<T>::opMax()
{
    T& t = below();
    if (realPart(top()) > realPart(t))
        t = top();
    --_stackPos;
}

template <typename T> template <typename F> void CU<T>::statistic(F&& read)
{
    TD_ASSERT(_pSolver);
    StatisticsStore<T>* pStore = _pSolver->getStatisticsStore();
    TD_ASSERT(pStore);
    T& s = top();
    td::INT4 iStat = toIndex(realPart(s));
    TD_ASSERT(iStat >= 0);
    TD_ASSERT(static_cast<td::UINT4>(iStat) < pStore->size());
    double v = read(pStore->record(static_cast<td::UINT4>(iStat)));
    if constexpr (Traits::isComplex)
        s.real(v);
    else
        s = v;
}

template <typename T> void CU<T>::opStatMin()
{
    statistic([](const StatisticsRecord& r) { return r.min; });
}

template <typename T> void CU<T>::opStatMax()
{
    statistic([](const StatisticsRecord& r) { return r.max; });
}

template <typename T> void CU<T>::opStatAvg()
{
    statistic([](const StatisticsRecord& r) { return r.mean; });
}

template <typename T> void CU<T>::opStatVar()
{
    statistic([](const StatisticsRecord& r) { return r.variance(); });
}

template <typename T> void CU<T>::opStatDev()
{
    statistic([](const StatisticsRecord& r) { return r.deviation(); });
}

template <typename T> void CU<T>::opSign()
{
    T& s = top();
    s = T(signOf(realPart(s)));
}

template <typename T> void CU<T>::opSinh() { top() = std::sinh(top()); }
template <typename T> void CU<T>::opCosh() { top() = std::cosh(top()); }
template <typename T> void CU<T>::opTgh() { top() = std::tanh(top()); }
template <typename T> void CU<T>::opAsnh() { top() = std::asinh(top()); }
template <typename T> void CU<T>::opAcsh() { top() = std::acosh(top()); }
template <typename T> void CU<T>::opAtgh() { top() = std::atanh(top()); }

template <typename T> void CU<T>::opLim()
{
    T& s = top();
    td::LUINT8 word = unpackLimitWord(realPart(s));
    td::UINT4 fnLimitID = static_cast<td::UINT4>(word & 0xFFFFFFFFu);
    td::UINT4 derivPos = static_cast<td::UINT4>(word >> 32);
    TD_ASSERT(fnLimitID > 0);
    TD_ASSERT(_pSolver);
    FnLimits<T>* pLimits = _pSolver->getFnLimits();
    TD_ASSERT(pLimits);
    const FnLimit<T>& limit = (*pLimits)[fnLimitID];
    if (derivPos == 0)
    {
        s = T(limit._currentValue);
        return;
    }
    // At or beyond a bound the limited value is constant; NaN takes the derivative.
    if (limit._lowerBound >= limit._currentValue || limit._currentValue >= limit._upperBound)
    {
        s = T(0);
        return;
    }
    std::size_t derivEvaluator = derivPos - 1;
    TD_ASSERT(derivEvaluator < limit._derivEvaluators.size());
    s = limit._derivEvaluators[derivEvaluator].value;
}

template <typename T> void CU<T>::opRnd()
{
    T& s = top();
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
        s = T(re, im);
    }
    else
        s = re;
}

// Three operands: x (deepest), the origin o and the step q; the result replaces x.
template <typename T> void CU<T>::opDisc()
{
    if constexpr (!Traits::isComplex)
    {
        T& x = _evalStack[_stackPos - 2];
        x = discretize(x, below(), top());
        _stackPos -= 2;
    }
}

template <typename T> void CU<T>::opRound()
{
    T& t = below();
    double digits = realPart(top());
    if constexpr (Traits::isComplex)
        t = T(roundTo(t.real(), digits), roundTo(t.imag(), digits));
    else
        t = roundTo(t, digits);
    --_stackPos;
}

template <typename T> void CU<T>::opConj()
{
    if constexpr (Traits::isComplex)
    {
        T& s = top();
        if (s.imag() != 0.0)
            s.imag(-s.imag());
    }
}

template <typename T> void CU<T>::opCabs()
{
    if constexpr (Traits::isComplex)
    {
        T& s = top();
        s = T(std::fabs(s.real()), std::fabs(s.imag()));
    }
}

template <typename T> void CU<T>::opRtop()
{
    if constexpr (Traits::isComplex)
    {
        T& s = top();
        s = T(std::hypot(s.real(), s.imag()), std::atan2(s.imag(), s.real()));
    }
}

template <typename T> void CU<T>::opPtor()
{
    if constexpr (Traits::isComplex)
    {
        T& s = top();
        double r = s.real(), angle = s.imag();
        s = r > 0.0 ? T(r * std::cos(angle), r * std::sin(angle)) : T(0);
    }
}

template <typename T> void CU<T>::opReal()
{
    if constexpr (Traits::isComplex)
        top().imag(0.0);
}

template <typename T> void CU<T>::opImag()
{
    if constexpr (Traits::isComplex)
    {
        T& s = top();
        s = T(s.imag(), 0.0);
    }
}

// ---- the opcode table ----

template <typename T> typename CU<T>::Table CU<T>::makeTable()
{
    using C = TokenCodes;
    Table table{};
    auto set = [&table](td::BYTE code, Routine r, td::BYTE operands) { table[code] = OpInfo{r, operands}; };
    auto unary = [&set](td::BYTE code, Routine r) { set(code, r, 1); };
    auto binary = [&set](td::BYTE code, Routine r) { set(code, r, 2); };

    binary(C::ADD, &thunk<&CU::opAdd>);
    binary(C::SUB, &thunk<&CU::opSub>);
    binary(C::MUL, &thunk<&CU::opMul>);
    binary(C::DIV, &thunk<&CU::opDiv>);
    binary(C::POW, &thunk<&CU::opPow>);
    binary(C::LOGIC_OR, &thunk<&CU::opOr>);
    binary(C::LOGIC_AND, &thunk<&CU::opAnd>);
    binary(C::LOGIC_XOR, &thunk<&CU::opXor>);
    binary(C::GREATER, &thunk<&CU::opGreater>);
    binary(C::GREATER_EQUAL, &thunk<&CU::opGreaterEqual>);
    binary(C::LESS, &thunk<&CU::opLess>);
    binary(C::LESS_EQUAL, &thunk<&CU::opLessEqual>);
    binary(C::EQUAL, &thunk<&CU::opEqual>);
    binary(C::NOT_EQUAL, &thunk<&CU::opNotEqual>);
    unary(C::LOGIC_NEGATION, &thunk<&CU::opNot>);
    binary(C::ASSIGN, &thunk<&CU::opAssign>);
    // The compound assignments compute like their operators; `-=` and `/=` reversed.
    binary(C::ADD_ASSIGN, &thunk<&CU::opAdd>);
    binary(C::SUB_ASSIGN, &thunk<&CU::opRevSub>);
    binary(C::MUL_ASSIGN, &thunk<&CU::opMul>);
    binary(C::DIV_ASSIGN, &thunk<&CU::opRevDiv>);
    binary(C::REV_SUB, &thunk<&CU::opRevSub>);
    binary(C::REV_DIV, &thunk<&CU::opRevDiv>);
    binary(C::REV_POW, &thunk<&CU::opRevPow>);

    unary(C::ABS, &thunk<&CU::opAbs>);
    unary(C::ACOS, &thunk<&CU::opAcos>);
    unary(C::ASIN, &thunk<&CU::opAsin>);
    unary(C::ATG, &thunk<&CU::opAtg>);
    unary(C::COS, &thunk<&CU::opCos>);
    unary(C::EXP, &thunk<&CU::opExp>);
    unary(C::SQRT, &thunk<&CU::opSqrt>);
    unary(C::LN, &thunk<&CU::opLn>);
    unary(C::LOG, &thunk<&CU::opLog>);
    unary(C::SIN, &thunk<&CU::opSin>);
    unary(C::TG, &thunk<&CU::opTg>);
    unary(C::SQR, &thunk<&CU::opSqr>);
    set(C::ATG2, &thunk<&CU::opAtg2>, Traits::isComplex ? 1 : 2);
    binary(C::MIN, &thunk<&CU::opMin>);
    binary(C::MAX, &thunk<&CU::opMax>);
    unary(C::SMIN, &thunk<&CU::opStatMin>);
    unary(C::SMAX, &thunk<&CU::opStatMax>);
    unary(C::AVG, &thunk<&CU::opStatAvg>);
    unary(C::VAR, &thunk<&CU::opStatVar>);
    unary(C::DEV, &thunk<&CU::opStatDev>);
    unary(C::SIGN, &thunk<&CU::opSign>);
    unary(C::SINH, &thunk<&CU::opSinh>);
    unary(C::COSH, &thunk<&CU::opCosh>);
    unary(C::TGH, &thunk<&CU::opTgh>);
    unary(C::ASNH, &thunk<&CU::opAsnh>);
    unary(C::ACSH, &thunk<&CU::opAcsh>);
    unary(C::ATGH, &thunk<&CU::opAtgh>);
    unary(C::LIMIT, &thunk<&CU::opLim>);
    unary(C::RND, &thunk<&CU::opRnd>);
    binary(C::ROUND, &thunk<&CU::opRound>);
    if constexpr (Traits::isComplex)
    {
        unary(C::CONJ, &thunk<&CU::opConj>);
        unary(C::CABS, &thunk<&CU::opCabs>);
        unary(C::RTOP, &thunk<&CU::opRtop>);
        unary(C::PTOR, &thunk<&CU::opPtor>);
        unary(C::REAL, &thunk<&CU::opReal>);
        unary(C::IMAG, &thunk<&CU::opImag>);
    }
    else
        set(C::DISC, &thunk<&CU::opDisc>, 3);
    set(Traits::cPushInt, &thunk<&CU::opPushInt>, 0);
    set(Traits::cPushFloat, &thunk<&CU::opPushConstant>, 0);
    // MOD, BACKSLASH, POW_ASSIGN, DIFF, INTEGRAL, DISN (and complex DISC) stay null.
    return table;
}

template <typename T> const typename CU<T>::OpInfo& CU<T>::opcode(td::BYTE code)
{
    static const Table s_table = makeTable();
    static const OpInfo s_none{};
    return code < cTableSize ? s_table[code] : s_none;
}

template <typename T> typename CU<T>::Routine CU<T>::pushVariableRoutine() { return &thunk<&CU::opPushVariable>; }
template <typename T> typename CU<T>::Routine CU<T>::pushParameterRoutine() { return &thunk<&CU::opPushParameter>; }
template <typename T> typename CU<T>::Routine CU<T>::pushParentRoutine() { return &thunk<&CU::opPushParent>; }
template <typename T> typename CU<T>::Routine CU<T>::pushConstantRoutine() { return &thunk<&CU::opPushConstant>; }

template class CU<double>;
template class CU<std::complex<double>>;
} // namespace sl
