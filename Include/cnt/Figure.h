// One recorded figure as the figure evaluator hands it out: the x axis and the curves with
// their points, marker lines and bands, bounds and texts. A plain value: copies are deep.
#pragma once

#include <cfloat>
#include <cstring>
#include <memory>

#include <cnt/SafeFullVector.h>
#include <mu/GraphicNames.h>
#include <td/Assert.h>
#include <td/String.h>
#include <td/Types.h>

namespace cnt
{
// Points of one axis: the room is made once, appends beyond it are refused by assertion.
class FigurePoints
{
public:
    FigurePoints() = default;
    FigurePoints(const FigurePoints& other) { copyFrom(other); }
    FigurePoints(FigurePoints&& other) noexcept = default;
    FigurePoints& operator=(const FigurePoints& other)
    {
        if (this != &other)
            copyFrom(other);
        return *this;
    }
    FigurePoints& operator=(FigurePoints&& other) noexcept = default;

    // Empties the array and makes room for exactly capacity points.
    void reserve(td::UINT4 capacity)
    {
        _data.reset(capacity > 0 ? new double[capacity] : nullptr);
        _capacity = capacity;
        _size = 0;
    }
    void append(double value)
    {
        TD_ASSERT(_size < _capacity);
        _data[_size++] = value;
    }
    double operator[](td::UINT4 pos) const
    {
        TD_ASSERT(pos < _size);
        return _data[pos];
    }
    td::UINT4 size() const { return _size; }
    td::UINT4 capacity() const { return _capacity; }
    const double* data() const { return _data.get(); }

private:
    void copyFrom(const FigurePoints& other)
    {
        reserve(other._capacity);
        if (other._size > 0)
            std::memcpy(_data.get(), other._data.get(), other._size * sizeof(double));
        _size = other._size;
    }

    std::unique_ptr<double[]> _data;
    td::UINT4 _capacity = 0;
    td::UINT4 _size = 0;
};

// How a curve or a marker line is drawn.
struct FigureStyle
{
    float width = 2.0f;
    td::ColorID colorL = td::cDefaultColor;
    td::ColorID colorD = td::cDefaultColor;
    // A td::LinePattern code.
    td::BYTE pattern = 0;
};

class Figure
{
public:
    struct XAxis
    {
        td::String label;
        FigurePoints points;
    };

    struct YAxis
    {
        td::String label;
        FigurePoints points;
        FigureStyle style;
    };

    // A horizontal line at position, drawn from min to max along x (a vertical one: y).
    struct Line
    {
        double position = 0;
        td::String name;
        double min = -DBL_MAX;
        double max = DBL_MAX;
        FigureStyle style;
        bool legend = true;
    };

    // A horizontal band of width around position, from min to max along x (vertical: y).
    struct Band
    {
        td::String name;
        double min = -DBL_MAX;
        double max = DBL_MAX;
        double position = 0;
        double width = 1.0;
        td::ColorID colorL = td::cDefaultColor;
        td::ColorID colorD = td::cDefaultColor;
        bool legend = true;
    };

    XAxis& xAxis() { return _xAxis; }
    const XAxis& xAxis() const { return _xAxis; }
    SafeFullVector<YAxis>& yAxes() { return _yAxes; }
    const SafeFullVector<YAxis>& yAxes() const { return _yAxes; }
    YAxis& yAxis(td::INT4 yAxisIndex)
    {
        // The index is compared unsigned once it is known not to be negative.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wsign-compare"
        TD_ASSERT(yAxisIndex >= 0 && yAxisIndex < static_cast<td::UINT4>(_yAxes.size()));
#pragma GCC diagnostic pop
        return _yAxes[static_cast<std::size_t>(yAxisIndex)];
    }
    const YAxis& yAxis(td::INT4 yAxisIndex) const { return const_cast<Figure*>(this)->yAxis(yAxisIndex); }

    SafeFullVector<Line>& hLines() { return _hLines; }
    const SafeFullVector<Line>& hLines() const { return _hLines; }
    SafeFullVector<Line>& vLines() { return _vLines; }
    const SafeFullVector<Line>& vLines() const { return _vLines; }
    SafeFullVector<Band>& hBands() { return _hBands; }
    const SafeFullVector<Band>& hBands() const { return _hBands; }
    SafeFullVector<Band>& vBands() { return _vBands; }
    const SafeFullVector<Band>& vBands() const { return _vBands; }

    void setBounds(double xMin, double yMin, double xMax, double yMax)
    {
        _xMin = xMin;
        _yMin = yMin;
        _xMax = xMax;
        _yMax = yMax;
    }
    double xMin() const { return _xMin; }
    double yMin() const { return _yMin; }
    double xMax() const { return _xMax; }
    double yMax() const { return _yMax; }

    td::String& title() { return _title; }
    const td::String& title() const { return _title; }
    td::String& yLabel() { return _yLabel; }
    const td::String& yLabel() const { return _yLabel; }

    // Entries the legend shows: curves, marker lines and horizontal bands that ask for one.
    td::UINT2 legendCount() const { return _legendCount; }
    void setLegendCount(td::UINT2 n) { _legendCount = n; }
    td::UINT2 secondCount() const { return _secondCount; }
    void setSecondCount(td::UINT2 n) { _secondCount = n; }

private:
    XAxis _xAxis;
    SafeFullVector<YAxis> _yAxes;
    SafeFullVector<Line> _hLines;
    SafeFullVector<Line> _vLines;
    SafeFullVector<Band> _hBands;
    SafeFullVector<Band> _vBands;
    double _xMin = -DBL_MAX;
    double _yMin = -DBL_MAX;
    double _xMax = DBL_MAX;
    double _yMax = DBL_MAX;
    td::String _title;
    td::String _yLabel;
    td::UINT2 _legendCount = 0;
    td::UINT2 _secondCount = 0;
};
} // namespace cnt
