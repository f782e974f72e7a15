// The stack machine: runs the code of one evaluator, a stream of operations with their
// operands in place, on 64 value cells over a solver's current values. Made for one pass
// of evaluations; nothing is allocated while it runs.
#pragma once

#include <array>
#include <complex>

#include <sc/ISignal.h>
#include <td/Types.h>

#include "Code.h"
#include "Evaluator.h"
#include "ISolverServices.h"
#include "SineCache.h"
#include "ValueTraits.h"

// The runs of operations the stack machine takes with one dispatch in code made for it alone
// (CU::joinRuns): those that follow each other most in the rows of a network's equations.
// P(name, first, second) joins two operations, R(name, first, rest) an operation and the run
// rest (listed before it). A name spells its operations: Vd PushVarSubVar, Cs CosSin, Sc
// SinCos, Ma MulConstAddTempMulConst, Ms MulConstSubTempMulConst, Va MulVarAdd, Pm
// PutLoadMulVar, Rs RevSubConst, Pl PutLoad, At AddTemp, Mv MulVar, Ad Add, Ts
// TempMulConstSubTempMulConst, Pc PushConst, Tm TempMulConst, Mc MulConst, Mp MulPar, Rp
// RevSubPar, Pt Put, En End.
// clang-format off
#define EQNKIT_JOINED_RUNS(P, R)                                                               \
    P(MaVa, MulConstAddTempMulConst, MulVarAdd)                                                \
    P(MsVa, MulConstSubTempMulConst, MulVarAdd)                                                \
    R(CsMaVa, CosSin, MaVa)                                                                    \
    R(ScMsVa, SinCos, MsVa)                                                                    \
    R(VdCsMaVa, PushVarSubVar, CsMaVa)                                                         \
    R(VdScMsVa, PushVarSubVar, ScMsVa)                                                         \
    P(CsMa, CosSin, MulConstAddTempMulConst)                                                   \
    P(ScMs, SinCos, MulConstSubTempMulConst)                                                   \
    R(VdCsMa, PushVarSubVar, CsMa)                                                             \
    R(VdScMs, PushVarSubVar, ScMs)                                                             \
    P(VdCs, PushVarSubVar, CosSin)                                                             \
    P(VdSc, PushVarSubVar, SinCos)                                                             \
    P(PmRs, PutLoadMulVar, RevSubConst)                                                        \
    R(RsPmRs, RevSubConst, PmRs)                                                               \
    R(PmRsPmRs, PutLoadMulVar, RsPmRs)                                                         \
    P(PmPm, PutLoadMulVar, PutLoadMulVar)                                                      \
    P(PlAt, PutLoad, AddTemp)                                                                  \
    R(MvPlAt, MulVar, PlAt)                                                                    \
    R(MvMvPlAt, MulVar, MvPlAt)                                                                \
    P(MvPl, MulVar, PutLoad)                                                                   \
    P(MvMv, MulVar, MulVar)                                                                    \
    P(MvAd, MulVar, Add)                                                                       \
    R(TsMvAd, TempMulConstSubTempMulConst, MvAd)                                               \
    R(PcMvAd, PushConst, MvAd)                                                                 \
    P(TmAd, TempMulConst, Add)                                                                 \
    R(McTmAd, MulConst, TmAd)                                                                  \
    R(TmTmAd, TempMulConst, TmAd)                                                              \
    P(MpAd, MulPar, Add)                                                                       \
    P(MvRp, MulVar, RevSubPar)                                                                 \
    P(RsPt, RevSubConst, Put)                                                                  \
    P(PtEn, Put, End)                                                                          \
    P(PlMp, PutLoad, MulPar)                                                                   \
    P(PlMs, PutLoad, MulConstSubTempMulConst)
// clang-format on

