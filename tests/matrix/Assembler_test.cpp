// The assembler's pattern bookkeeping against its contract, state by state: a first fill
// (not by rows, and by rows), a repeat on the fast path, a fill that grows the pattern, one
// that puts fewer cells, one that puts as many but not the same, begin within a fill, and a
// refill after each, each compared with a dense oracle of what the puts leave; then a
// shortened fill and a refill through the sparse solver.
#include <algorithm>
#include <complex>
#include <map>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <sparse/ISolver.h>

#include "Assembler.h"
#include "MatrixSupport.h"

namespace
{
using test::Cmplx;
using test::SolverHandle;
using test::val;

template <typename T> class Assembler : public ::testing::Test
{
};
using Builds = ::testing::Types<double, Cmplx>;
TYPED_TEST_SUITE(Assembler, Builds);

struct At
{
    int row;
    int col;
};

// What the contract makes of the same calls: the pattern holds every cell ever put; a put
// sets its cell, begin zeroes every cell, a cell a fill does not put keeps its value, and
// a refill is begin and the puts of the last ended fill with new values. A refill is
// refused unless a fill has ended and no other has been opened since, by begin or a put.
template <typename T> class Oracle
{
public:
    void begin()
    {
        for (auto& cell : _cells)
            cell.second = T(0);
        _puts.clear();
        _opened = true;
    }
    void put(At at, const T& value)
    {
        _cells[{at.row, at.col}] = value;
        _puts.push_back(at);
        _opened = true;
    }
    bool endFill()
    {
        const bool grew = _cells.size() != _endedSize;
        _endedSize = _cells.size();
        _lastFill = _puts;
        _puts.clear();
        _ended = true;
        _opened = false;
        return grew;
    }
    bool refill(const std::vector<T>& values)
    {
        if (!_ended || _opened || values.size() != _lastFill.size())
            return false;
        begin();
        for (std::size_t k = 0; k < values.size(); ++k)
            put(_lastFill[k], values[k]);
        return true;
    }

    const std::map<std::pair<int, int>, T>& cells() const { return _cells; }

private:
    std::map<std::pair<int, int>, T> _cells;
    std::vector<At> _puts;
    std::vector<At> _lastFill;
    std::size_t _endedSize = 0;
    bool _ended = false;
    bool _opened = false;
};

// An assembler and its oracle driven by the same calls.
template <typename T> class Pair
{
public:
    static constexpr int cRows = 5;
    static constexpr int cCols = 4;

    Pair() : _assembler(cRows, cCols, 2) {}

    void begin()
    {
        _assembler.begin();
        _oracle.begin();
    }
    // Puts the cells with values scale * (k + 1) for the k-th.
    void fill(const std::vector<At>& cells, double scale)
    {
        for (std::size_t k = 0; k < cells.size(); ++k)
        {
            const T value = val<T>(scale * static_cast<double>(k + 1), 0.5 * static_cast<double>(k));
            _assembler.put(cells[k].row, cells[k].col, value);
            _oracle.put(cells[k], value);
        }
    }
    // Ends the fill in both and compares them; whether the pattern grew.
    bool endFill()
    {
        const bool grew = _assembler.endFill();
        EXPECT_EQ(grew, _oracle.endFill());
        expectSame();
        return grew;
    }
    // A fill of the cells, ended; whether the pattern grew.
    bool fillAndEnd(const std::vector<At>& cells, double scale)
    {
        fill(cells, scale);
        return endFill();
    }
    // A refill of n values, ended: taken, and the pattern the same.
    void refillAndEnd(std::size_t n, double scale)
    {
        EXPECT_TRUE(refill(n, scale));
        EXPECT_FALSE(endFill());
    }
    // A refill of n values, in both; whether it was taken.
    bool refill(std::size_t n, double scale)
    {
        std::vector<T> values;
        for (std::size_t k = 0; k < n; ++k)
            values.push_back(val<T>(-scale * static_cast<double>(k + 1), scale));
        const bool taken = _assembler.refill(values.data(), n);
        EXPECT_EQ(taken, _oracle.refill(values));
        return taken;
    }

    // The pattern column by column with rows ascending, each cell found at its slot, and
    // its values those of the oracle.
    void expectSame() const
    {
        const td::INT4* colStart = _assembler.colStart();
        const td::INT4* rowIndex = _assembler.rowIndex();
        const T* values = _assembler.values();
        ASSERT_EQ(_assembler.nonZeros(), static_cast<td::INT4>(_oracle.cells().size()));
        std::vector<std::pair<int, int>> byColumn;
        for (const auto& cell : _oracle.cells())
            byColumn.push_back({cell.first.second, cell.first.first});
        std::sort(byColumn.begin(), byColumn.end());
        std::size_t k = 0;
        for (int c = 0; c < cCols; ++c)
        {
            for (td::INT4 slot = colStart[c]; slot < colStart[c + 1]; ++slot, ++k)
            {
                ASSERT_LT(k, byColumn.size());
                EXPECT_EQ(byColumn[k].first, c);
                EXPECT_EQ(rowIndex[slot], byColumn[k].second) << "column " << c;
                const std::pair<int, int> at{rowIndex[slot], c};
                EXPECT_EQ(_assembler.find(at.first, at.second), slot);
                EXPECT_EQ(values[slot], _oracle.cells().at(at)) << at.first << "," << at.second;
            }
        }
        for (int r = 0; r < cRows; ++r)
        {
            for (int c = 0; c < cCols; ++c)
            {
                if (!_oracle.cells().count({r, c}))
                {
                    EXPECT_EQ(_assembler.find(r, c), -1) << r << "," << c;
                }
            }
        }
    }

private:
    sparse::Assembler<T> _assembler;
    Oracle<T> _oracle;
};

// The cells of a first fill, not by rows, one of them twice.
const std::vector<At> cFirst = {{3, 1}, {0, 0}, {4, 3}, {1, 1}, {0, 0}, {2, 3}, {1, 0}};

TYPED_TEST(Assembler, AFirstFillAndARepeatOnTheFastPathKeepThePatternAndItsValues)
{
    Pair<TypeParam> p;
    EXPECT_FALSE(p.refill(0, 1.0)) << "nothing has ended yet";
    EXPECT_TRUE(p.fillAndEnd(cFirst, 1.0));
    // The same cells in the same order, without begin, then a refill, a second refill
    // and a repeat after them.
    EXPECT_FALSE(p.fillAndEnd(cFirst, 2.0));
    p.refillAndEnd(cFirst.size(), 3.0);
    p.refillAndEnd(cFirst.size(), 4.0);
    EXPECT_FALSE(p.fillAndEnd(cFirst, 5.0));
}

// A first fill row by row, as a Jacobian's walk makes it, takes a road of its own: each
// cell straight to its slot, columns met out of order within a row. The pattern, its
// values and the refills after it are what the contract says; so are they when a cell is
// put twice, right after itself or later in its row.
TYPED_TEST(Assembler, AFirstFillByRowsKeepsThePatternAndItsValues)
{
    const std::vector<At> byRows = {{0, 3}, {0, 0}, {1, 1}, {1, 0}, {1, 3}, {2, 2}, {3, 0}, {3, 1}, {4, 3}, {4, 2}};
    {
        Pair<TypeParam> p;
        EXPECT_TRUE(p.fillAndEnd(byRows, 1.0));
        p.refillAndEnd(byRows.size(), 2.0);
        EXPECT_FALSE(p.fillAndEnd(byRows, 3.0));
        // A fill that grows the pattern after the first one.
        std::vector<At> grown = byRows;
        grown.insert(grown.begin() + 3, {{1, 2}, {2, 1}});
        EXPECT_TRUE(p.fillAndEnd(grown, 4.0));
        p.refillAndEnd(grown.size(), 5.0);
    }
    for (const std::vector<At>& twice : {std::vector<At>{{0, 3}, {0, 3}, {1, 1}, {2, 1}, {2, 0}},
                                         std::vector<At>{{0, 3}, {0, 0}, {0, 3}, {2, 1}, {3, 1}, {3, 2}, {3, 1}}})
    {
        Pair<TypeParam> p;
        EXPECT_TRUE(p.fillAndEnd(twice, 1.0));
        p.refillAndEnd(twice.size(), 2.0);
    }
}

TYPED_TEST(Assembler, AFillThatGrowsThePatternMovesItsSlotsAndRefillsThere)
{
    Pair<TypeParam> p;
    p.fillAndEnd(cFirst, 1.0);
    // New cells in the middle of the fill, by rows (one twice), then a refill.
    std::vector<At> grown = cFirst;
    grown.insert(grown.begin() + 2, {{0, 2}, {2, 0}, {2, 0}, {4, 1}});
    EXPECT_TRUE(p.fillAndEnd(grown, 2.0));
    p.refillAndEnd(grown.size(), 3.0);
    // New cells not by rows, after begin, then a refill.
    p.begin();
    std::vector<At> regrown = grown;
    regrown.insert(regrown.end(), {{3, 2}, {0, 3}, {3, 0}});
    EXPECT_TRUE(p.fillAndEnd(regrown, 4.0));
    p.refillAndEnd(regrown.size(), 5.0);
    // A refill continued by a put of a new cell ends as a fill that grew, and is
    // refilled whole.
    ASSERT_TRUE(p.refill(regrown.size(), 6.0));
    EXPECT_TRUE(p.fillAndEnd({{4, 0}}, 7.0));
    p.refillAndEnd(regrown.size() + 1, 8.0);
}

TYPED_TEST(Assembler, ARefillAfterAFillOfFewerCellsZeroesTheCellsItDoesNotPut)
{
    Pair<TypeParam> p;
    p.fillAndEnd(cFirst, 1.0);
    // The first cells of the fill alone, without begin: the others keep their values. The
    // refill after it is begin and those puts: the cells left out are zero.
    const std::vector<At> shortened(cFirst.begin(), cFirst.begin() + 3);
    EXPECT_FALSE(p.fillAndEnd(shortened, 2.0));
    p.refillAndEnd(shortened.size(), 3.0);
    EXPECT_FALSE(p.refill(cFirst.size(), 4.0)) << "the last fill put fewer cells";
    // A fill that puts every cell again, and a refill after it.
    EXPECT_FALSE(p.fillAndEnd(cFirst, 8.0));
    p.refillAndEnd(cFirst.size(), 9.0);
}

TYPED_TEST(Assembler, ARefillAfterAFillOfOtherCellsZeroesTheCellsItDoesNotPut)
{
    // As many puts as the pattern has cells, one cell twice in place of another, without
    // begin: the refill zeroes the cell no longer put.
    Pair<TypeParam> p;
    const std::vector<At> distinct = {{3, 1}, {0, 0}, {4, 3}, {1, 1}, {2, 3}, {1, 0}};
    EXPECT_TRUE(p.fillAndEnd(distinct, 1.0));
    std::vector<At> other = distinct;
    other[2] = other[1];
    EXPECT_FALSE(p.fillAndEnd(other, 2.0));
    p.refillAndEnd(other.size(), 3.0);
}

TYPED_TEST(Assembler, AFillUnderWayRefusesARefillAndBeginRestartsIt)
{
    Pair<TypeParam> p;
    p.fillAndEnd(cFirst, 1.0);
    // begin opens a fill: a refill is refused until it ends.
    p.begin();
    EXPECT_FALSE(p.refill(cFirst.size(), 1.5));
    EXPECT_FALSE(p.fillAndEnd(cFirst, 1.5));
    // A put of a known cell, and puts of new cells, each refuse a refill until the fill
    // ends.
    p.fill({cFirst[0]}, 2.0);
    EXPECT_FALSE(p.refill(cFirst.size(), 3.0));
    p.fill({{4, 2}, {2, 2}}, 4.0);
    EXPECT_FALSE(p.refill(cFirst.size(), 5.0));
    // begin with new cells held: they stay put, at zero, and the fill starts over. A cell
    // held at a step is put there again by a search, and one not put again stays zero.
    p.begin();
    EXPECT_FALSE(p.refill(cFirst.size(), 6.0));
    EXPECT_TRUE(p.fillAndEnd({{3, 3}, {4, 2}, {3, 3}}, 7.0));
    ASSERT_TRUE(p.refill(3, 8.0));
    EXPECT_FALSE(p.refill(3, 9.0)) << "a refill is a fill under way";
    EXPECT_FALSE(p.endFill());
    // begin after puts that changed the steps: the refill would not repeat the last fill.
    p.begin();
    p.fill({{4, 2}}, 10.0);
    p.begin();
    EXPECT_FALSE(p.refill(3, 11.0));
    EXPECT_FALSE(p.fillAndEnd({{4, 2}, {3, 3}, {4, 2}}, 12.0));
}

// Through the sparse solver: a fill of three cells, a fill of the first two without
// begin (the third keeps its value), and a refill of those two, which is begin and their
// puts: [2 0; 0 1] x = (2, 1) gives x = (1, 1).
TYPED_TEST(Assembler, TheSolverSolvesARefillAfterAShortenedFillWithoutTheCellLeftOut)
{
    using T = TypeParam;
    SolverHandle<T> solver(2);
    const T two = val<T>(2), one = val<T>(1);
    solver->put(0, 0, &two);
    solver->put(1, 1, &one);
    solver->put(0, 1, &one);
    ASSERT_TRUE(solver->factorise());
    solver->put(0, 0, &two);
    solver->put(1, 1, &one);
    ASSERT_TRUE(solver->factorise());
    const T values[] = {two, one};
    ASSERT_TRUE(solver->refill(values, 2));
    ASSERT_TRUE(solver->factorise());
    const T b[] = {two, one};
    T x[2];
    ASSERT_TRUE(solver->solve(b, x));
    EXPECT_LT(std::abs(x[0] - one), 1e-14);
    EXPECT_LT(std::abs(x[1] - one), 1e-14);
}
} // namespace
