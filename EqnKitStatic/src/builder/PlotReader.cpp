#include "PlotReader.h"

#include <sc/MessageKeys.h>

#include "FigureDefinition.h"
#include "StatementReader.h"

namespace sl
{
namespace msg = sc::msg;
using R = sc::ReservedID;

namespace
{
using Iterator = sc::TokenizedModel::iterator;

constexpr int word(R id) { return static_cast<int>(sc::idx(id)); }

// Column of the line's first token; 1 for an empty line.
td::UINT4 firstColumn(const Iterator& it)
{
    const sc::_tl& l = it.line();
    return l.nExpr > 0 ? (*it.pExprTokens)[l.firstExpr].column : 1;
}

// A copy of a text attribute; empty when absent.
td::String text(const Iterator& it, sc::AttribID id)
{
    const td::PoolString* p = it.findAttrib(id);
    return p ? td::String(p->c_str(), p->length()) : td::String();
}

// A colour word's code; the default colour for anything else.
td::ColorID color(const Iterator& it, sc::AttribID id)
{
    const sc::_TokV* p = it.attrib(id);
    return p && p->kind == sc::Token::Color ? p->value[0] : td::cDefaultColor;
}

// A pattern word's code, or a text read as one; 0 for none, an unknown text or any other
// value (an unknown word reads 0 as the front end stores it).
td::BYTE pattern(const Iterator& it)
{
    const sc::_TokV* p = it.attrib(sc::AttribID::Pattern);
    if (!p)
        return 0;
    if (p->kind == sc::Token::LinePattern)
        return p->value[0];
    if (p->kind != sc::Token::String)
        return 0;
    const td::LinePattern code = td::toLinePattern(text(it, sc::AttribID::Pattern));
    return code == td::LinePattern::NotSet ? 0 : static_cast<td::BYTE>(code);
}

void readRange(const Iterator& it, td::BYTE range, double& min, double& max)
{
    if (range == 1)
    {
        it.getAttrib(sc::AttribID::MinX, min);
        it.getAttrib(sc::AttribID::MaxX, max);
    }
    else if (range == 2)
    {
        it.getAttrib(sc::AttribID::MinY, min);
        it.getAttrib(sc::AttribID::MaxY, max);
    }
}

bool readLegend(const Iterator& it)
{
    bool legend = true;
    it.getAttrib(sc::AttribID::Legend, legend);
    return legend;
}

// The items of a block, counted in the first pass over it.
struct ItemCounts
{
    td::UINT4 y = 0;
    td::UINT4 hLines = 0;
    td::UINT4 vLines = 0;
};

// The name, axis labels and bounds of a block's header line.
template <typename T> void readHeader(const Iterator& it, FigureDefinition<T>& def)
{
    def.name = text(it, sc::AttribID::Name);
    def.xLabel = text(it, sc::AttribID::XLabel);
    def.yLabel = text(it, sc::AttribID::YLabel);
    it.getAttrib(sc::AttribID::MinX, def.xMin);
    it.getAttrib(sc::AttribID::MaxX, def.xMax);
    it.getAttrib(sc::AttribID::MinY, def.yMin);
    it.getAttrib(sc::AttribID::MaxY, def.yMax);
}

// The first pass over a block's items from it to its end line: the block must close, with
// at most one @cond and one @x. The key of the first fault, or null, at the line and column
// of the last line read.
const char* countItems(Iterator& it, ItemCounts& counts, td::UINT4& line, td::UINT4& column)
{
    bool hasCondition = false, hasX = false;
    for (;; ++it)
    {
        if (it.atEnd())
            return msg::scPlotPremEnd;
        line = it.line().line;
        column = firstColumn(it);
        const int item = reservedWord(it);
        if (item == word(R::End))
            return nullptr;
        if (item == word(R::HLine))
            ++counts.hLines;
        else if (item == word(R::VLine))
            ++counts.vLines;
        else if (item == word(R::Y))
            ++counts.y;
        else if (item == word(R::Cond) || item == word(R::X))
        {
            bool& seen = item == word(R::Cond) ? hasCondition : hasX;
            if (seen)
                return item == word(R::Cond) ? msg::scSecondCondInPlot : msg::scSecondXAxisInPlot;
            seen = true;
        }
        else if (item != word(R::HBand) && item != word(R::VBand))
            return msg::scWrongPlotAttrib;
    }
}
} // namespace

template <typename T> bool PlotReader<T>::initFigure(const sc::TokenizedModel& model, SolverData<T>& data)
{
    TD_ASSERT(&data == &_s.data());
    TD_ASSERT(data.pSolver && data.pFigureEvaluator);
    const td::UINT4 nVars = data.pSolver->getNumberOfVariables();
    _s.parser.setNumberOfSymbols(nVars, data.pSolver->getNumberOfParameters());
    _used.reserve(nVars);
    _used.bind(data);

    FigureDefinitions<T>& definitions = data.pFigureEvaluator->getFigureDefinitions();
    Iterator it = model.getGroup(sc::Group::Plots, sc::ModelLevel::Main);
    if (it.atEnd())
        return true;
    // From the group's own line to its statements.
    for (++it; !it.atEnd(); ++it)
    {
        const std::size_t before = definitions.size();
        td::UINT2 legendCount = 0;
        if (!buildPlots(model, it, legendCount))
            return false;
        if (definitions.size() > before)
            definitions.back().legendCount = legendCount;
    }
    return true;
}

template <typename T>
bool PlotReader<T>::buildPlots(const sc::TokenizedModel& model, Iterator& it, td::UINT2& legendCount)
{
    legendCount = 0;
    const td::UINT4 headLine = it.line().line;
    const int head = reservedWord(it);
    if (head < 0)
        return _s.lineError(msg::scWrongPlotToken, Place{headLine, firstColumn(it)});
    const td::UINT4 headColumn = firstColumn(it);
    if (head != word(R::LinePlot))
        return _s.lineError(msg::scWrongPlotTokenRKW, Place{headLine, headColumn});

    FigureDefinition<T> def;
    readHeader(it, def);
    if (!(def.xMin < def.xMax))
        _s.lineWarning(msg::scWrongPlotXBounds, Place{headLine, headColumn});
    if (!(def.yMin < def.yMax))
        _s.lineWarning(msg::scWrongPlotYBounds, Place{headLine, headColumn});

    ++it;
    if (!it.atEnd() && reservedWord(it) == word(R::End))
    {
        _s.lineWarning(msg::scEmptyPlot, Place{it.line().line, firstColumn(it)});
        return true;
    }
    const Iterator first = it;
    ItemCounts counts;
    td::UINT4 lastLine = headLine;
    td::UINT4 lastColumn = headColumn;
    if (const char* key = countItems(it, counts, lastLine, lastColumn))
        return _s.lineError(key, Place{lastLine, lastColumn});
    if (counts.y == 0)
    {
        _s.lineWarning(msg::scPlotNoYAxis, Place{headLine, headColumn});
        return true;
    }

    def.yValues.reserve(counts.y);
    def.curveStyles.reserve(counts.y);
    def.hLineValues.reserve(counts.hLines);
    def.hLines.reserve(counts.hLines);
    def.vLineValues.reserve(counts.vLines);
    def.vLines.reserve(counts.vLines);
    if (!buildPlotItems(model, first, def))
        return false;
    legendCount = def.legendCount;
    _s.data().pFigureEvaluator->getFigureDefinitions().push(std::move(def));
    return true;
}

template <typename T>
bool PlotReader<T>::buildPlotItems(const sc::TokenizedModel& model, Iterator line, FigureDefinition<T>& def)
{
    SolverData<T>& d = _s.data();
    td::UINT2 legends = 0;
    for (; !line.atEnd(); ++line)
    {
        const int item = reservedWord(line);
        if (item == word(R::End))
            break;
        if (item == word(R::Cond) || item == word(R::X))
        {
            const bool cond = item == word(R::Cond);
            if (!compilePlotItem(line, model, cond ? &def.condition : &def.x,
                                 cond ? msg::scPlotCondErr : msg::scPlotAxisErr))
                return false;
            (cond ? def.hasCondition : def.hasX) = true;
            continue;
        }
        Evaluator<T>* pValue = d.newEvaluator();
        if (item == word(R::Y))
        {
            if (!compilePlotItem(line, model, pValue, msg::scPlotYAxisErr))
                return false;
            def.yValues.push(pValue);
            PlotItemStyle& style = def.curveStyles.emplace();
            style = PlotItemStyle();
            readPlotItem(line, style, 0);
            legends += style.legend;
        }
        else if (item == word(R::HLine) || item == word(R::VLine))
        {
            const bool h = item == word(R::HLine);
            if (!compilePlotItem(line, model, pValue, h ? msg::scPlotHLineErr : msg::scPlotVLineErr))
                return false;
            (h ? def.hLineValues : def.vLineValues).push(pValue);
            PlotLine& marker = (h ? def.hLines : def.vLines).emplace();
            marker = PlotLine();
            readPlotItem(line, marker.style, h ? 1 : 2);
            legends += marker.style.legend;
        }
        else if (item == word(R::HBand) || item == word(R::VBand))
        {
            const bool h = item == word(R::HBand);
            if (!compilePlotItem(line, model, pValue, h ? msg::scPlotHBandErr : msg::scPlotVBandErr))
                return false;
            (h ? def.hBandValues : def.vBandValues).push(pValue);
            PlotBand& band = (h ? def.hBands : def.vBands).emplace();
            band = PlotBand();
            readPlotBand(line, band, h ? 1 : 2);
            // Vertical bands have no legend entry.
            legends += h && band.legend;
        }
        else
            return _s.lineError(msg::scWrongPlotAttrib, Place{line.line().line, firstColumn(line)});
    }
    def.legendCount = legends;
    return true;
}

template <typename T> bool PlotReader<T>::compilePlotItem(const Iterator& it, const sc::TokenizedModel& model,
                                                          Evaluator<T>* out, const char* keyOnFailure)
{
    Iterator line = it;
    if (StatementReader<T>(_s, _used).buildStatements(line, model, out, sc::Group::Plots) != StatementResult::Failed)
        return true;
    return _s.lineError(keyOnFailure, Place{it.line().line, firstColumn(it)});
}

template <typename T> void PlotReader<T>::readPlotItem(const Iterator& it, PlotItemStyle& style, td::BYTE range)
{
    style.name = text(it, sc::AttribID::Name);
    double width = 0;
    if (it.getAttrib(sc::AttribID::Width, width))
        style.width = static_cast<float>(width);
    style.colorL = color(it, sc::AttribID::ColorL);
    style.colorD = color(it, sc::AttribID::ColorD);
    style.pattern = pattern(it);
    style.legend = readLegend(it);
    readRange(it, range, style.min, style.max);
}

template <typename T> void PlotReader<T>::readPlotBand(const Iterator& it, PlotBand& band, td::BYTE range)
{
    band.name = text(it, sc::AttribID::Name);
    it.getAttrib(sc::AttribID::Width, band.width);
    band.colorL = color(it, sc::AttribID::ColorL);
    band.colorD = color(it, sc::AttribID::ColorD);
    band.legend = readLegend(it);
    readRange(it, range, band.min, band.max);
}

template class PlotReader<double>;
template class PlotReader<std::complex<double>>;
} // namespace sl
