// The figure evaluator: records the plot statements of a loaded model while a host solves
// or steps it, and hands the recordings out as figures. Real and complex.
#pragma once

#include <complex>

#include <cnt/Figure.h>
#include <cnt/PushBackVector.h>
#include <sc/EqnKitAPI.h>
#include <sc/ISolver.h>

namespace sc
{
class TokenizedModel;

// Made by createDblPlotEvaluator or createCmplxPlotEvaluator (SolverFactories.h) and
// ended by release. The solver given to init must stay alive, with the same model, until
// then. Hosts call it through its table, so the order of the five operations is fixed.
template <typename T> class EQNKIT_API IFigureEvaluator
{
public:
    // Builds the figure definitions of the model's plot statements over the solver, which
    // must have built the same model. Earlier definitions and their samples are dropped
    // first. False for a null solver, one not made by this library, one without a built
    // model, or a plot statement that does not build (its messages go to the solver's
    // logger; the definitions before it stay).
    virtual bool init(const TokenizedModel& model, ISolver<T>* pSolver) = 0;
    // Takes one sample of every figure at the solver's current values; always true.
    virtual bool evaluate() = 0;
    // Drops the samples (their memory is kept for the next run).
    virtual void clearSeries() = 0;
    // Destroys the evaluator.
    virtual void release() = 0;
    // Replaces the list's figures with one figure per definition that has samples;
    // false (the list untouched) when there are no definitions.
    virtual bool buildFigures(cnt::PushBackVector<cnt::Figure>& figures) = 0;

protected:
    ~IFigureEvaluator() = default;
};
} // namespace sc
