// Plot statements: each linePlot block of the main model's Plots group becomes a figure
// definition of the figure evaluator that started the build, with its curves, marker lines,
// bands, sampling condition and x value compiled over the evaluator's solver.
#pragma once

#include <complex>

#include <sc/TokenizedModel.h>
#include <td/Types.h>

#include "BuildState.h"
#include "FigureDefinition.h"
#include "UsedVariables.h"

namespace sl
{
template <typename T> class PlotReader
{
public:
    using Iterator = sc::TokenizedModel::iterator;

    // The figure entry: owns the used-variable sets its statements collect into.
    explicit PlotReader(BuildState<T>& state) : _s(state), _used(state) {}
    PlotReader(const PlotReader&) = delete;
    PlotReader& operator=(const PlotReader&) = delete;

    // The definitions of the main model's plot statements, appended to the list of the
    // figure evaluator that the context carries; the context is bound to the evaluator's
    // solver, whose counts the builder takes. False at the first statement that fails
    // (the definitions before it stay).
    bool initFigure(const sc::TokenizedModel& model, SolverData<T>& data);
    // One plot block at it, which is left on the block's end line (or where it stopped):
    // at most one definition, its legend count in legendCount. False after a key.
    bool buildPlots(const sc::TokenizedModel& model, Iterator& it, td::UINT2& legendCount);
    // The style of a curve or marker line; range 1 reads minX and maxX into min and max,
    // range 2 minY and maxY, range 0 neither.
    static void readPlotItem(const Iterator& it, PlotItemStyle& style, td::BYTE range);
    static void readPlotBand(const Iterator& it, PlotBand& band, td::BYTE range);

private:
    // The item at it (its keyword, << or ->, the expression) into out; false after its
    // own key or else keyOnFailure at the item's keyword.
    bool compilePlotItem(const Iterator& it, const sc::TokenizedModel& model, Evaluator<T>* out,
                         const char* keyOnFailure);
    // The items of a block whose header and item counts are read, from first to its end
    // line, into def; false after a key.
    bool buildPlotItems(const sc::TokenizedModel& model, Iterator first, FigureDefinition<T>& def);

    BuildState<T>& _s;
    UsedVariables<T> _used;
};

extern template class PlotReader<double>;
extern template class PlotReader<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using PlotReader = sl::PlotReader<double>;
}

namespace slCmplx
{
using PlotReader = sl::PlotReader<std::complex<double>>;
}
