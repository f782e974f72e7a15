#include "RowBatches.h"

#include <algorithm>
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