namespace sl
{
template <typename T> class CU
{
    friend class Evaluator<T>;

public:
    static constexpr int CU_STACK_SIZE = 64;
    using Traits = ValueTraits<T>;

    // The operation of an opcode with its stack effect: it takes `operands` cells and
    // leaves one. An opcode without a run-time operation is not supported.
    struct OpInfo
    {
        Op op = Op::End;
        td::BYTE operands = 0;
        bool supported = false;
    };
    static constexpr unsigned cTableSize = Traits::cLastCode + 1u;

    // Evaluates over the given variable and parameter values; the solver gives the
    // statistics, limits, generators and parent model (it may be null when none is used).
    CU(T* pVariableValues, T* paramValues, ISolverServices<T>* pSolver);
    // Evaluates over the solver's own values.
    explicit CU(ISolverServices<T>* pSolver);

    T evaluate(const Evaluator<T>& e);
    // Runs code to its end over temporary cells (Store, Load) and result slots (Put);
    // returns the top cell, or zero when the code leaves none. With headOnly the run ends
    // once result 0 is put.
    T run(const CodeUnit* pCode, T* pTemps, T* pResults, bool headOnly = false);

    ISolverServices<T>* getParentSolver() const { return _pParentSolver; }
    void setParentSolver(ISolverServices<T>* pParent);
    ISolverServices<T>* getSolver() const { return _pSolver; }
    sc::ISignal* getSignalReceiver() const { return _pSignal; }
    void setSignalReceiver(sc::ISignal* pSignal) { _pSignal = pSignal; }
    // Sines and cosines of shared parts through the cache (the caller's; null: none).
    void setSineCache(SineCache<T>* pSines) { _pSines = pSines; }

    T* getVariableValues() const { return _pVariableValues; }
    T* getParameterValues() const { return _paramValues; }
    T* getParentValues() const { return _pParentValues; }

    static const OpInfo& opcode(td::BYTE code);

    // The units of the code at pCode, its end included.
    static std::size_t unitCount(const CodeUnit* pCode);
    // The index of the first variable the code at pCode reads; cNoVariable for none.
    static constexpr td::UINT4 cNoVariable = UINT32_MAX;
    static td::UINT4 firstVariable(const CodeUnit* pCode);
    // Rewrites code in place for runs of this machine alone: each joined run of operations
    // (EQNKIT_JOINED_RUNS, the longest first) takes one dispatch, the units and constants of
    // its operations kept where they are, so a run computes the same operations on the same
    // operands in the same order. Code so rewritten is for run only: neither the batches nor
    // their reader take it.
    static void joinRuns(CodeUnit* pCode);
    // The operation codes of joined code: the operations, then the joined runs.
    static constexpr std::size_t cJoinedCodes = cOperationCount +
#define EQNKIT_RUN_COUNT(...) 1 +
                                                EQNKIT_JOINED_RUNS(EQNKIT_RUN_COUNT, EQNKIT_RUN_COUNT) 0;
#undef EQNKIT_RUN_COUNT
    static_assert(cJoinedCodes <= 256, "a joined run's code is one byte of its unit");

private:
    using Table = std::array<OpInfo, cTableSize>;
    static Table makeTable();

    T runCode(const Evaluator<T>& e);

    template <typename F> T statistic(T s, F&& read);
    T limit(T s);
    // Outside the solver's walk: the argument clamped to the bounds as they are now, or its
    // derivative there; NaN (noted in the list) when a bound is NaN.
    T limitNow(FnLimits<T>& limits, td::UINT4 fnLimitID, td::UINT4 derivPos);
    void sinesOf(T x, T& s, T& c);
    T draw(T s);

    // The cells below the top; the top itself lives in a register while code runs.
    T _evalStack[CU_STACK_SIZE];
    T* _pVariableValues = nullptr;
    T* _paramValues = nullptr;
    T* _pParentValues = nullptr;
    ISolverServices<T>* _pParentSolver = nullptr;
    ISolverServices<T>* _pSolver = nullptr;
    sc::ISignal* _pSignal = nullptr;
    SineCache<T>* _pSines = nullptr;
};

extern template class CU<double>;
extern template class CU<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using CU = sl::CU<double>;
}

namespace slCmplx
{
using CU = sl::CU<std::complex<double>>;
}
