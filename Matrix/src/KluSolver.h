// The sparse LU solver over KLU: compressed columns filled in place, a symbolic analysis
// kept while the pattern stays, numeric refactorisation that keeps the pivots while they
// serve, and the factorisation of a fresh choice kept for a return to its values.
#pragma once

#include <complex>
#include <vector>

#include <klu.h>
#include <sparse/ISolver.h>

#include "Assembler.h"
#include "KluAnalysis.h"

namespace sparse
{
// Made only by createSolver; ended by release. Owns its arrays, its analysis and its
// numeric factorisations (the working one, and the one at the values of the pivots).
template <typename T> class KluSolver final : public ISolver<T>
{
public:
    KluSolver(td::INT4 n, td::INT4 nonZeroEstimate, Pivoting pivoting, Ordering ordering);
    KluSolver(const KluSolver&) = delete;
    KluSolver& operator=(const KluSolver&) = delete;

    void put(td::INT4 row, td::INT4 col, const T* value) override;
    void begin() override;
    bool refill(const T* values, td::INT4 n) override;
    // A solver is filled directly; the finishing operations belong to a sparse matrix.
    void finishMeasurements(const dense::DiagMatrix<double>& weights, const dense::Matrix<T>& residuals,
                            ISolver<T>& solver) override;
    void finishConstraints(td::UINT4 rowOffset, const dense::Matrix<T>& residuals, ISolver<T>& solver) override;

    td::INT4 size() const override { return _n; }
    void putRHS(td::INT4 row, const T& value) override;
    const T* getSolution(td::INT4 i) const override;
    bool factorise() override;
    bool solve() override;
    bool solve(const T* rhs, T* x) override;
    bool isFactorised() const override { return _pNumeric != nullptr; }
    bool isSymbolicReused() const override { return _symbolicReused; }
    const FactorStats& getStats() const override { return _stats; }
    void pivotAfresh() override { _pivotAfresh = true; }
    Analysis<T> takeAnalysis() override;
    void giveAnalysis(Analysis<T> analysis) override;
    void release() override { delete this; }

private:
    ~KluSolver();

    bool valuesFinite() const;
    // Keeps the analysis held when it serves the pattern of the fill just ended, else ends it.
    void checkAnalysis(bool patternGrew);
    bool analyse();
    // KLU's factor of the values filled, with the analysis held; null when it fails.
    klu_numeric* factorFilled();
    bool factorFresh();
    bool refactorKeepingPivots();
    // The values filled are bit for bit those the pivots held were chosen at.
    bool valuesOfPivots() const;
    // Takes the factorisation at the values of the pivots for the next solves, making it
    // once while those values stay.
    bool useFactorAtPivots();
    // The factorisation the solves use.
    klu_numeric* numeric() const { return _useAtPivots ? _pAtPivots : _pNumeric; }
    bool solveInPlace(T* x);
    // Ends both factorisations.
    void releaseNumeric();
    klu_symbolic* symbolic() const { return _pAnalysis->symbolic(); }

    Assembler<T> _matrix;
    std::vector<T> _rhs;
    std::vector<T> _solution;
    klu_common _common;
    typename KluAnalysis<T>::Owner _pAnalysis;
    // The working factorisation, refactorised in place.
    klu_numeric* _pNumeric = nullptr;
    // A factorisation at exactly _pivotValues, never refactorised: a sweep that returns to
    // those values (a solve from the same start) solves with it instead of factorising.
    klu_numeric* _pAtPivots = nullptr;
    bool _useAtPivots = false;
    FactorStats _stats;
    // Reciprocal condition estimate when the pivots were last chosen, and the values then.
    double _rcondOfPivots = 0.0;
    std::vector<T> _pivotValues;
    td::INT4 _n;
    bool _valuesChanged = true;
    bool _symbolicReused = false;
    bool _pivotAfresh = false;
    // The analysis held was made on the pattern as it stands (not given from outside).
    bool _analysisOwn = false;
};

extern template class KluSolver<double>;
extern template class KluSolver<std::complex<double>>;
} // namespace sparse
