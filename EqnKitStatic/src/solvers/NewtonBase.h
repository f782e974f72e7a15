// What the Newton-type kinds (Newton-Raphson, weighted least squares, DAE) share: the
// residuals and the Jacobian at the current values, the limit functions' region states,
// the limit groups, the child models and the places of status, eps and norm.
#pragma once

#include <complex>

#include <cnt/SafeFullVector.h>

#include "LinearSystem.h"
#include "Solver.h"

namespace sl
{
// Owns the work vectors of the Newton step and the Jacobian entries' values; each kind
// holds its own linear system and hands it to the Jacobian's factorisation.
template <typename T> class NewtonBase : public Solver<T>
{
public:
    // Clears the total-iteration counter.
    bool reset(double t0) override;

    td::UINT4 getJacobianEntryCount() const { return _nJacobianEntries; }

protected:
    using Finish = sc::ISolverConsumer::Finish;

    NewtonBase(sc::ILog* pLog, td::UINT2 maxIter, double eps);
    ~NewtonBase() override = default;

    void dropBuild() override;
    // After a successful build: the Jacobian's entry count.
    void takeJacobianCount();
    // After a successful build: the work vectors and the bindings; false without values.
    bool setUp();

    // The children in order (from repetition 1 on only those always on), each after taking
    // its parent's parameters; false (status, key, progress record) when one fails.
    bool solveChildren(td::UINT4 r);
    // Runs the limit groups; true with newPass when one raised a signal, which starts
    // pass + 1 (norm 2 eps, the entries stale; the caller's factorisation is stale too);
    // false with result when the passes reached their cap.
    bool runLimitGroups(td::UINT2& pass, bool& newPass, sc::Solution& result);
    // The region-state walk over the limit functions: the largest state (2 or less: no
    // limit changed its region).
    td::BYTE walkLimits();
    // Status, eps and norm into places 5 to 7.
    void writeNormPlaces();
    // The start of a solve: false, with SolutionError as the status, before a build; else
    // the progress record takes eps and the start values are kept for a re-initialisation.
    bool beginSolve();
    // Whether the repetition after repetition r runs: the Repeats group asked for it and the
    // repetition cap (none when negative) allows it.
    bool repeatsAfter(td::UINT4 r, bool repeat) const
    {
        return repeat && (this->_maxReps < 0 || r + 1 <= static_cast<td::UINT4>(this->_maxReps));
    }
    // The start of repetition r: no iterations yet, in pass 0, in the status places and the
    // progress record (whose status is IterBase).
    void beginRepetition(td::UINT4 r);
    // The end of a repetition whose passes ran: BaseOK becomes OK, the norm places are
    // written and, when OK, PostProc runs, the consumer hears of it and the Repeats group
    // says whether another repetition follows. The repetition's status.
    sc::Solution endRepetition(bool& repeat);
    // Ends the solve with status (places, progress record, consumer when traced, key).
    sc::Solution fail(sc::Solution status, const char* key, const char* subModelKey, bool finishedAlways);

    // Fills the Jacobian at the current values into the system and factorises it; false,
    // with the system released, when it fails or the system is not square.
    bool factoriseJacobian(LinearSystem<T>& system);
    // The Jacobian at the current values into receiver: the rows' values when they are
    // fresh, else entry by entry; either way they are stale afterwards.
    void fillJacobian(sparse::IMatrixReceiver<T>& receiver);
    // Whether the rows serve the coming iterations (they cover the equations and the
    // Jacobian, draw no random numbers, no replacement values); no entry is fresh.
    void decideRows();
    // The residuals -F(x) and their norm; where the equations' rows serve and the entries
    // are wanted, the values of the Jacobian entries at the same point come with them.
    void evaluateResiduals(bool withEntries = true);
    // Something may have changed values since the residuals: the next Jacobian is
    // evaluated afresh.
    void entriesStale() { _entriesFresh = false; }

    cnt::SafeFullVector<T> _residuals;
    cnt::SafeFullVector<T> _step;
    // The Jacobian entries' values of the last rows' walk, one per entry.
    cnt::SafeFullVector<T> _entryValues;
    td::UINT4 _nJacobianEntriesBuilt = 0;
    td::UINT4 _nJacobianEntries = 0;
    // Residuals and Jacobian values come from the equations' rows (bit for bit what the
    // equations and the Jacobian give entry by entry); decided at each repetition.
    bool _useRows = false;
    // _entryValues hold the Jacobian at the current values.
    bool _entriesFresh = false;

private:
    // Fresh entry values straight into the system's places of its last fill (no
    // conditional entry); false leaves the fill to fillJacobian.
    bool refillJacobian(LinearSystem<T>& system);
};

extern template class NewtonBase<double>;
extern template class NewtonBase<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using NewtonBase = sl::NewtonBase<double>;
}

namespace slCmplx
{
using NewtonBase = sl::NewtonBase<std::complex<double>>;
}
