// The row programs of a model grouped by shape (the same operations, cells and results;
// their own variables, parameters and constants), each operation run over a batch of rows.
#pragma once

#include <complex>
#include <cstdint>
#include <vector>

#include <td/Types.h>

#include "BatchMachine.h"
#include "Code.h"
#include "RowShapes.h"
#include "SineCache.h"

namespace sl
{
// Each row of a batch computes the operations of its own program in their order, so its
// values are bit for bit those of the stack machine; the dispatch of an operation is paid
// once a batch instead of once a row (RowShapes.h states what rows of a shape share).
// Owned by the rows it groups; rebuilt when they change.
template <typename T> class RowBatches
{
public:
    // A row's program and the first of its Jacobian entries.
    struct Member
    {
        td::UINT4 row;
        const CodeUnit* pCode;
        td::UINT4 firstEntry;
    };

    // Groups the programs; one holding an operation the batches do not run is left out, and
    // so are those of a shape of fewer than cMinRows rows.
    void build(const std::vector<Member>& members, td::UINT4 nRows);
    void clear();
    bool isBuilt() const { return _built; }
    // True when row i runs in a batch.
    bool covers(td::UINT4 i) const { return i < _covered.size() && _covered[i]; }
    // The shapes of the programs grouped, batched or not.
    td::UINT4 shapeCount() const { return static_cast<td::UINT4>(_shapes.size()); }

    // Runs every batch over the variables x and parameters p: the residual of row i into
    // heads[i], its entries into values from its first (none without values: the programs
    // then end at their residuals).
    void run(const T* x, const T* p, SineCache<T>& sines, T* heads, T* values) const;

private:
    // The rows a shape needs for its batches to be cheaper than the stack machine.
    static constexpr td::UINT4 cMinRows = 8;
    // A shape's first batch holds cFirstCapacity rows and is widened to 8, 16 and
    // cBatchRows as rows come, its later ones cBatchRows: the batch of a rare shape takes
    // little room, and a common shape runs in full batches.
    static constexpr td::UINT4 cFirstCapacity = 4;

    td::UINT4 shapeFor(const ShapeReader<T>& reader, ShapeTable& shapeOf);
    // Keeps once each column of a shape's batches that repeats an earlier one in every row of
    // the shape (a row reads a variable or a constant more than once): its steps read the
    // column kept, the same operands as before, and the batches stream fewer of them.
    void shareColumns();
    td::UINT4 openBatch(td::UINT4 shape, td::UINT4 capacity);
    static void widen(RowBatch<T>& b, td::UINT4 capacity);

    std::vector<RowShape> _shapes;
    std::vector<RowBatch<T>> _batches;
    std::vector<bool> _covered;
    td::UINT4 _nTemps = 0;
    td::UINT4 _depth = 0;
    bool _built = false;
    mutable std::vector<T> _cells;
};

extern template class RowBatches<double>;
extern template class RowBatches<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using RowBatches = sl::RowBatches<double>;
}

namespace slCmplx
{
using RowBatches = sl::RowBatches<std::complex<double>>;
}
