// The figure evaluator: builds the figure definitions of a model's plot statements over
// a built solver, samples them at the solver's current values and hands out figures.
#pragma once

#include <complex>

#include <cnt/Figure.h>
#include <cnt/PushBackVector.h>
#include <sc/IFigureEvaluator.h>
#include <sc/ILog.h>

#include "CU.h"
#include "FigureDefinition.h"
#include "Solver.h"

namespace sl
{
// Owns its definitions and their samples; the evaluator records they use belong to the
// solver's pools, so the solver (with the same model) must outlive every call after init.
// Keeps only a pointer to the solver and to the logger. Made by the factories, ended by
// release.
template <typename T> class FigureEvaluator final : public sc::IFigureEvaluator<T>, public IFigureBuild<T>
{
public:
    explicit FigureEvaluator(sc::ILog* pLog) : _pLog(pLog) {}
    FigureEvaluator(const FigureEvaluator&) = delete;
    FigureEvaluator& operator=(const FigureEvaluator&) = delete;

    bool init(const sc::TokenizedModel& model, sc::ISolver<T>* pSolver) override;
    bool evaluate() override;
    void clearSeries() override;
    void release() override { delete this; }
    bool buildFigures(cnt::PushBackVector<cnt::Figure>& figures) override;

    FigureDefinitions<T>& getFigureDefinitions() override { return _definitions; }
    const FigureDefinitions<T>& getFigureDefinitions() const { return _definitions; }
    sc::ILog* getLog() const { return _pLog; }

private:
    ~FigureEvaluator() = default;

    // Drops the definitions and the solver they were built over.
    void discard();
    void sample(CU<T>& cu, FigureDefinition<T>& def);
    static void fill(cnt::Figure& figure, const FigureDefinition<T>& def);

    Solver<T>* _pSolver = nullptr;
    sc::ILog* _pLog;
    // The solver's values: variables, then parameters.
    T* _pSymbolVals = nullptr;
    FigureDefinitions<T> _definitions;
    td::UINT4 _nVars = 0;
    td::UINT4 _nParams = 0;
};

extern template class FigureEvaluator<double>;
extern template class FigureEvaluator<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using FigureEvaluator = sl::FigureEvaluator<double>;
}

namespace slCmplx
{
using FigureEvaluator = sl::FigureEvaluator<std::complex<double>>;
}
