#include "RowShapes.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <type_traits>

namespace sl
{
namespace
{
// Units compared by their bytes: they have no padding.
static_assert(std::has_unique_object_representations_v<CodeUnit>, "units compared by their bytes");

// How the reader reads a unit of each operation, from its row of the table: the bits of the
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
constexpr std::uint64_t cOpBits = bitsOf(0xFF, 0, 0, 0);
constexpr std::uint64_t cStoreBits = bitsOf(0, 0xFF, 0, 0);
constexpr std::uint64_t cTempBits = bitsOf(0, 0, 0xFFFF, 0);
constexpr std::uint64_t cArgBits = bitsOf(0, 0, 0, 0xFFFFFFFF);

constexpr bool isOwn(Operand a) { return a == Operand::Var || a == Operand::Par; }
constexpr bool isShared(Operand a) { return a == Operand::Temp || a == Operand::Result || a == Operand::ResultTemp; }

constexpr auto makeUnitPlans()
{
    std::array<UnitPlan, 256> plans{};
    for (std::size_t k = 0; k < cOperationCount; ++k)
    {
        const OpTraits& o = cOpTraits[k];
        UnitPlan& plan = plans[k];
        plan.batched = o.batched;
        plan.ownArgument = isOwn(o.arg);
        plan.consts = o.consts;
        plan.next = o.next;
        plan.shared =
            cOpBits | cStoreBits | (o.arg == Operand::ResultTemp ? cTempBits : 0) | (isShared(o.arg) ? cArgBits : 0);
    }
    return plans;
}
constexpr auto cUnitPlans = makeUnitPlans();

// The plans keep the rule for every operation the batches run: the operation and the store
// flag are shared; the argument is own (a variable or a parameter), shared (a cell or a
// result slot) or, naming nothing, neither; the temp field is shared where it names the cell
// loaded after a put (a store's cell is added where the flag is set); a parent value, which
// the batches are not given, is no operand of theirs; the unit after it names an own
// variable or a shared cell.
constexpr bool plansKeepTheRule()
{
    for (std::size_t k = 0; k < cOperationCount; ++k)
    {
        const OpTraits& o = cOpTraits[k];
        const UnitPlan& plan = cUnitPlans[k];
        if (!o.batched)
            continue;
        if ((plan.shared & (cOpBits | cStoreBits)) != (cOpBits | cStoreBits))
            return false;
        if (o.arg == Operand::Parent || o.next == Operand::Parent || o.next == Operand::Par)
            return false;
        const bool argShared = (plan.shared & cArgBits) == cArgBits;
        if (argShared != isShared(o.arg) || (plan.ownArgument && argShared) || plan.ownArgument != isOwn(o.arg))
            return false;
        if (((plan.shared & cTempBits) != 0) != (o.arg == Operand::ResultTemp))
            return false;
        if (plan.consts != o.consts || plan.consts > 2)
            return false;
    }
    return true;
}
static_assert(plansKeepTheRule(), "a unit plan breaks the rule of what rows of one shape share");

constexpr const char* cOpNames[] = {
#define EQNKIT_OPERATION_NAME_TEXT(name, ...) #name,
    EQNKIT_OPERATIONS(EQNKIT_OPERATION_NAME_TEXT)
#undef EQNKIT_OPERATION_NAME_TEXT
};
static_assert(std::size(cOpNames) == cOperationCount);
} // namespace

template <typename T> bool ShapeReader<T>::read(const CodeUnit* pc)
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

template <typename T> bool ShapeReader<T>::makeSteps(RowShape& shape) const
{
    shape.steps.clear();
    shape.nTemps = shape.depth = 0;
    td::UINT4 nIndices = 0, nConstants = 0, depth = 0;
    auto cell = [&shape](td::UINT4 t) { shape.nTemps = std::max(shape.nTemps, t + 1); };
    for (std::size_t k = 0; k < _nUnits; ++k)
    {
        const CodeUnit& u = _units[k];
        const OpTraits& o = cOpTraits[u.op];
        constexpr td::UINT2 cNo = BatchStep::cNoColumn;
        BatchStep s{u.operation(), u.store, u.store ? u.temp : td::UINT2(0), u.arg, 0, {cNo, cNo}, {cNo, cNo}};
        std::size_t nOwn = 0;
        auto ownIndex = [&] { s.indexColumns[nOwn++] = static_cast<td::UINT2>(nIndices++); };
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
        if (isOwn(o.arg))
            ownIndex();
        else if (o.arg == Operand::Temp)
            cell(u.arg);
        else if (o.arg == Operand::ResultTemp)
        {
            s.arg2 = u.temp;
            cell(u.temp);
        }
        for (td::BYTE c = 0; c < o.consts; ++c)
            s.constColumns[c] = static_cast<td::UINT2>(nConstants++);
        if (o.next == Operand::Var)
            ownIndex();
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
    return nIndices < BatchStep::cNoColumn && nConstants < BatchStep::cNoColumn;
}

// The rooms twice as large; returns the new room.
template <typename T> std::size_t ShapeReader<T>::grow()
{
    const std::size_t room = 2 * _units.size() + 64;
    _units.resize(room);
    _indices.resize(room);
    _constants.resize(room);
    return room;
}

td::UINT4 ShapeTable::find(std::uint64_t h) const
{
    for (std::size_t k = slotOf(h);; k = (k + 1) & (_slots.size() - 1))
    {
        const Slot& slot = _slots[k];
        if (slot.shape == cNoShape || slot.hash == h)
            return slot.shape;
    }
}

void ShapeTable::add(std::uint64_t h, td::UINT4 shape)
{
    if (2 * (_n + 1) > _slots.size())
        grow();
    place(h, shape);
    ++_n;
}

void ShapeTable::place(std::uint64_t h, td::UINT4 shape)
{
    std::size_t k = slotOf(h);
    while (_slots[k].shape != cNoShape)
        k = (k + 1) & (_slots.size() - 1);
    _slots[k] = Slot{h, shape};
}

void ShapeTable::grow()
{
    std::vector<Slot> old(2 * _slots.size());
    old.swap(_slots);
    for (const Slot& slot : old)
    {
        if (slot.shape != cNoShape)
            place(slot.hash, slot.shape);
    }
}

namespace
{
// The text of a step's parts, appended piece by piece.
class StepText
{
public:
    void word(const char* w) { _t += w; }
    void named(const char* prefix, td::UINT4 n)
    {
        _t += prefix;
        _t += std::to_string(n);
    }
    void number(double v)
    {
        char buf[32];
        std::snprintf(buf, sizeof buf, " %.17g", v);
        _t += buf;
    }
    void number(const std::complex<double>& v)
    {
        char buf[64];
        std::snprintf(buf, sizeof buf, " (%.17g,%.17g)", v.real(), v.imag());
        _t += buf;
    }
    std::string take() { return std::move(_t); }

private:
    std::string _t;
};

// The first operation of the program the batches do not run; Op::End when there is none.
template <typename T> Op firstUnbatched(const CodeUnit* pc)
{
    for (;;)
    {
        const CodeUnit u = *pc++;
        const OpTraits& o = traitsOf(u.operation());
        if (!o.batched || u.operation() == Op::End)
            return o.batched ? Op::End : u.operation();
        pc += o.consts * CodeValue<T>::cUnits + (o.next != Operand::None ? 1 : 0);
    }
}
} // namespace

template <typename T> std::string describeRow(const CodeUnit* pCode)
{
    StepText t;
    ShapeReader<T> reader;
    RowShape shape;
    if (!reader.read(pCode) || !reader.makeSteps(shape))
    {
        const Op op = firstUnbatched<T>(pCode);
        const bool tooMany = std::max(reader.indexCount(), reader.constantCount()) >= BatchStep::cNoColumn;
        t.word("not batched: ");
        if (op != Op::End)
            t.word(cOpNames[static_cast<std::size_t>(op)]);
        else
            t.word(tooMany ? "more own operands than a step's columns name" : "takes a cell nobody pushed");
        t.word("\n");
        return t.take();
    }
    t.named("shape: ", static_cast<td::UINT4>(shape.steps.size()));
    t.named(" steps, ", shape.nIndexColumns);
    t.named(" indices, ", shape.nConstColumns);
    t.named(" constants, depth ", shape.depth);
    t.named(", ", shape.nTemps);
    t.word(" temporary cells\n");
    for (const BatchStep& s : shape.steps)
    {
        const OpTraits& o = traitsOf(s.op);
        std::size_t nOwn = 0;
        auto own = [&](Operand a) {
            t.named(a == Operand::Var ? " x" : " p", reader.indices()[s.indexColumns[nOwn++]]);
        };
        t.word(cOpNames[static_cast<std::size_t>(s.op)]);
        if (isOwn(o.arg))
            own(o.arg);
        else if (o.arg == Operand::Temp)
            t.named(" t", s.arg);
        else if (o.arg == Operand::Result || o.arg == Operand::ResultTemp)
            t.named(" r", s.arg);
        if (o.arg == Operand::ResultTemp)
            t.named(" t", s.arg2);
        if (o.consts > 0)
            t.number(reader.constants()[s.constColumns[0]]);
        if (o.next == Operand::Var)
            own(o.next);
        else if (o.next == Operand::Temp)
            t.named(" t", s.arg2);
        if (o.consts > 1)
            t.number(reader.constants()[s.constColumns[1]]);
        if (s.store)
            t.named(" -> t", s.temp);
        t.word("\n");
    }
    return t.take();
}

template class ShapeReader<double>;
template class ShapeReader<std::complex<double>>;
template std::string describeRow<double>(const CodeUnit* pCode);
template std::string describeRow<std::complex<double>>(const CodeUnit* pCode);
} // namespace sl
