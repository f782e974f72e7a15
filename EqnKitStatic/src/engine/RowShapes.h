// The shape of a row's program for the batches: the reader that parts a program into what
// rows of one shape share and its own operands, the steps a shape runs, and their lookup.
#pragma once

#include <complex>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <td/Types.h>

#include "Code.h"

namespace sl
{
// The rule that makes a batched step correct. A unit's per-row fields are its variable or
// parameter argument (and the variable of the unit after it, for the operations whose next
// operand is a variable) and its constants: those are the row's own operands, kept in the
// columns of its batch. Everything else is shared by the rows of a shape: the operation,
// the store flag and the temporary cell it stores into, a temporary cell it reads or loads,
// the result slot it puts into, and the temporary cell of the unit after it. Two programs
// are of one shape when their units agree in every shared field; a step then does for each
// row of a batch what the stack machine does for that row alone, on the same operands in the
// same order, so the values are bit for bit those of the stack machine. A field neither own
// nor shared (the argument of an operation that names none) is zero in the shared part, so
// that it cannot tell shapes apart. The operation table decides which field is which
// (UnitPlan in RowShapes.cpp, checked against the table there).

// One operation of a shape: its cells and results, and the columns of its rows' own
// operands in their batch (a variable or parameter index, then the variable of the unit
// after it; a constant, then a second one), cNoColumn where it reads none. A shape has
// fewer than cNoColumn columns of each kind (one of more runs on the stack machine).
struct BatchStep
{
    static constexpr td::UINT2 cNoColumn = 0xFFFF;

    Op op;
    td::BYTE store;
    td::UINT2 temp;
    td::UINT4 arg;
    td::UINT4 arg2;
    td::UINT2 indexColumns[2];
    td::UINT2 constColumns[2];
};
static_assert(sizeof(BatchStep) == 20, "the steps of every shape are kept while the rows are read");

// The steps of a shape, made from the units its rows share (kept while the rows are read);
// the columns of own operands, the deepest stack and the temporary cells they take. A row's
// operands fill a column each in the order the steps read them; the batches then keep once
// the columns that repeat another in every row of the shape (RowBatches::shareColumns).
struct RowShape
{
    std::vector<CodeUnit> units;
    std::vector<BatchStep> steps;
    td::UINT4 nIndexColumns = 0;
    td::UINT4 nConstColumns = 0;
    td::UINT4 nTemps = 0;
    td::UINT4 depth = 0;
};

// Reads one program into the part of its units rows of one shape share (the units with
// their own operands zeroed, constants left out) and its own operands (variable and
// parameter indices, constants) in the order the steps take them; makes the steps of a new
// shape from those units. The rooms it reads into are kept from program to program.
template <typename T> class ShapeReader
{
public:
    // Reads the program at pc; false at an operation the batches do not run.
    bool read(const CodeUnit* pc);

    std::uint64_t hash() const { return _hash; }
    std::size_t unitCount() const { return _nUnits; }
    std::size_t indexCount() const { return _nIndices; }
    std::size_t constantCount() const { return _nConstants; }
    const td::UINT4* indices() const { return _indices.data(); }
    const T* constants() const { return _constants.data(); }
    std::vector<CodeUnit> units() const
    {
        return {_units.begin(), _units.begin() + static_cast<std::ptrdiff_t>(_nUnits)};
    }
    bool sameUnits(const std::vector<CodeUnit>& other) const
    {
        return other.size() == _nUnits && std::memcmp(other.data(), _units.data(), _nUnits * sizeof(CodeUnit)) == 0;
    }

    // The steps of the units read, with the cells they take; false for code that takes a
    // cell nobody pushed (the stack machine's compiler makes none) or has too many own
    // operands for the columns of a step: such code is left to the machine.
    bool makeSteps(RowShape& shape) const;

private:
    using V = CodeValue<T>;
    std::size_t grow();

    std::vector<CodeUnit> _units;
    std::vector<td::UINT4> _indices;
    std::vector<T> _constants;
    std::size_t _nUnits = 0;
    std::size_t _nIndices = 0;
    std::size_t _nConstants = 0;
    std::uint64_t _hash = 0;
};

// The first shape of each hash of units: open addressing over a power of two of slots, at
// most half of them taken.
class ShapeTable
{
public:
    static constexpr td::UINT4 cNoShape = UINT32_MAX;

    ShapeTable() : _slots(64) {}
    // The shape of hash h; cNoShape when none has it.
    td::UINT4 find(std::uint64_t h) const;
    // Adds shape for hash h, which has none.
    void add(std::uint64_t h, td::UINT4 shape);

private:
    struct Slot
    {
        std::uint64_t hash = 0;
        td::UINT4 shape = cNoShape;
    };

    std::size_t slotOf(std::uint64_t h) const { return static_cast<std::size_t>(h >> 32 ^ h) & (_slots.size() - 1); }
    void place(std::uint64_t h, td::UINT4 shape);
    void grow();

    std::vector<Slot> _slots;
    std::size_t _n = 0;
};

// For debugging: the shape of the program at pCode as the batches see it (its columns, the
// deepest stack and its cells) and one line a step, with the row's own operands (x3 and p2
// name variables and parameters, numbers are constants) and the shared fields (t1 a
// temporary cell, r1 a result slot, "-> t1" the cell a store flag names); or why the batches
// do not run it.
template <typename T> std::string describeRow(const CodeUnit* pCode);

extern template class ShapeReader<double>;
extern template class ShapeReader<std::complex<double>>;
extern template std::string describeRow<double>(const CodeUnit* pCode);
extern template std::string describeRow<std::complex<double>>(const CodeUnit* pCode);
} // namespace sl
