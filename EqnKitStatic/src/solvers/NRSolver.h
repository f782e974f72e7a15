// The Newton-Raphson solver: F(x) = 0 with as many equations as variables, solved by
// damped Newton iterations over a sparse LU, around which run the statement lists, the
// child models, the limit functions and limit groups, and the repetitions of a model.
#pragma once

#include <complex>

#include <cnt/SafeFullVector.h>
#include <sparse/ISolver.h>

#include "RPNDerivParser.h"
#include "Solver.h"

namespace sl
{
// Owns its sparse solver: kept across iterations, passes and solves while the size and
// the pattern of the Jacobian stay, refactorised numerically at new values; dropped by
// a new build and by a failed factorisation or solve.
template <typename T> class NRSolver : public Solver<T>
{
public:
    NRSolver(sc::ILog* pLog, td::UINT2 maxIter, double eps);

    // Builds from an XML model document (a file or the text itself); a failed build
    // leaves the entry "Cannot read the data.." after the reader's own.
    bool initFromXML(const td::String& source, td::BYTE inputKind) override;
    bool buildFromXmlElement(const xml::Node& element) override;
    bool init(sc::Naming* pNaming, const sc::TokenizedModel& model, bool mainModel) override;
    // The solve; SolutionError at once when no build has succeeded.
    sc::Solution solve() override;
    bool reset(double t0) override;

    // The sparse solver's counts; zero without one.
    sparse::FactorStats getFactorStats() const;
    td::UINT4 getJacobianEntryCount() const { return _nJacobianEntries; }

protected:
    ~NRSolver() override;

    // After a successful build: the work vectors and the bindings; false without values.
    bool setUp();
    // Everything of the last build dropped.
    void beginNRBuild();
    // After a successful XML build: its results, the Jacobian's count and the set-up;
    // false after "Missing initial values..".
    bool finishXmlBuild(const BuildResults& results);
    void releaseSparse();

    using Finish = sc::ISolverConsumer::Finish;

    // One repetition; false when the solve ends with result at once.
    bool runRepetition(td::UINT4 r, bool& repeat, sc::Solution& result);
    bool solveChildren(td::UINT4 r);
    // The passes of a repetition: Newton iterations, then the limit groups, which may
    // ask for another pass. False when the solve ends with result.
    bool runPasses(td::UINT2& pass, sc::Solution& result);
    bool iterate(td::UINT2 pass, sc::Solution& result);
    // True when a limit group asked for a new pass; false with result when the passes
    // reached their cap.
    bool runLimitGroups(td::UINT2& pass, bool& newPass, sc::Solution& result);

    // Fills the Jacobian at the current values and factorises it; a failure releases
    // the sparse solver.
    bool factorise();
    // The Jacobian at the current values into receiver: the rows' values when they are
    // fresh, else entry by entry; either way they are stale afterwards.
    void fillJacobian(sparse::IMatrixReceiver<T>& receiver);
    // Whether the rows serve the coming iterations (they cover the equations and the
    // Jacobian, draw no random numbers, no replacement values); no entry is fresh.
    void decideRows();
    // Fresh entry values straight into the sparse solver's places of its last fill (no
    // conditional entry); false leaves the fill to fillJacobian.
    bool refillJacobian();
    // The residuals -F(x) and their norm; where the equations' rows serve and the entries
    // are wanted, the values of the Jacobian entries at the same point come with them.
    void evaluateResiduals(bool withEntries = true);
    // Something may have changed values since the residuals: the next Jacobian is
    // evaluated afresh.
    void entriesStale() { _entriesFresh = false; }
    // The region-state walk over the limit functions: the largest state (2 or less: no
    // limit changed its region).
    td::BYTE walkLimits();
    // Status, eps and norm into places 5 to 7.
    void writeNormPlaces();
    // Ends the solve with status (places, progress record, consumer when traced, key).
    sc::Solution fail(sc::Solution status, const char* key, const char* subModelKey, bool finishedAlways);

    cnt::SafeFullVector<T> _residuals;
    cnt::SafeFullVector<T> _step;
    // The Jacobian entries' values of the last rows' walk, one per entry.
    cnt::SafeFullVector<T> _entryValues;
    sparse::ISolver<T>* _pSparse = nullptr;
    td::UINT4 _nJacobianEntriesBuilt = 0;
    td::UINT4 _nJacobianEntries = 0;
    td::BYTE _keepFactorisation = 0;
    // The held factorisation is not of the current values.
    bool _factorStale = true;
    // Residuals and Jacobian values come from the equations' rows (bit for bit what the
    // equations and the Jacobian give entry by entry); decided at each repetition.
    bool _useRows = false;
    // _entryValues hold the Jacobian at the current values.
    bool _entriesFresh = false;
};

extern template class NRSolver<double>;
extern template class NRSolver<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using NRSolver = sl::NRSolver<double>;
}

namespace slCmplx
{
using NRSolver = sl::NRSolver<std::complex<double>>;
}
