#include "RowBatches.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include <td/Assert.h>

namespace sl
{
template <typename T> void RowBatches<T>::clear()
{
    _shapes.clear();
    _batches.clear();
    _covered.clear();
    _nTemps = _depth = 0;
    _built = false;
}

template <typename T> void RowBatches<T>::build(const std::vector<Member>& members, td::UINT4 nRows)
{
    clear();
    _covered.assign(nRows, false);
    // The shapes by the hash of their units; the batch of each shape still taking rows, and
    // its rows.
    ShapeTable shapeOf;
    std::vector<td::UINT4> open, rowsOf;
    ShapeReader<T> reader;
    for (const Member& m : members)
    {
        if (!m.pCode || m.row >= nRows || !reader.read(m.pCode))
            continue;
        const td::UINT4 shape = shapeFor(reader, shapeOf);
        if (shape == ShapeTable::cNoShape)
            continue;
        if (shape == open.size())
        {
            open.push_back(UINT32_MAX);
            rowsOf.push_back(0);
        }
        ++rowsOf[shape];
        if (open[shape] == UINT32_MAX)
            open[shape] = openBatch(shape, cFirstCapacity);
        else if (RowBatch<T>& full = _batches[open[shape]]; full.nRows == full.capacity)
        {
            if (full.capacity < cBatchRows)
                widen(full, std::min(cBatchRows, 2 * full.capacity));
            else
                open[shape] = openBatch(shape, cBatchRows);
        }
        RowBatch<T>& b = _batches[open[shape]];
        const td::UINT4 r = b.nRows++;
        b.rows[r] = m.row;
        b.firstEntries[r] = m.firstEntry;
        td::UINT4* indices = b.indices.data() + r;
        for (std::size_t c = 0; c < reader.indexCount(); ++c)
            indices[c * b.capacity] = reader.indices()[c];
        T* constants = b.constants.data() + r;
        for (std::size_t c = 0; c < reader.constantCount(); ++c)
            constants[c * b.capacity] = reader.constants()[c];
    }
    // A shape of too few rows for its batch to pay leaves them to the stack machine.
    std::size_t kept = 0;
    for (RowBatch<T>& b : _batches)
    {
        if (rowsOf[b.shape] < cMinRows)
            continue;
        for (td::UINT4 r = 0; r < b.nRows; ++r)
            _covered[b.rows[r]] = true;
        _nTemps = std::max(_nTemps, _shapes[b.shape].nTemps);
        _depth = std::max(_depth, _shapes[b.shape].depth);
        if (&_batches[kept] != &b)
            _batches[kept] = std::move(b);
        ++kept;
    }
    _batches.resize(kept);
    // The units only told shapes apart while the rows were read.
    for (RowShape& s : _shapes)
        std::vector<CodeUnit>().swap(s.units);
    shareColumns();
    _cells.assign(BatchMachine<T>::cellCount(_depth, _nTemps), T(0));
    _built = true;
}

// A new batch of shape for up to capacity rows.
template <typename T> td::UINT4 RowBatches<T>::openBatch(td::UINT4 shape, td::UINT4 capacity)
{
    RowBatch<T>& b = _batches.emplace_back();
    b.shape = shape;
    b.capacity = capacity;
    b.indices.resize(static_cast<std::size_t>(_shapes[shape].nIndexColumns) * capacity);
    b.constants.resize(static_cast<std::size_t>(_shapes[shape].nConstColumns) * capacity);
    return static_cast<td::UINT4>(_batches.size() - 1);
}

// The batch's columns laid out for capacity rows, its rows kept.
template <typename T> void RowBatches<T>::widen(RowBatch<T>& b, td::UINT4 capacity)
{
    auto relay = [&b, capacity](auto& columns) {
        std::remove_reference_t<decltype(columns)> wider(columns.size() / b.capacity * capacity);
        for (std::size_t c = 0; c < columns.size() / b.capacity; ++c)
            std::copy_n(columns.begin() + static_cast<std::ptrdiff_t>(c * b.capacity), b.nRows,
                        wider.begin() + static_cast<std::ptrdiff_t>(c * capacity));
        columns.swap(wider);
    };
    relay(b.indices);
    relay(b.constants);
    b.capacity = capacity;
}

// The shape of the program read: found by the hash of its units (a shape of another hash
// sharing it is searched for among all), or added; cNoShape for code the batches cannot run.
template <typename T> td::UINT4 RowBatches<T>::shapeFor(const ShapeReader<T>& reader, ShapeTable& shapeOf)
{
    const td::UINT4 found = shapeOf.find(reader.hash());
    if (found != ShapeTable::cNoShape)
    {
        if (reader.sameUnits(_shapes[found].units))
            return found;
        for (td::UINT4 k = 0; k < _shapes.size(); ++k)
        {
            if (reader.sameUnits(_shapes[k].units))
                return k;
        }
    }
    RowShape s;
    if (!reader.makeSteps(s))
        return ShapeTable::cNoShape;
    // The steps take the own operands the reader kept, column by column.
    TD_ASSERT(s.nIndexColumns == reader.indexCount() && s.nConstColumns == reader.constantCount());
    s.units = reader.units();
    if (found == ShapeTable::cNoShape)
        shapeOf.add(reader.hash(), static_cast<td::UINT4>(_shapes.size()));
    _shapes.push_back(std::move(s));
    return static_cast<td::UINT4>(_shapes.size() - 1);
}

namespace
{
// The bits of the first n cells of a column, for finding the columns that may equal it.
template <typename V> std::uint64_t columnHash(const V* pColumn, td::UINT4 n)
{
    static_assert(sizeof(V) % sizeof(std::uint32_t) == 0);
    std::uint64_t h = 0;
    for (td::UINT4 r = 0; r < n; ++r)
    {
        std::uint32_t words[sizeof(V) / sizeof(std::uint32_t)];
        std::memcpy(words, pColumn + r, sizeof(V));
        for (std::uint32_t w : words)
            h = (h ^ w) * 0x9E3779B97F4A7C15ull;
    }
    return h;
}

// The columns of one kind (indices or constants, of cells V) of the batches of a shape: a
// column equal to an earlier one in every batch goes, the others close up in their order.
// The earlier one is the first column of the same bits in the first batch, which stays (a
// column of other bits that hashes alike stays too). Made for the batches of one build; its
// rooms are kept from shape to shape.
template <typename T, typename V> class ColumnSharing
{
public:
    using Columns = std::vector<V> RowBatch<T>::*;

    ColumnSharing(std::vector<RowBatch<T>>& batches, Columns pColumns) : _batches(batches), _pColumns(pColumns) {}

    // Shares the nColumns columns of the nBatches batches named; returns how many stay.
    td::UINT4 share(const td::UINT4* pBatches, std::size_t nBatches, td::UINT4 nColumns)
    {
        findRepeats(_batches[pBatches[0]], nColumns);
        for (std::size_t k = 1; k < nBatches; ++k)
            keepWhereDifferent(_batches[pBatches[k]]);
        const td::UINT4 nKept = number();
        if (nKept == nColumns)
            return nColumns;
        for (std::size_t k = 0; k < nBatches; ++k)
            closeUp(_batches[pBatches[k]], nKept);
        return nKept;
    }

    // The column that column c is read from after the last share.
    td::UINT2 to(td::UINT2 c) const { return c == BatchStep::cNoColumn ? c : static_cast<td::UINT2>(_to[c]); }

private:
    V* column(RowBatch<T>& b, td::UINT4 c) const
    {
        return (b.*_pColumns).data() + static_cast<std::size_t>(c) * b.capacity;
    }
    bool same(RowBatch<T>& b, td::UINT4 c, td::UINT4 e) const
    {
        return std::memcmp(column(b, c), column(b, e), b.nRows * sizeof(V)) == 0;
    }

    // In the first batch, by their bits: a column after the first of its hash that equals
    // the one before it there is read from where that one is.
    void findRepeats(RowBatch<T>& first, td::UINT4 nColumns)
    {
        _byBits.resize(nColumns);
        for (td::UINT4 c = 0; c < nColumns; ++c)
            _byBits[c] = {columnHash(column(first, c), first.nRows), c};
        std::sort(_byBits.begin(), _byBits.end());
        _to.resize(nColumns);
        for (std::size_t k = 0; k < nColumns; ++k)
        {
            const td::UINT4 c = _byBits[k].second;
            const bool after = k > 0 && _byBits[k - 1].first == _byBits[k].first;
            _to[c] = after ? _to[_byBits[k - 1].second] : c;
            if (_to[c] != c && !same(first, c, _to[c]))
                _to[c] = c;
        }
    }
    // A repeat that another batch does not hold stays a column of its own.
    void keepWhereDifferent(RowBatch<T>& b)
    {
        for (td::UINT4 c = 0; c < _to.size(); ++c)
            _to[c] = _to[c] != c && same(b, c, _to[c]) ? _to[c] : c;
    }
    // The columns kept numbered in their order, the others as the one they repeat (which is
    // kept, and before them); returns how many are kept.
    td::UINT4 number()
    {
        _kept.assign(_to.size(), false);
        td::UINT4 nKept = 0;
        for (td::UINT4 c = 0; c < _to.size(); ++c)
        {
            _kept[c] = _to[c] == c;
            _to[c] = _kept[c] ? nKept++ : _to[_to[c]];
        }
        return nKept;
    }
    // The columns kept moved to their numbers, each down or in place, in the batch's own
    // cells: a smaller copy would add to the build's peak.
    void closeUp(RowBatch<T>& b, td::UINT4 nKept) const
    {
        for (td::UINT4 c = 0; c < _to.size(); ++c)
        {
            if (_kept[c] && _to[c] != c)
                std::copy_n(column(b, c), b.capacity, column(b, _to[c]));
        }
        (b.*_pColumns).resize(static_cast<std::size_t>(nKept) * b.capacity);
    }

    std::vector<RowBatch<T>>& _batches;
    const Columns _pColumns;
    std::vector<std::pair<std::uint64_t, td::UINT4>> _byBits;
    std::vector<td::UINT4> _to;
    std::vector<bool> _kept;
};
} // namespace

template <typename T> void RowBatches<T>::shareColumns()
{
    // The batches of each shape, by a counting sort of their shapes.
    std::vector<td::UINT4> starts(_shapes.size() + 1, 0), byShape(_batches.size());
    for (const RowBatch<T>& b : _batches)
        ++starts[b.shape + 1];
    for (std::size_t k = 1; k < starts.size(); ++k)
        starts[k] += starts[k - 1];
    std::vector<td::UINT4> at(starts.begin(), starts.end() - 1);
    for (td::UINT4 k = 0; k < _batches.size(); ++k)
        byShape[at[_batches[k].shape]++] = k;
    ColumnSharing<T, td::UINT4> indices(_batches, &RowBatch<T>::indices);
    ColumnSharing<T, T> constants(_batches, &RowBatch<T>::constants);
    for (std::size_t shape = 0; shape < _shapes.size(); ++shape)
    {
        const std::size_t nBatches = starts[shape + 1] - starts[shape];
        if (nBatches == 0)
            continue;
        RowShape& s = _shapes[shape];
        const td::UINT4* pBatches = byShape.data() + starts[shape];
        s.nIndexColumns = indices.share(pBatches, nBatches, s.nIndexColumns);
        s.nConstColumns = constants.share(pBatches, nBatches, s.nConstColumns);
        for (BatchStep& step : s.steps)
        {
            for (td::UINT2& c : step.indexColumns)
                c = indices.to(c);
            for (td::UINT2& c : step.constColumns)
                c = constants.to(c);
        }
    }
}

namespace
{
// Asks for the first cache lines of a column (at most four), without waiting for them.
template <typename V> void fetchStart(const std::vector<V>& column)
{
    const char* pStart = reinterpret_cast<const char*>(column.data());
    const std::size_t nBytes = std::min<std::size_t>(column.size() * sizeof(V), 4 * 64);
    for (std::size_t at = 0; at < nBytes; at += 64)
        __builtin_prefetch(pStart + at);
}
} // namespace

template <typename T> void RowBatches<T>::run(const T* x, const T* p, SineCache<T>& sines, T* heads, T* values) const
{
    BatchMachine<T> machine(x, p, sines, _cells.data(), _depth);
    const std::size_t nBatches = _batches.size();
    for (std::size_t k = 0; k < nBatches; ++k)
    {
        // The operands of the next batch lie apart from this one's, and so do the entries of
        // its rows: the first lines of its operands and the lines of its entries (each one
        // written) are asked for while this batch runs.
        if (k + 1 < nBatches)
        {
            const RowBatch<T>& next = _batches[k + 1];
            fetchStart(next.indices);
            fetchStart(next.constants);
            for (td::UINT4 r = 0; values && r < next.nRows; ++r)
                __builtin_prefetch(values + next.firstEntries[r], 1);
        }
        const RowBatch<T>& b = _batches[k];
        machine.run(_shapes[b.shape], b, heads, values);
    }
}

template class RowBatches<double>;
template class RowBatches<std::complex<double>>;
} // namespace sl
