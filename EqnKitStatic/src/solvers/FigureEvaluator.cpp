#include "FigureEvaluator.h"

#include <sc/TokenizedModel.h>

#include "RPNDerivParser.h"

namespace sl
{
namespace
{
// A sampling condition holds unless it is exactly zero (a NaN holds); a complex one
// unless both parts are.
bool holds(double c) { return c != 0.0; }
bool holds(const std::complex<double>& c) { return c.real() != 0.0 || c.imag() != 0.0; }

cnt::FigureStyle figureStyle(const PlotItemStyle& style)
{
    return {style.width, style.colorL, style.colorD, style.pattern};
}
} // namespace

template <typename T> void FigureEvaluator<T>::discard()
{
    _definitions.reserve(0);
    _pSolver = nullptr;
    _pSymbolVals = nullptr;
    _nVars = _nParams = 0;
}

template <typename T> bool FigureEvaluator<T>::init(const sc::TokenizedModel& model, sc::ISolver<T>* pSolver)
{
    // Earlier definitions were compiled for another build: none survives a new init.
    discard();
    Solver<T>* pOwn = dynamic_cast<Solver<T>*>(pSolver);
    if (!pOwn || !pOwn->isBuilt())
        return false;
    SolverStores<T>& stores = pOwn->getStores();
    if (stores.values.size() == 0 || stores.values.capacity() < stores.nVars + stores.nParams)
        return false;
    _pSolver = pOwn;
    _pSymbolVals = stores.values.data();
    _nVars = stores.nVars;
    _nParams = stores.nParams;
    const td::UINT4 nStatements = model.getNumberOfExpressions(sc::Group::Plots, sc::ModelLevel::Main);
    if (nStatements == 0)
        return true;
    _definitions.reserve(nStatements);

    // A build context over the solver's stores that leaves its compiled model as it is:
    // the plot items take further records from its pools.
    RPNDerivParser<T> builder(stores);
    SolverData<T> data(stores, *pOwn);
    builder.bindSolverData(data);
    data.pFigureEvaluator = this;
    data.namingIndex = model.getNamingIndex();
    bool simplify = true;
    model.getGroup(sc::Group::Model, sc::ModelLevel::Main).getAttrib(sc::AttribID::Simplify, simplify);
    data.treeOption = simplify ? 1 : 0;
    if constexpr (ValueTraits<T>::isComplex)
        builder.setConjugatePartners(stores.settings.conjugatePartners != 0);
    return builder.initFigure(model, data);
}

template <typename T> bool FigureEvaluator<T>::evaluate()
{
    if (_definitions.empty())
        return true;
    TD_ASSERT(_pSymbolVals);
    CU<T> cu(_pSymbolVals, _pSymbolVals + _nVars, _pSolver);
    for (FigureDefinition<T>& def : _definitions)
        sample(cu, def);
    return true;
}

template <typename T> void FigureEvaluator<T>::sample(CU<T>& cu, FigureDefinition<T>& def)
{
    if (def.hasCondition && !holds(cu.evaluate(def.condition)))
        return;
    // Marker positions are taken at the first sample of a series.
    if (def.nSamples == 0)
    {
        for (std::size_t i = 0; i < def.hLines.size(); ++i)
            def.hLines[i].position = realPart(cu.evaluate(*def.hLineValues[i]));
        for (std::size_t i = 0; i < def.vLines.size(); ++i)
            def.vLines[i].position = realPart(cu.evaluate(*def.vLineValues[i]));
        for (std::size_t i = 0; i < def.hBands.size(); ++i)
            def.hBands[i].position = realPart(cu.evaluate(*def.hBandValues[i]));
        for (std::size_t i = 0; i < def.vBands.size(); ++i)
            def.vBands[i].position = realPart(cu.evaluate(*def.vBandValues[i]));
    }
    def.samples.append(def.hasX ? realPart(cu.evaluate(def.x)) : static_cast<double>(def.nSamples));
    for (const Evaluator<T>* pY : def.yValues)
        def.samples.append(realPart(cu.evaluate(*pY)));
    ++def.nSamples;
}

template <typename T> void FigureEvaluator<T>::clearSeries()
{
    for (FigureDefinition<T>& def : _definitions)
    {
        def.nSamples = 0;
        def.samples.clear();
    }
}

template <typename T> bool FigureEvaluator<T>::buildFigures(cnt::PushBackVector<cnt::Figure>& figures)
{
    if (_definitions.empty())
        return false;
    figures.reserve(0);
    figures.reserve(_definitions.size());
    for (const FigureDefinition<T>& def : _definitions)
    {
        if (def.nSamples == 0)
            continue;
        cnt::Figure& figure = figures.emplace();
        figure = cnt::Figure();
        fill(figure, def);
    }
    return true;
}

template <typename T> void FigureEvaluator<T>::fill(cnt::Figure& figure, const FigureDefinition<T>& def)
{
    const td::UINT4 n = def.nSamples;
    figure.xAxis().label = def.xLabel.clone();
    figure.xAxis().points.reserve(n);
    const std::size_t nY = def.yValues.size();
    figure.yAxes().reserve(nY);
    for (std::size_t i = 0; i < nY; ++i)
    {
        cnt::Figure::YAxis& axis = figure.yAxes()[i];
        axis.label = def.curveStyles[i].name.clone();
        axis.style = figureStyle(def.curveStyles[i]);
        axis.points.reserve(n);
    }
    auto copyLines = [](cnt::SafeFullVector<cnt::Figure::Line>& out, const cnt::PushBackVector<PlotLine>& lines) {
        out.reserve(lines.size());
        for (std::size_t i = 0; i < lines.size(); ++i)
        {
            const PlotItemStyle& s = lines[i].style;
            out[i] = {lines[i].position, s.name.clone(), s.min, s.max, figureStyle(s), s.legend};
        }
    };
    copyLines(figure.hLines(), def.hLines);
    copyLines(figure.vLines(), def.vLines);
    auto copyBands = [](cnt::SafeFullVector<cnt::Figure::Band>& out, const cnt::PushBackVector<PlotBand>& bands) {
        out.reserve(bands.size());
        for (std::size_t i = 0; i < bands.size(); ++i)
        {
            out[i] = bands[i];
            out[i].name = bands[i].name.clone();
        }
    };
    copyBands(figure.hBands(), def.hBands);
    copyBands(figure.vBands(), def.vBands);
    figure.title() = def.name.clone();
    figure.yLabel() = def.yLabel.clone();
    figure.setBounds(def.xMin, def.yMin, def.xMax, def.yMax);
    figure.setLegendCount(def.legendCount);

    SampleBuffer::Reader reader(def.samples);
    for (td::UINT4 row = 0; row < n; ++row)
    {
        figure.xAxis().points.append(reader.next());
        for (std::size_t i = 0; i < nY; ++i)
            figure.yAxes()[i].points.append(reader.next());
    }
}

template class FigureEvaluator<double>;
template class FigureEvaluator<std::complex<double>>;
} // namespace sl
