#include "RowBatches.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include <td/Assert.h>

namespace sl
{
namespace
{
// For the static_assert of an operation the batch machine does not handle.
template <Op> [[maybe_unused]] constexpr bool cStepMissing = false;

// The operations that share one target of the batch machine's dispatch, in one step each
// group, told apart by comparisons there: the puts, and the fused operations other than the
// arithmetic forms. Fewer targets keep that jump predictable (the steps a few per cent
// faster than with one target an operation).
enum class Shared : td::BYTE
{
    None,
    Put,
    Fused
};

constexpr Shared sharedOf(Op op)
{
    const OpTraits& o = traitsOf(op);
    if (!o.batched || o.form != Form::None)
        return Shared::None;
    if (o.arg == Operand::Result || o.arg == Operand::ResultTemp)
        return Shared::Put;
    const bool fused =
        (o.arg == Operand::Var || o.arg == Operand::Temp) && (o.consts > 0 || o.next != Operand::None || o.takes == 2);
    return fused ? Shared::Fused : Shared::None;
}

// Units compared by their bytes: they have no padding.
static_assert(std::has_unique_object_representations_v<CodeUnit>, "units compared by their bytes");

// True when the operations of group g are exactly those of a shared step's branches.
template <std::size_t n> constexpr bool sharedAre(Shared g, const Op (&handled)[n])
{
    std::size_t nShared = 0;
    for (std::size_t k = 0; k < cOperationCount; ++k)
    {
        if (sharedOf(static_cast<Op>(k)) != g)
            continue;
        ++nShared;
        bool found = false;
        for (Op op : handled)
            found = found || op == static_cast<Op>(k);
        if (!found)
            return false;
    }
    return nShared == n;
}

// How the build reads a unit of each operation, from its row of the table: the bits of the
// unit that rows of one shape share (besides the temporary cell of a store), whether its
// argument is the row's own index, the constants after it and what the unit after it names.
struct UnitPlan
{
    std::uint64_t shared = 0;
    bool batched = false;
    bool ownArgument = false;
    td::BYTE consts = 0;
    Operand next = Operand::None;
};

constexpr std::uint64_t bitsOf(td::BYTE op, td::BYTE store, td::UINT2 temp, td::UINT4 arg)
{
    return std::bit_cast<std::uint64_t>(CodeUnit{op, store, temp, arg});
}
constexpr std::uint64_t cTempBits = bitsOf(0, 0, 0xFFFF, 0);

constexpr auto makeUnitPlans()
{
    std::array<UnitPlan, 256> plans{};
    for (std::size_t k = 0; k < cOperationCount; ++k)
    {
        const OpTraits& o = cOpTraits[k];
        UnitPlan& plan = plans[k];
        plan.batched = o.batched;
        plan.ownArgument = o.arg == Operand::Var || o.arg == Operand::Par;
        plan.consts = o.consts;
        plan.next = o.next;
        const bool sharedArgument = o.arg == Operand::Temp || o.arg == Operand::Result || o.arg == Operand::ResultTemp;
        plan.shared = bitsOf(0xFF, 0xFF, o.arg == Operand::ResultTemp ? 0xFFFF : 0, sharedArgument ? 0xFFFFFFFF : 0);
    }
    return plans;
}
constexpr auto cUnitPlans = makeUnitPlans();
} // namespace

// Reads one program into the part of its units rows of one shape share (the units with
// their own operands zeroed, constants left out) and its own operands (variable and
// parameter indices, constants) in the order the steps take them; makes the steps of a
// new shape from those units. Each unit is read by its operation's plan (UnitPlan), one
// reading for every row of the table: the build reads every unit of every row.
template <typename T> class RowBatches<T>::Reader
{
public:
    // Reads the program at pc over the room of the last one; false at an operation the
    // batches do not run.
    bool read(const CodeUnit* pc)
    {
        std::size_t nUnits = 0, nIndices = 0, nConstants = 0;
        std::uint64_t hash = 0;
        // The rooms in locals: their stores cannot touch them.
        CodeUnit* units = _units.data();
        td::UINT4* indices = _indices.data();
        T* constants = _constants.data();
        std::size_t room = std::min({_units.size(), _indices.size(), _constants.size()});
        auto add = [&](std::uint64_t word) {
            units[nUnits++] = std::bit_cast<CodeUnit>(word);
            hash = (hash ^ word) * 0x9E3779B97F4A7C15ull;
        };
        for (;;)
        {
            // A unit adds at most two units, two indices and two constants.
            if (std::max({nUnits, nIndices, nConstants}) + 2 > room)
            {
                room = grow();
                units = _units.data();
                indices = _indices.data();
                constants = _constants.data();
            }
            const CodeUnit u = *pc++;
            const UnitPlan& plan = cUnitPlans[u.op];
            if (!plan.batched)
                return false;
            add(std::bit_cast<std::uint64_t>(u) & (plan.shared | (u.store ? cTempBits : 0)));
            if (plan.ownArgument)
                indices[nIndices++] = u.arg;
            if (plan.consts > 0)
            {
                constants[nConstants++] = V::read(pc);
                pc += V::cUnits;
            }
            if (plan.next != Operand::None)
            {
                const td::UINT4 arg = pc++->arg;
                if (plan.next == Operand::Var)
                    indices[nIndices++] = arg;
                add(bitsOf(0, 0, 0, plan.next == Operand::Temp ? arg : 0));
            }
            if (plan.consts > 1)
            {
                constants[nConstants++] = V::read(pc);
                pc += V::cUnits;
            }
            if (u.op == static_cast<td::BYTE>(Op::End))
            {
                _nUnits = nUnits;
                _nIndices = nIndices;
                _nConstants = nConstants;
                _hash = hash;
                return true;
            }
        }
    }

    std::uint64_t hash() const { return _hash; }
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
    // cell nobody pushed (the stack machine's compiler makes none; such code is left to
    // the machine).
    bool makeSteps(Shape& shape) const
    {
        shape.steps.clear();
        shape.nTemps = shape.depth = 0;
        td::UINT4 nIndices = 0, nConstants = 0, depth = 0;
        auto cell = [&shape](td::UINT4 t) { shape.nTemps = std::max(shape.nTemps, t + 1); };
        for (std::size_t k = 0; k < _nUnits; ++k)
        {
            const CodeUnit& u = _units[k];
            const OpTraits& o = cOpTraits[u.op];
            Step s{u.operation(), u.store, u.store ? u.temp : td::UINT2(0), u.arg, 0, nIndices, nConstants};
            if (u.store)
                cell(u.temp);
            // The cells it takes beyond the one it leaves go; one left where none was taken is new.
            for (td::BYTE c = o.leaves; c < o.takes; ++c)
            {
                if (depth == 0)
                    return false;
                --depth;
            }
            if (o.leaves > o.takes)
                shape.depth = std::max(shape.depth, ++depth);
            if (o.arg == Operand::Var || o.arg == Operand::Par)
                ++nIndices;
            else if (o.arg == Operand::Temp)
                cell(u.arg);
            else if (o.arg == Operand::ResultTemp)
            {
                s.arg2 = u.temp;
                cell(u.temp);
            }
            nConstants += o.consts;
            if (o.next == Operand::Var)
                ++nIndices;
            else if (o.next == Operand::Temp)
            {
                s.arg2 = _units[k + 1].arg;
                cell(s.arg2);
            }
            k += o.next != Operand::None ? 1 : 0;
            shape.steps.push_back(s);
        }
        shape.nIndexColumns = nIndices;
        shape.nConstColumns = nConstants;
        return true;
    }

private:
    using V = CodeValue<T>;

    // The rooms twice as large; returns the new room.
    std::size_t grow()
    {
        const std::size_t room = 2 * _units.size() + 64;
        _units.resize(room);
        _indices.resize(room);
        _constants.resize(room);
        return room;
    }

    std::vector<CodeUnit> _units;
    std::vector<td::UINT4> _indices;
    std::vector<T> _constants;
    std::size_t _nUnits = 0;
    std::size_t _nIndices = 0;
    std::size_t _nConstants = 0;
    std::uint64_t _hash = 0;
};

// The first shape of each hash of units: open addressing over a power of two of slots,
// at most half of them taken.
template <typename T> class RowBatches<T>::ShapeTable
{
public:
    ShapeTable() : _slots(64) {}

    // The shape of hash h; cNoShape when none has it.
    td::UINT4 find(std::uint64_t h) const
    {
        for (std::size_t k = slotOf(h);; k = (k + 1) & (_slots.size() - 1))
        {
            const Slot& slot = _slots[k];
            if (slot.shape == cNoShape || slot.hash == h)
                return slot.shape;
        }
    }
    // Adds shape for hash h, which has none.
    void add(std::uint64_t h, td::UINT4 shape)
    {
        if (2 * (_n + 1) > _slots.size())
            grow();
        place(h, shape);
        ++_n;
    }

private:
    struct Slot
    {
        std::uint64_t hash = 0;
        td::UINT4 shape = cNoShape;
    };

    std::size_t slotOf(std::uint64_t h) const { return static_cast<std::size_t>(h >> 32 ^ h) & (_slots.size() - 1); }
    void place(std::uint64_t h, td::UINT4 shape)
    {
        std::size_t k = slotOf(h);
        while (_slots[k].shape != cNoShape)
            k = (k + 1) & (_slots.size() - 1);
        _slots[k] = Slot{h, shape};
    }
    void grow()
    {
        std::vector<Slot> old(2 * _slots.size());
        old.swap(_slots);
        for (const Slot& slot : old)
        {
            if (slot.shape != cNoShape)
                place(slot.hash, slot.shape);
        }
    }

    std::vector<Slot> _slots;
    std::size_t _n = 0;
};

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
    Reader reader;
    for (const Member& m : members)
    {
        if (!m.pCode || m.row >= nRows || !reader.read(m.pCode))
            continue;
        const td::UINT4 shape = shapeFor(reader, shapeOf);
        if (shape == cNoShape)
            continue;
        if (shape == open.size())
        {
            open.push_back(UINT32_MAX);
            rowsOf.push_back(0);
        }
        ++rowsOf[shape];
        if (open[shape] == UINT32_MAX)
            open[shape] = openBatch(shape, cFirstCapacity);
        else if (Batch& full = _batches[open[shape]]; full.nRows == full.capacity)
        {
            if (full.capacity < cBatch)
                widen(full, std::min(cBatch, 2 * full.capacity));
            else
                open[shape] = openBatch(shape, cBatch);
        }
        Batch& b = _batches[open[shape]];
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
    for (Batch& b : _batches)
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
    for (Shape& s : _shapes)
        std::vector<CodeUnit>().swap(s.units);
    _cells.assign(static_cast<std::size_t>(1 + _depth + 1 + _nTemps) * cBatch, T(0));
    _built = true;
}

// A new batch of shape for up to capacity rows.
template <typename T> td::UINT4 RowBatches<T>::openBatch(td::UINT4 shape, td::UINT4 capacity)
{
    Batch& b = _batches.emplace_back();
    b.shape = shape;
    b.capacity = capacity;
    b.indices.resize(static_cast<std::size_t>(_shapes[shape].nIndexColumns) * capacity);
    b.constants.resize(static_cast<std::size_t>(_shapes[shape].nConstColumns) * capacity);
    return static_cast<td::UINT4>(_batches.size() - 1);
}

// The batch's columns laid out for capacity rows, its rows kept.
template <typename T> void RowBatches<T>::widen(Batch& b, td::UINT4 capacity)
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
// sharing it is searched for among all), or added; cNoShape for code the batches cannot
// run.
template <typename T> td::UINT4 RowBatches<T>::shapeFor(const Reader& reader, ShapeTable& shapeOf)
{
    const td::UINT4 found = shapeOf.find(reader.hash());
    if (found != cNoShape)
    {
        if (reader.sameUnits(_shapes[found].units))
            return found;
        for (td::UINT4 k = 0; k < _shapes.size(); ++k)
        {
            if (reader.sameUnits(_shapes[k].units))
                return k;
        }
    }
    Shape s;
    if (!reader.makeSteps(s))
        return cNoShape;
    s.units = reader.units();
    if (found == cNoShape)
        shapeOf.add(reader.hash(), static_cast<td::UINT4>(_shapes.size()));
    _shapes.push_back(std::move(s));
    return static_cast<td::UINT4>(_shapes.size() - 1);
}

// Runs the steps of one batch: the top cells of its rows in one block, the cells below
// them a block per level, the temporary cells a block each. Blocks move whole (a fixed
// size the compiler copies in place); arithmetic runs over the batch's rows.
template <typename T> class RowBatches<T>::Machine
{
public:
    Machine(const T* x, const T* p, SineCache<T>& sines, T* cells, td::UINT4 depth)
        : _x(x), _p(p), _sines(sines), _acc(cells), _stack(cells + cBatch), _temps(cells + (2 + depth) * cBatch)
    {
    }

    void run(const Shape& shape, const Batch& b, T* heads, T* values)
    {
        _n = b.nRows;
        _stride = b.capacity;
        _pIndices = b.indices.data();
        _pConstants = b.constants.data();
        _sp = _stack;
        for (const Step& s : shape.steps)
        {
            if (!step(s, b, heads, values))
                return;
            if (s.store)
                move(temp(s.temp), _acc);
        }
    }

private:
    // The cells of the batch's rows: as many as it holds (4, 8, 16 or a full block).
    void move(T* to, const T* from) const
    {
        switch (_stride)
        {
        case 4: return moveCells<4>(to, from);
        case 8: return moveCells<8>(to, from);
        case 16: return moveCells<16>(to, from);
        default: return moveCells<cBatch>(to, from);
        }
    }
    template <td::UINT4 n> static void moveCells(T* to, const T* from)
    {
        std::memcpy(static_cast<void*>(to), from, n * sizeof(T));
    }
    const td::UINT4* index(const Step& s, td::UINT4 k = 0) const { return _pIndices + (s.indexColumn + k) * _stride; }
    const T* constant(const Step& s, td::UINT4 k = 0) const { return _pConstants + (s.constColumn + k) * _stride; }
    T* temp(td::UINT4 t) const { return _temps + t * cBatch; }
    void push()
    {
        move(_sp, _acc);
        _sp += cBatch;
    }
    const T* pop()
    {
        _sp -= cBatch;
        return _sp;
    }
    template <typename F> void each(F&& f) const
    {
        for (td::UINT4 r = 0; r < _n; ++r)
            f(r);
    }
    // The top becomes x op y for form F: x + y, x - y, x * y, x / y, then y - x and y / x
    // (the reversed forms), with x and y read for each row.
    template <Form F, typename X, typename Y> void combine(X&& x, Y&& y)
    {
        T* a = _acc;
        if constexpr (F == Form::Add)
            each([&](td::UINT4 r) { a[r] = x(r) + y(r); });
        else if constexpr (F == Form::Sub)
            each([&](td::UINT4 r) { a[r] = x(r) - y(r); });
        else if constexpr (F == Form::Mul)
            each([&](td::UINT4 r) { a[r] = x(r) * y(r); });
        else if constexpr (F == Form::Div)
            each([&](td::UINT4 r) { a[r] = x(r) / y(r); });
        else if constexpr (F == Form::RevSub)
            each([&](td::UINT4 r) { a[r] = y(r) - x(r); });
        else
        {
            static_assert(F == Form::RevDiv, "a form without its arithmetic");
            each([&](td::UINT4 r) { a[r] = y(r) / x(r); });
        }
    }
    // The top and a variable, a parameter, a constant or a temporary cell; the cell below
    // the top and the top.
    template <Form F> void withCells(const T* from, const td::UINT4* i)
    {
        combine<F>([this](td::UINT4 r) { return _acc[r]; }, [from, i](td::UINT4 r) { return from[i[r]]; });
    }
    template <Form F> void withBlock(const T* c)
    {
        combine<F>([this](td::UINT4 r) { return _acc[r]; }, [c](td::UINT4 r) { return c[r]; });
    }
    template <Form F> void withBelow()
    {
        const T* t = pop();
        combine<F>([t](td::UINT4 r) { return t[r]; }, [this](td::UINT4 r) { return _acc[r]; });
    }

    // Inlined into the loop of run: one call a batch, not one a step. step dispatches each
    // operation of the table to stepOf<op>, or to the step its group shares; each operation
    // the batches run has its branch in one of the steps below, or the build fails.
    [[gnu::always_inline]] inline bool step(const Step& s, const Batch& b, T* heads, T* values);
    template <Op op> [[gnu::always_inline]] inline bool stepOf(const Step& s);
    template <Op op> [[gnu::always_inline]] inline void formStep(const Step& s);
    template <Op op> [[gnu::always_inline]] inline void pushStep(const Step& s);
    template <Op op> [[gnu::always_inline]] inline void cellStep(const Step& s);
    [[gnu::always_inline]] inline void fusedStep(const Step& s);
    [[gnu::always_inline]] inline void scaledCellStep(const Step& s);
    [[gnu::always_inline]] inline bool putStep(const Step& s, const Batch& b, T* heads, T* values);

    const T* _x;
    const T* _p;
    SineCache<T>& _sines;
    T* _acc;
    T* _stack;
    T* _temps;
    T* _sp = nullptr;
    td::UINT4 _n = 0;
    td::UINT4 _stride = cBatch;
    const td::UINT4* _pIndices = nullptr;
    const T* _pConstants = nullptr;
};

// False ends the batch's run: at its end, or at the residual of a run without values.
template <typename T> bool RowBatches<T>::Machine::step(const Step& s, const Batch& b, T* heads, T* values)
{
    switch (s.op)
    {
#define EQNKIT_OPERATION_STEP(name, ...)                                                                               \
    case Op::name:                                                                                                     \
        if constexpr (sharedOf(Op::name) == Shared::Put)                                                               \
            goto put;                                                                                                  \
        else if constexpr (sharedOf(Op::name) == Shared::Fused)                                                        \
            goto fused;                                                                                                \
        else                                                                                                           \
            return stepOf<Op::name>(s);
        EQNKIT_OPERATIONS(EQNKIT_OPERATION_STEP)
#undef EQNKIT_OPERATION_STEP
    }
    return false;
put:
    return putStep(s, b, heads, values);
fused:
    fusedStep(s);
    return true;
}

// The operations of a step of their own, by their row: the arithmetic forms, the pushes
// and the operations on one temporary cell.
template <typename T> template <Op op> bool RowBatches<T>::Machine::stepOf(const Step& s)
{
    constexpr OpTraits o = traitsOf(op);
    static_assert(sharedOf(op) == Shared::None);
    if constexpr (!o.batched)
    {
        // The reader leaves out a program that holds it.
        TD_ASSERT(!"an operation the batches do not run");
        return false;
    }
    else if constexpr (op == Op::End)
        return false;
    else if constexpr (o.form != Form::None)
        formStep<op>(s);
    else if constexpr (o.arg == Operand::Temp)
        cellStep<op>(s);
    else if constexpr (o.takes == 0)
        pushStep<op>(s);
    else
        static_assert(cStepMissing<op>, "an operation without its step in the batch machine");
    return true;
}

// The top combined with the operand of the form's family: a variable, a parameter, a
// constant, a temporary cell, or the cell below it.
template <typename T> template <Op op> void RowBatches<T>::Machine::formStep(const Step& s)
{
    constexpr OpTraits o = traitsOf(op);
    if constexpr (o.takes == 2)
        withBelow<o.form>();
    else if constexpr (o.arg == Operand::Var)
        withCells<o.form>(_x, index(s));
    else if constexpr (o.arg == Operand::Par)
        withCells<o.form>(_p, index(s));
    else if constexpr (o.arg == Operand::Temp)
        withBlock<o.form>(temp(s.arg));
    else if constexpr (o.consts == 1)
        withBlock<o.form>(constant(s));
    else
        static_assert(cStepMissing<op>, "a form without its family in the batch machine");
}

template <typename T> template <Op op> void RowBatches<T>::Machine::pushStep(const Step& s)
{
    push();
    if constexpr (op == Op::PushVar || op == Op::PushPar)
    {
        const T* from = op == Op::PushVar ? _x : _p;
        const td::UINT4* i = index(s);
        each([&](td::UINT4 r) { _acc[r] = from[i[r]]; });
    }
    else if constexpr (op == Op::PushConst)
    {
        // A column holds the batch's capacity, which may be less than a block.
        const T* c = constant(s);
        each([&](td::UINT4 r) { _acc[r] = c[r]; });
    }
    else
        static_assert(cStepMissing<op>, "an operation without its step in the batch machine");
}

// The operations on one temporary cell.
template <typename T> template <Op op> void RowBatches<T>::Machine::cellStep(const Step& s)
{
    if constexpr (op == Op::Load)
    {
        push();
        move(_acc, temp(s.arg));
    }
    else if constexpr (op == Op::Store)
        move(temp(s.arg), _acc);
    else if constexpr (op == Op::SinCos || op == Op::CosSin)
    {
        T* partner = temp(s.arg);
        constexpr bool sine = op == Op::SinCos;
        each([&](td::UINT4 r) {
            T sn, cs;
            _sines.sineAndCosine(_acc[r], sn, cs);
            _acc[r] = sine ? sn : cs;
            partner[r] = sine ? cs : sn;
        });
    }
    else
        static_assert(cStepMissing<op>, "an operation without its step in the batch machine");
}

// The fused operations other than the arithmetic forms: a difference of two variables,
// products of the top and a variable, and (scaledCellStep) temporary cells times constants.
template <typename T> void RowBatches<T>::Machine::fusedStep(const Step& s)
{
    static_assert(sharedAre(Shared::Fused, {Op::PushVarSubVar, Op::MulVarRevSubConst, Op::MulVarAdd, Op::MulVarSub,
                                            Op::TempMulConst, Op::AddTempMulConst, Op::SubTempMulConst,
                                            Op::MulConstAddTempMulConst, Op::MulConstSubTempMulConst,
                                            Op::TempMulConstAddTempMulConst, Op::TempMulConstSubTempMulConst}),
                  "a fused operation without its branch in the batch machine's fusedStep");
    T* a = _acc;
    if (s.op == Op::PushVarSubVar)
    {
        push();
        const td::UINT4 *i = index(s), *k = index(s, 1);
        each([&](td::UINT4 r) { a[r] = _x[i[r]] - _x[k[r]]; });
    }
    else if (s.op == Op::MulVarRevSubConst)
    {
        const td::UINT4* i = index(s);
        const T* c = constant(s);
        each([&](td::UINT4 r) { a[r] = c[r] - a[r] * _x[i[r]]; });
    }
    else if (s.op == Op::MulVarAdd || s.op == Op::MulVarSub)
    {
        const T* below = pop();
        const td::UINT4* i = index(s);
        if (s.op == Op::MulVarAdd)
            each([&](td::UINT4 r) { a[r] = below[r] + a[r] * _x[i[r]]; });
        else
            each([&](td::UINT4 r) { a[r] = below[r] - a[r] * _x[i[r]]; });
    }
    else
        scaledCellStep(s);
}

// The fused operations on a temporary cell times a constant.
template <typename T> void RowBatches<T>::Machine::scaledCellStep(const Step& s)
{
    T* a = _acc;
    const T* t = temp(s.arg);
    const T* c = constant(s);
    if (s.op == Op::TempMulConst)
    {
        push();
        each([&](td::UINT4 r) { a[r] = t[r] * c[r]; });
        return;
    }
    if (s.op == Op::AddTempMulConst || s.op == Op::SubTempMulConst)
    {
        if (s.op == Op::AddTempMulConst)
            each([&](td::UINT4 r) { a[r] = a[r] + t[r] * c[r]; });
        else
            each([&](td::UINT4 r) { a[r] = a[r] - t[r] * c[r]; });
        return;
    }
    const T* c2 = constant(s, 1);
    if (s.op == Op::MulConstAddTempMulConst)
        each([&](td::UINT4 r) { a[r] = a[r] * c[r] + t[r] * c2[r]; });
    else if (s.op == Op::MulConstSubTempMulConst)
        each([&](td::UINT4 r) { a[r] = a[r] * c[r] - t[r] * c2[r]; });
    else
    {
        // TempMulConstAddTempMulConst, TempMulConstSubTempMulConst
        push();
        const T* t2 = temp(s.arg2);
        if (s.op == Op::TempMulConstAddTempMulConst)
            each([&](td::UINT4 r) { a[r] = t[r] * c[r] + t2[r] * c2[r]; });
        else
            each([&](td::UINT4 r) { a[r] = t[r] * c[r] - t2[r] * c2[r]; });
    }
}

// A put: the residual into heads, an entry into values; then the cell below, a
// temporary cell, or one times a variable becomes the top.
template <typename T> bool RowBatches<T>::Machine::putStep(const Step& s, const Batch& b, T* heads, T* values)
{
    static_assert(sharedAre(Shared::Put, {Op::Put, Op::PutHead, Op::PutLoad, Op::PutHeadLoad, Op::PutLoadMulVar}),
                  "a put without its branch in the batch machine's putStep");
    const bool head = s.op == Op::PutHead || s.op == Op::PutHeadLoad;
    if (head)
        each([&](td::UINT4 r) { heads[b.rows[r]] = _acc[r]; });
    else if (values)
        each([&](td::UINT4 r) { values[b.firstEntries[r] + s.arg - 1] = _acc[r]; });
    if (head && !values)
        return false;
    if (s.op == Op::Put || s.op == Op::PutHead)
        move(_acc, pop());
    else if (s.op == Op::PutLoadMulVar)
    {
        const T* loaded = temp(s.arg2);
        const td::UINT4* i = index(s);
        each([&](td::UINT4 r) { _acc[r] = loaded[r] * _x[i[r]]; });
    }
    else
        move(_acc, temp(s.arg2));
    return true;
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
    Machine machine(x, p, sines, _cells.data(), _depth);
    const std::size_t nBatches = _batches.size();
    for (std::size_t k = 0; k < nBatches; ++k)
    {
        // The operands of the next batch lie apart from this one's, and so do the entries of
        // its rows: the first lines of its operands and the lines of its entries (each one
        // written) are asked for while this batch runs.
        if (k + 1 < nBatches)
        {
            const Batch& next = _batches[k + 1];
            fetchStart(next.indices);
            fetchStart(next.constants);
            for (td::UINT4 r = 0; values && r < next.nRows; ++r)
                __builtin_prefetch(values + next.firstEntries[r], 1);
        }
        const Batch& b = _batches[k];
        machine.run(_shapes[b.shape], b, heads, values);
    }
}

template class RowBatches<double>;
template class RowBatches<std::complex<double>>;
} // namespace sl
