// The stack machine: runs the code of one evaluator, a flat list of routine addresses,
// on 64 value cells over a solver's current values. Made for one pass of evaluations;
// nothing is allocated while it runs.
#pragma once

#include <array>
#include <complex>

#include <sc/ISignal.h>
#include <td/Types.h>

#include "Evaluator.h"
#include "ISolverServices.h"
#include "ValueTraits.h"

namespace sl
{
template <typename T> class CU
{
    friend class Evaluator<T>;

public:
    static constexpr int CU_STACK_SIZE = 64;
    using Routine = void (*)(CU&);
    using Traits = ValueTraits<T>;

    // Routine of an opcode with its stack effect: it takes `operands` cells and leaves one
    // in their place. A null routine: the code has no run-time operation.
    struct OpInfo
    {
        Routine routine = nullptr;
        td::BYTE operands = 0;
    };
    static constexpr unsigned cTableSize = Traits::cLastCode + 1u;

    // Evaluates over the given variable and parameter values; the solver gives the
    // statistics, limits, generators and parent model (it may be null when none is used).
    CU(T* pVariableValues, T* paramValues, ISolverServices<T>* pSolver);
    // Evaluates over the solver's own values.
    explicit CU(ISolverServices<T>* pSolver);

    T evaluate(const Evaluator<T>& e);

    ISolverServices<T>* getParentSolver() const { return _pParentSolver; }
    void setParentSolver(ISolverServices<T>* pParent);
    ISolverServices<T>* getSolver() const { return _pSolver; }
    sc::ISignal* getSignalReceiver() const { return _pSignal; }
    void setSignalReceiver(sc::ISignal* pSignal) { _pSignal = pSignal; }

    T* getVariableValues() const { return _pVariableValues; }
    T* getParameterValues() const { return _paramValues; }
    T* getParentValues() const { return _pParentValues; }

    static const OpInfo& opcode(td::BYTE code);
    static Routine pushVariableRoutine();
    static Routine pushParameterRoutine();
    static Routine pushParentRoutine();
    static Routine pushConstantRoutine();

private:
    using Table = std::array<OpInfo, cTableSize>;
    template <void (CU::*M)()> static void thunk(CU& cu) { (cu.*M)(); }
    static Table makeTable();

    T runCode(const Evaluator<T>& e);

    T& top() { return _evalStack[_stackPos]; }
    T& below() { return _evalStack[_stackPos - 1]; }

    // pushes
    void opPushConstant();
    void opPushInt();
    void opPushVariable();
    void opPushParameter();
    void opPushParent();
    // arithmetic and logic
    void opAdd();
    void opSub();
    void opMul();
    void opDiv();
    void opPow();
    void opOr();
    void opAnd();
    void opXor();
    void opGreater();
    void opGreaterEqual();
    void opLess();
    void opLessEqual();
    void opEqual();
    void opNotEqual();
    void opNot();
    void opAssign();
    void opRevSub();
    void opRevDiv();
    void opRevPow();
    // functions
    void opAbs();
    void opAcos();
    void opAsin();
    void opAtg();
    void opCos();
    void opExp();
    void opSqrt();
    void opLn();
    void opLog();
    void opSin();
    void opTg();
    void opSqr();
    void opAtg2();
    void opMin();
    void opMax();
    void opStatMin();
    void opStatMax();
    void opStatAvg();
    void opStatVar();
    void opStatDev();
    void opSign();
    void opSinh();
    void opCosh();
    void opTgh();
    void opAsnh();
    void opAcsh();
    void opAtgh();
    void opLim();
    void opRnd();
    void opDisc();
    void opRound();
    // complex build only
    void opConj();
    void opCabs();
    void opRtop();
    void opPtor();
    void opReal();
    void opImag();

    template <typename F> void statistic(F&& read);

    T _evalStack[CU_STACK_SIZE];
    const T* _pConstData = nullptr;
    const td::UINT4* _pIndVars = nullptr;
    const td::UINT4* _pIndParams = nullptr;
    T* _pVariableValues = nullptr;
    T* _paramValues = nullptr;
    T* _pParentValues = nullptr;
    ISolverServices<T>* _pParentSolver = nullptr;
    ISolverServices<T>* _pSolver = nullptr;
    sc::ISignal* _pSignal = nullptr;
    td::INT4 _stackPos = -1;
    td::INT4 _constPos = -1;
    td::INT4 _varPos = -1;
    td::INT4 _paramPos = -1;
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
