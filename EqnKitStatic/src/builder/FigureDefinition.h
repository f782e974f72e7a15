// The figure definitions that the plot builder makes from a model's plot statements and
// the figure evaluator samples: curve styles, marker lines, bands and the sample rows.
#pragma once

#include <cfloat>
#include <complex>
#include <cstddef>

#include <cnt/Figure.h>
#include <cnt/PushBackVector.h>
#include <mu/GraphicNames.h>
#include <td/String.h>
#include <td/Types.h>

#include "Evaluator.h"

namespace sl
{
// Doubles appended to blocks of 4096 linked in a list, so that a long run never copies
// earlier samples. Emptying keeps the blocks, which are refilled from the first. Owns its
// blocks.
class SampleBuffer
{
public:
    static constexpr td::UINT4 cBlockLength = 4096;

private:
    struct Block
    {
        double values[cBlockLength];
        Block* pNext = nullptr;
    };

public:
    SampleBuffer() = default;
    SampleBuffer(const SampleBuffer&) = delete;
    SampleBuffer& operator=(const SampleBuffer&) = delete;
    SampleBuffer(SampleBuffer&& other) noexcept { take(other); }
    SampleBuffer& operator=(SampleBuffer&& other) noexcept
    {
        if (this != &other)
        {
            freeBlocks();
            take(other);
        }
        return *this;
    }
    ~SampleBuffer() { freeBlocks(); }

    void append(double value);
    void clear();
    // Doubles held.
    std::size_t size() const { return _count; }
    td::UINT4 getBlockCount() const { return _nBlocks; }

    // Reads the held doubles in the order they were appended.
    class Reader
    {
    public:
        explicit Reader(const SampleBuffer& buffer) : _pBlock(buffer._pFirst) {}
        double next();

    private:
        const Block* _pBlock;
        td::UINT4 _pos = 0;
    };

private:
    void take(SampleBuffer& other) noexcept;
    void freeBlocks();

    Block* _pFirst = nullptr;
    Block* _pCurrent = nullptr;
    std::size_t _count = 0;
    // Doubles in the current block.
    td::UINT4 _used = 0;
    td::UINT4 _nBlocks = 0;
};

// How a curve or a marker line is drawn; a marker line's extent is min to max.
struct PlotItemStyle
{
    td::String name;
    double min = -DBL_MAX;
    double max = DBL_MAX;
    float width = 2.0f;
    td::ColorID colorL = td::cDefaultColor;
    td::ColorID colorD = td::cDefaultColor;
    // A td::LinePattern code.
    td::BYTE pattern = 0;
    bool legend = true;
};

// A horizontal or vertical line at the value its expression had at the first sample.
struct PlotLine
{
    double position = 0;
    PlotItemStyle style;
};

// A band of width around the value its expression had at the first sample: the record a
// figure hands out, its position set at the first sample.
using PlotBand = cnt::Figure::Band;

// One plot block that produced a figure. The evaluators compute over the values of the
// solver the figure evaluator was initialised with; the records behind the pointers (and
// the code of the two held ones) live in that solver's pools. Texts are the definition's
// own copies.
template <typename T> struct FigureDefinition
{
    using Evaluators = cnt::PushBackVector<const Evaluator<T>*>;

    // Of @cond and @x; used only when the block has the item (hasCondition, hasX).
    Evaluator<T> condition;
    Evaluator<T> x;
    Evaluators hLineValues;
    Evaluators vLineValues;
    Evaluators hBandValues;
    Evaluators vBandValues;
    // One per @y, in the block's order.
    Evaluators yValues;
    cnt::PushBackVector<PlotLine> hLines;
    cnt::PushBackVector<PlotLine> vLines;
    cnt::PushBackVector<PlotBand> hBands;
    cnt::PushBackVector<PlotBand> vBands;
    // One per @y, in the order of yValues.
    cnt::PushBackVector<PlotItemStyle> curveStyles;
    // Rows of the x value followed by one value per curve.
    SampleBuffer samples;
    double xMin = -DBL_MAX;
    double yMin = -DBL_MAX;
    double xMax = DBL_MAX;
    double yMax = DBL_MAX;
    td::String name;
    td::String xLabel;
    td::String yLabel;
    td::UINT4 nSamples = 0;
    // Curves, marker lines and horizontal bands whose legend is on.
    td::UINT2 legendCount = 0;
    bool hasCondition = false;
    bool hasX = false;
};

template <typename T> using FigureDefinitions = cnt::PushBackVector<FigureDefinition<T>>;

// What the plot builder reaches of the figure evaluator that started it: the list it
// appends the definitions to.
template <typename T> class IFigureBuild
{
public:
    virtual FigureDefinitions<T>& getFigureDefinitions() = 0;

protected:
    ~IFigureBuild() = default;
};
} // namespace sl
