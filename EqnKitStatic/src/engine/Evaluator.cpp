#include "Evaluator.h"

#include <cmath>

#include "CU.h"
#include "CompileContext.h"
#include "ISolverServices.h"
#include "StatisticsStore.h"

namespace sl
{
template <typename T> thread_local typename Evaluator<T>::Peephole Evaluator<T>::s_peephole;

template <typename T> void Evaluator<T>::init(CompileContext<T>& data, td::INT4 nInstructions, td::INT4 nConsts,
                                              td::INT4 nVarRefs, td::INT4 nParamRefs, td::UINT4 nTemps, bool tempsLent)
{
    TD_ASSERT(_pCode == nullptr);
    s_peephole = Peephole{};
    if (nInstructions == 1)
    {
        _type = nConsts == 1 ? Type::Constant : (nParamRefs == 1 ? Type::Parameter : Type::Variable);
        return;
    }
    _type = Type::Code;
    auto count = [](td::INT4 n) { return n > 0 ? static_cast<td::UINT4>(n) : 0u; };
    _capInstructions = count(nInstructions);
    _capConsts = count(nConsts);
    _capVarRefs = count(nVarRefs);
    _capParamRefs = count(nParamRefs);
    if (_capInstructions == 0)
        return;
    // One unit per instruction, the constants' values in place, and the end.
    _capUnits = _capInstructions + _capConsts * CodeValue<T>::cUnits + 1;
    _nTemps = nTemps;
    _tempsLent = tempsLent;
    TD_ASSERT(data.pInstructionPool);
    _pCode = data.pInstructionPool->alloc(_capUnits + (tempsLent ? 0 : nTemps * CodeValue<T>::cUnits));
    _pCode[0] = CodeUnit{};
}

template <typename T> void Evaluator<T>::trimCode(CompileContext<T>& data)
{
    if (!_pCode || _type != Type::Code || !data.pInstructionPool)
        return;
    const td::UINT4 frame = _tempsLent ? 0 : _nTemps * CodeValue<T>::cUnits;
    const td::UINT4 used = _nUnits + 1;
    if (used == _capUnits || !data.pInstructionPool->shrinkLast(_pCode, _capUnits + frame, used + frame))
        return;
    // The temporary cells move up behind the code.
    _capUnits = used;
}

template <typename T> bool Evaluator<T>::isRunnable() const
{
    if (_refused)
        return false;
    switch (_type)
    {
    // A program that puts its results leaves no cell; an expression leaves its value.
    case Type::Code: return _nInstructions == 0 || (_depth == (_nResults ? 0 : 1) && _maxDepth <= CU<T>::CU_STACK_SIZE);
    case Type::Constant:
    case Type::Parameter:
    case Type::Variable:
    case Type::ParentValue:
        // A shortcut holds its one operand.
        return _depth == 1;
    default: return true;
    }
}

template <typename T> bool Evaluator<T>::refuse()
{
    _refused = true;
    return false;
}

template <typename T> bool Evaluator<T>::trackDepth(td::BYTE operands)
{
    if (_depth < operands)
        return refuse();
    td::UINT4 depth = _depth - operands + 1u;
    if (depth > static_cast<td::UINT4>(CU<T>::CU_STACK_SIZE))
        return refuse();
    _depth = static_cast<td::UINT2>(depth);
    if (_depth > _maxDepth)
        _maxDepth = _depth;
    return true;
}

template <typename T> bool Evaluator<T>::appendInstruction(Op op, td::UINT4 arg)
{
    if (_nInstructions >= _capInstructions)
        return refuse();
    ++_nInstructions;
    const Op fused = s_peephole.lastPush >= 0 ? fusedOperation(_pCode[s_peephole.lastPush].operation(), op) : Op::End;
    s_peephole.lastPush = -1;
    const td::INT4 loadBefore = s_peephole.loadBefore;
    s_peephole.loadBefore = -1;
    if (fused != Op::End)
    {
        _pCode[s_peephole.lastOp].op = static_cast<td::BYTE>(fused);
        if (fused == Op::MulConst && loadBefore >= 0)
            joinLoad(loadBefore);
        if (fused == Op::SubVar)
            joinDifference();
        else if (fused == Op::RevSubConst || fused == Op::MulVar)
            joinAfter(fused);
        return true;
    }
    if (joinSum(op))
        return true;
    // The end marker is rewritten behind every instruction.
    TD_ASSERT(_nUnits + 1 < _capUnits);
    CodeUnit& u = _pCode[_nUnits];
    u = CodeUnit{};
    u.op = static_cast<td::BYTE>(op);
    u.arg = arg;
    if (op == Op::PushConst && s_peephole.lastOp >= 0 && _pCode[s_peephole.lastOp].operation() == Op::Load &&
        _pCode[s_peephole.lastOp].store == 0)
    {
        s_peephole.loadBefore = s_peephole.lastOp;
        s_peephole.opBeforeLoad = s_peephole.prevOp;
    }
    s_peephole.prevOp = s_peephole.lastOp;
    s_peephole.lastOp = static_cast<td::INT4>(_nUnits);
    if (hasFusedForms(op))
        s_peephole.lastPush = s_peephole.lastOp;
    ++_nUnits;
    _pCode[_nUnits] = CodeUnit{};
    return true;
}

// Load k at unit i, then the constant's multiplication at i + 1 with the constant after
// it: one unit less, the load's cell in the multiplication's argument.
template <typename T> void Evaluator<T>::joinLoad(td::INT4 i)
{
    CodeUnit& load = _pCode[i];
    const td::UINT4 temp = load.arg;
    load = _pCode[i + 1];
    load.op = static_cast<td::BYTE>(Op::TempMulConst);
    load.arg = temp;
    dropUnitBeforeConstant(i + 1);
    s_peephole.lastOp = i;
    s_peephole.prevOp = s_peephole.opBeforeLoad;
}

// Unit i, the last operation's, is folded into the one before it: the constant after it
// moves up into its place and the end follows.
template <typename T> void Evaluator<T>::dropUnitBeforeConstant(td::INT4 i)
{
    std::memmove(static_cast<void*>(_pCode + i), _pCode + i + 1, CodeValue<T>::cUnits * sizeof(CodeUnit));
    --_nUnits;
    _pCode[_nUnits] = CodeUnit{};
}

// The last operation became part of the one before it, which is the last now (and has
// none before it that may still join).
template <typename T> void Evaluator<T>::joinedIntoPrevious()
{
    s_peephole.lastOp = s_peephole.prevOp;
    s_peephole.prevOp = -1;
}

// A push of a variable right before a subtraction of a variable: one operation, the
// second variable's index in the unit after it.
template <typename T> void Evaluator<T>::joinDifference()
{
    if (s_peephole.prevOp < 0 || s_peephole.prevOp + 1 != s_peephole.lastOp)
        return;
    CodeUnit& first = _pCode[s_peephole.prevOp];
    if (first.operation() != Op::PushVar || first.store != 0)
        return;
    first.op = static_cast<td::BYTE>(Op::PushVarSubVar);
    joinedIntoPrevious();
}

// A constant less the product of the top and a variable; a put and load whose cell is
// multiplied by a variable: one operation, the second's unit (or constant) after it.
template <typename T> void Evaluator<T>::joinAfter(Op second)
{
    if (s_peephole.prevOp < 0 || s_peephole.prevOp + 1 != s_peephole.lastOp)
        return;
    CodeUnit& first = _pCode[s_peephole.prevOp];
    if (first.store != 0)
        return;
    if (second == Op::RevSubConst && first.operation() == Op::MulVar)
    {
        first.op = static_cast<td::BYTE>(Op::MulVarRevSubConst);
        dropUnitBeforeConstant(s_peephole.lastOp);
    }
    else if (second == Op::MulVar && first.operation() == Op::PutLoad)
        first.op = static_cast<td::BYTE>(Op::PutLoadMulVar);
    else
        return;
    joinedIntoPrevious();
}

// A multiplication by a constant, or a joined load and multiplication, right before a
// joined load, multiplication and sum: one operation with the parts of both after it.
template <typename T> void Evaluator<T>::joinScaledSum()
{
    constexpr td::INT4 cUnits = static_cast<td::INT4>(CodeValue<T>::cUnits);
    if (s_peephole.prevOp < 0 || s_peephole.prevOp + 1 + cUnits != s_peephole.lastOp)
        return;
    CodeUnit& first = _pCode[s_peephole.prevOp];
    const CodeUnit last = _pCode[s_peephole.lastOp];
    if (first.store != 0 || last.store != 0)
        return;
    const bool adds = last.operation() == Op::AddTempMulConst;
    if (first.operation() == Op::TempMulConst)
    {
        // Both units stay: the second's cell is read from its place.
        first.op = static_cast<td::BYTE>(adds ? Op::TempMulConstAddTempMulConst : Op::TempMulConstSubTempMulConst);
        joinedIntoPrevious();
        return;
    }
    if (first.operation() != Op::MulConst)
        return;
    first.op = static_cast<td::BYTE>(adds ? Op::MulConstAddTempMulConst : Op::MulConstSubTempMulConst);
    first.arg = last.arg;
    dropUnitBeforeConstant(s_peephole.lastOp);
    joinedIntoPrevious();
}

// An addition or subtraction right after a joined load and multiplication, or after a
// multiplication by a variable (that keeps no cell), takes its place: the product goes
// into the sum without passing the stack.
template <typename T> bool Evaluator<T>::joinSum(Op op)
{
    if ((op != Op::Add && op != Op::Sub) || s_peephole.lastOp < 0)
        return false;
    CodeUnit& last = _pCode[s_peephole.lastOp];
    if (last.store != 0)
        return false;
    const bool adds = op == Op::Add;
    switch (last.operation())
    {
    case Op::TempMulConst:
        last.op = static_cast<td::BYTE>(adds ? Op::AddTempMulConst : Op::SubTempMulConst);
        joinScaledSum();
        return true;
    case Op::MulVar: last.op = static_cast<td::BYTE>(adds ? Op::MulVarAdd : Op::MulVarSub); return true;
    default: return false;
    }
}

template <typename T> bool Evaluator<T>::appendPush(Op push, td::UINT4 arg)
{
    return trackDepth(0) && appendInstruction(push, arg);
}

template <typename T> bool Evaluator<T>::appendConstant(const T& value)
{
    if (_nConsts >= _capConsts || !appendPush(Op::PushConst, 0))
        return refuse();
    ++_nConsts;
    CodeValue<T>::write(_pCode + _nUnits, value);
    _nUnits += CodeValue<T>::cUnits;
    _pCode[_nUnits] = CodeUnit{};
    return true;
}

template <typename T> bool Evaluator<T>::compileStore(td::UINT4 k)
{
    if (_refused || _type != Type::Code || k >= _nTemps || _depth < 1 || s_peephole.lastOp < 0)
        return refuse();
    // The operation that made the top keeps it, unless it keeps a cell already (or, as a
    // put and load, reads its cell number from where the flag's cell would go).
    CodeUnit& last = _pCode[s_peephole.lastOp];
    const bool loads = traitsOf(last.operation()).arg == Operand::ResultTemp;
    if (last.store == 0 && !loads && k <= CodeUnit::cMaxFlagTemp && _nInstructions < _capInstructions)
    {
        ++_nInstructions;
        last.store = 1;
        last.temp = static_cast<td::UINT2>(k);
        s_peephole.lastPush = -1;
        return true;
    }
    return appendInstruction(Op::Store, k);
}

template <typename T> bool Evaluator<T>::compileSinCos(bool cosineFirst, td::UINT4 k)
{
    if (_refused || _type != Type::Code || k >= _nTemps)
        return refuse();
    return trackDepth(1) && appendInstruction(cosineFirst ? Op::CosSin : Op::SinCos, k);
}

template <typename T> bool Evaluator<T>::compilePut(td::UINT4 k)
{
    if (_refused || _type != Type::Code || _depth < 1)
        return refuse();
    if (!appendInstruction(k == 0 ? Op::PutHead : Op::Put, k))
        return false;
    --_depth;
    ++_nResults;
    return true;
}

template <typename T> bool Evaluator<T>::compileLoad(td::UINT4 k)
{
    if (_refused || _type != Type::Code || k >= _nTemps)
        return refuse();
    if (!trackDepth(0))
        return false;
    // A load right after a put takes the put's place: the cell put is the one loaded over.
    const Op last = s_peephole.lastOp >= 0 ? _pCode[s_peephole.lastOp].operation() : Op::End;
    if ((last == Op::Put || last == Op::PutHead) && _pCode[s_peephole.lastOp].store == 0 &&
        k <= CodeUnit::cMaxFlagTemp && _nInstructions < _capInstructions)
    {
        ++_nInstructions;
        _pCode[s_peephole.lastOp].op = static_cast<td::BYTE>(last == Op::Put ? Op::PutLoad : Op::PutHeadLoad);
        _pCode[s_peephole.lastOp].temp = static_cast<td::UINT2>(k);
        s_peephole.lastPush = -1;
        return true;
    }
    return appendInstruction(Op::Load, k);
}

template <typename T> bool Evaluator<T>::compileToken(const Token<T>& token, td::UINT4 nVars)
{
    if (_refused)
        return false;
    const bool shortcut = _type != Type::Code;
    // A shortcut holds exactly one operand.
    if (shortcut && _depth != 0)
        return refuse();

    if (token.type == TokenCodes::SYMBOL)
    {
        const bool parent = token.symbolOrigin == sc::SymbolOrigin::ParentModel;
        if (!parent && token.index < nVars)
        {
            if (shortcut)
            {
                if (_type != Type::Variable)
                    return refuse();
                _symbolIndex = token.index;
                return trackDepth(0);
            }
            TD_ASSERT(token.symbolOrigin == sc::SymbolOrigin::ThisModel);
            if (_nVarRefs >= _capVarRefs || !appendPush(Op::PushVar, token.index))
                return refuse();
            ++_nVarRefs;
            return true;
        }
        if (shortcut)
        {
            if (_type != Type::Parameter)
                return refuse();
            // A lone parent-model value reads the parent, never this model's parameters.
            if (parent)
            {
                _type = Type::ParentValue;
                _symbolIndex = token.index;
            }
            else
                _symbolIndex = token.index - nVars;
            return trackDepth(0);
        }
        if (_nParamRefs >= _capParamRefs ||
            !appendPush(parent ? Op::PushParent : Op::PushPar, parent ? token.index : token.index - nVars))
            return refuse();
        ++_nParamRefs;
        return true;
    }

    if (token.isNumber())
    {
        if (!shortcut)
            return appendConstant(token.value);
        if (_type != Type::Constant)
            return refuse();
        _constValue = token.value;
        return trackDepth(0);
    }

    if (shortcut)
        return refuse();

    td::BYTE code = token.type;
    if (token.type == TokenCodes::FUNCTION)
        code = token.functionID();
    else if (token.type < TokenCodes::OPEN_PARENTHESIS)
        return refuse();
    // Constants come as number tokens: a push code is no token of its own.
    if (code == Traits::cPushInt || code == Traits::cPushFloat)
        return refuse();
    const typename CU<T>::OpInfo& op = CU<T>::opcode(code);
    if (!op.supported)
        return refuse();
    if (token.type == TokenCodes::FUNCTION && TokenCodes::takesTokenOperand(code))
    {
        if (!appendConstant(token.value))
            return false;
    }
    if (!trackDepth(op.operands))
        return false;
    return appendInstruction(op.op);
}

template <typename T> const Evaluator<T>* Evaluator<T>::chosenCase(CU<T>& cu) const
{
    for (const Evaluator* pCase = this; pCase; pCase = pCase->_pElse)
    {
        if (!pCase->_pCondition || isTrue(pCase->_pCondition->evaluate(cu)))
            return pCase;
    }
    return nullptr;
}

template <typename T> const Evaluator<T>* Evaluator<T>::chosenBranch(CU<T>& cu, td::UINT4& n) const
{
    TD_ASSERT(_pCondition);
    const bool taken = isTrue(_pCondition->evaluate(cu));
    n = taken ? _nConsts : _nVarRefs;
    const Evaluator* pBranch = taken ? _pThen : _pElse;
    return n > 0 ? pBranch : nullptr;
}

template <typename T> T Evaluator<T>::evaluate(CU<T>& cu) const
{
    const Evaluator* e = this;
    for (;;)
    {
        if (e->isShortcut() && !e->isRunnable())
            return quietNaN<T>();
        switch (e->_type)
        {
        case Type::Code: return cu.runCode(*e);
        case Type::Constant: return e->_constValue;
        case Type::Parameter:
        {
            const T* pParams = cu.getParameterValues();
            TD_ASSERT(pParams);
            return pParams[e->_symbolIndex];
        }
        case Type::Variable:
        {
            const T* pVars = cu.getVariableValues();
            TD_ASSERT(pVars);
            return pVars[e->_symbolIndex];
        }
        case Type::ParentValue:
        {
            const T* pParent = cu.getParentValues();
            TD_ASSERT(pParent);
            return pParent[e->_symbolIndex];
        }
        case Type::IfThenElse:
        {
            TD_ASSERT(e->_pCondition);
            const Evaluator* pNext = isTrue(e->_pCondition->evaluate(cu)) ? e->_pThen : e->_pElse;
            if (!pNext)
                return T(0);
            e = pNext;
            continue;
        }
        case Type::Switch:
        {
            const Evaluator* pCase = e->chosenCase(cu);
            if (!pCase || !pCase->_pThen)
                return T(0);
            e = pCase->_pThen;
            continue;
        }
        default: TD_ASSERT(false); return T(0);
        }
    }
}

template <typename T> void Evaluator<T>::sendSignal(CU<T>& cu, td::BYTE code) const
{
    sc::ISignal* pSignal = cu.getSignalReceiver();
    if (code != cNoSignal && pSignal)
        pSignal->signal(code);
}

template <typename T> bool Evaluator<T>::runStatements(CU<T>& cu, const Evaluator* p, td::UINT4 n) const
{
    for (td::UINT4 i = 0; i < n; ++i)
    {
        if (!p[i].execute(cu))
            return false;
    }
    return true;
}

template <typename T> bool Evaluator<T>::execute(CU<T>& cu) const
{
    switch (_type)
    {
    case Type::Statistics:
    {
        ISolverServices<T>* pSolver = cu.getSolver();
        TD_ASSERT(pSolver);
        StatisticsStore<T>* pStore = pSolver->getStatisticsStore();
        TD_ASSERT(pStore);
        TD_ASSERT(_varIndex >= 0 && static_cast<td::UINT4>(_varIndex) < pStore->size());
        StatisticsRecord& record = pStore->record(static_cast<td::UINT4>(_varIndex));
        for (td::UINT4 i = 0; i < _nConsts; ++i)
            record.feed(realPart(_pThen[i].evaluate(cu)));
        return true;
    }
    case Type::IfThenElse:
    {
        td::UINT4 n = 0;
        const Evaluator* pBranch = chosenBranch(cu, n);
        if (!pBranch)
            return true;
        sendSignal(cu, pBranch->_signal);
        return runStatements(cu, pBranch, n);
    }
    case Type::Switch:
    {
        const Evaluator* pCase = chosenCase(cu);
        if (!pCase)
            return true;
        sendSignal(cu, pCase->_signal);
        return pCase->_pThen ? runStatements(cu, pCase->_pThen, pCase->_nConsts) : true;
    }
    case Type::List:
        if (_enabled && _pThen)
        {
            for (td::UINT4 i = 0; i < _nConsts; ++i)
                _pThen[i].evaluate(cu);
        }
        return true;
    case Type::Code:
    case Type::Constant:
    case Type::Parameter:
    case Type::Variable:
    case Type::ParentValue:
        if (!isRunnable())
            return false;
        return assign(cu, evaluate(cu));
    }
    TD_ASSERT(false);
    return false;
}

template <typename T> bool Evaluator<T>::applyAssignment(T& target, const T& value, char op)
{
    switch (op)
    {
    case '=': target = value; return true;
    case '+': target += value; return true;
    case '-': target -= value; return true;
    case '*': target *= value; return true;
    case '/':
        if (value == T(0))
            return false;
        target /= value;
        return true;
    case '^': target = std::pow(target, value); return true;
    default: TD_ASSERT(false); return false;
    }
}

namespace
{
// Applies op with the real part of value to one part of a complex target.
bool applyToPart(std::complex<double>& target, bool realPart, double value, char op)
{
    double part = realPart ? target.real() : target.imag();
    if (!Evaluator<double>::applyAssignment(part, value, op))
        return false;
    if (realPart)
        target.real(part);
    else
        target.imag(part);
    return true;
}
} // namespace

template <typename T> void Evaluator<T>::updatePartner(CU<T>& cu, td::INT4 i) const
{
    if constexpr (Traits::isComplex)
    {
        ISolverServices<T>* pSolver = cu.getSolver();
        if (!pSolver || !pSolver->hasConjugatePartners())
            return;
        if (static_cast<td::UINT4>(i) + 1 >= pSolver->getNumberOfVariables())
            return;
        T* pVars = cu.getVariableValues();
        pVars[i + 1] = std::conj(pVars[i]);
    }
}

template <typename T> bool Evaluator<T>::assignParent(CU<T>& cu, const T& value, ValuePart part) const
{
    ISolverServices<T>* parentSolver = cu.getParentSolver();
    TD_ASSERT(parentSolver);
    if (_op == '/' && (part == ValuePart::Whole ? value == T(0) : realPart(value) == 0.0))
        return false;
    td::INT4 i = _varIndex;
    if constexpr (Traits::isComplex)
    {
        td::INT4 partner = 2 * i + 1;
        if (parentSolver->hasConjugatePartners() &&
            static_cast<td::UINT4>(partner) < parentSolver->getNumberOfVariables())
        {
            parentSolver->updateSymbolValue(&value, 2 * i, _op, part);
            T conjugate = std::conj(parentSolver->getVariableValuesPtr()[2 * i]);
            parentSolver->updateSymbolValue(&conjugate, partner, '=', ValuePart::Whole);
            return true;
        }
    }
    parentSolver->updateSymbolValue(&value, i, _op, part);
    return true;
}

template <typename T> bool Evaluator<T>::assign(CU<T>& cu, const T& value) const
{
    using K = TargetKind;
    const K kind = static_cast<K>(_targetKind);
    if (kind == K::None || _targetKind > static_cast<td::BYTE>(K::None))
        return false;
    TD_ASSERT(_varIndex >= 0);
    switch (kind)
    {
    case K::Variable:
        if (!applyAssignment(cu.getVariableValues()[_varIndex], value, _op))
            return false;
        updatePartner(cu, _varIndex);
        return true;
    case K::Parameter: return applyAssignment(cu.getParameterValues()[_varIndex], value, _op);
    case K::Parent: return assignParent(cu, value, ValuePart::Whole);
    default: break;
    }
    if constexpr (Traits::isComplex)
    {
        switch (kind)
        {
        case K::ParentReal: return assignParent(cu, value, ValuePart::Real);
        case K::ParentImag: return assignParent(cu, value, ValuePart::Imag);
        case K::VariableReal:
        case K::VariableImag:
            if (!applyToPart(cu.getVariableValues()[_varIndex], kind == K::VariableReal, value.real(), _op))
                return false;
            updatePartner(cu, _varIndex);
            return true;
        case K::ParameterReal:
        case K::ParameterImag:
            return applyToPart(cu.getParameterValues()[_varIndex], kind == K::ParameterReal, value.real(), _op);
        default: break;
        }
    }
    return false;
}

// ---- set-up of conditional and special records ----

template <typename T>
void Evaluator<T>::setIfThenElse(const Evaluator* pCondition, const Evaluator* pThen, const Evaluator* pElse)
{
    _type = Type::IfThenElse;
    _pCondition = pCondition;
    _pThen = pThen;
    _pElse = pElse;
}

template <typename T> void Evaluator<T>::setBranchCounts(td::UINT4 nThen, td::UINT4 nElse)
{
    TD_ASSERT(_type == Type::IfThenElse);
    _nConsts = nThen;
    _nVarRefs = nElse;
}

template <typename T> void Evaluator<T>::setSwitchCase(const Evaluator* pCondition, const Evaluator* pBody,
                                                       td::UINT4 nBody, const Evaluator* pNextCase)
{
    _type = Type::Switch;
    _pCondition = pCondition;
    _pThen = pBody;
    _nConsts = nBody;
    _pElse = pNextCase;
}

template <typename T> void Evaluator<T>::setNextCase(const Evaluator* pNextCase)
{
    TD_ASSERT(_type == Type::Switch);
    _pElse = pNextCase;
}

template <typename T> void Evaluator<T>::setSwitchColumns(td::UINT4 nColumns)
{
    TD_ASSERT(_type == Type::Switch);
    _nVarRefs = nColumns;
}

template <typename T> void Evaluator<T>::setList(const Evaluator* pFirst, td::UINT4 n, bool enabled)
{
    _type = Type::List;
    _pThen = pFirst;
    _nConsts = n;
    _enabled = enabled ? 1 : 0;
}

template <typename T> void Evaluator<T>::setStatisticsUpdate(td::INT4 statIndex, const Evaluator* pFirst, td::UINT4 n)
{
    _type = Type::Statistics;
    _varIndex = statIndex;
    _op = '<';
    _pThen = pFirst;
    _nConsts = pFirst ? n : 0;
}

template <typename T> void Evaluator<T>::setConstant(const T& value)
{
    _type = Type::Constant;
    _constValue = value;
    _depth = _maxDepth = 1;
}

template <typename T> void Evaluator<T>::setTarget(td::INT4 index, td::BYTE kind, char op)
{
    _varIndex = index;
    _targetKind = kind;
    _op = op;
}

template <typename T> td::UINT4 Evaluator<T>::getStatementCount() const
{
    TD_ASSERT(_type == Type::Switch);
    return _nConsts;
}

template <typename T> td::UINT4 Evaluator<T>::getSwitchColumns() const
{
    TD_ASSERT(_type == Type::Switch);
    return _nVarRefs;
}

template <typename T> const Evaluator<T>* Evaluator<T>::getCondition() const
{
    return _type == Type::IfThenElse || _type == Type::Switch ? _pCondition : nullptr;
}

template <typename T> const Evaluator<T>* Evaluator<T>::getThen() const
{
    return _type >= Type::IfThenElse && _type <= Type::Statistics ? _pThen : nullptr;
}

template <typename T> const Evaluator<T>* Evaluator<T>::getElse() const
{
    return _type == Type::IfThenElse ? _pElse : nullptr;
}

template <typename T> td::UINT4 Evaluator<T>::getThenCount() const
{
    return _type >= Type::IfThenElse && _type <= Type::Statistics ? _nConsts : 0;
}

template <typename T> td::UINT4 Evaluator<T>::getElseCount() const { return _type == Type::IfThenElse ? _nVarRefs : 0; }

template <typename T> const Evaluator<T>* Evaluator<T>::getNextCase() const
{
    return _type == Type::Switch ? _pElse : nullptr;
}

// ---- variable dependence and matrix walks ----

template <typename T> bool Evaluator<T>::runReadsVariables(const Evaluator* p, td::UINT4 n)
{
    for (td::UINT4 i = 0; p && i < n; ++i)
    {
        if (p[i].readsVariables())
            return true;
    }
    return false;
}

template <typename T> bool Evaluator<T>::readsVariables() const
{
    switch (_type)
    {
    case Type::Code: return _nVarRefs > 0;
    case Type::Variable: return true;
    case Type::IfThenElse:
        return (_pCondition && _pCondition->readsVariables()) || runReadsVariables(_pThen, _nConsts) ||
               runReadsVariables(_pElse, _nVarRefs);
    case Type::Switch:
        for (const Evaluator* pCase = this; pCase; pCase = pCase->_pElse)
        {
            if ((pCase->_pCondition && pCase->_pCondition->readsVariables()) ||
                runReadsVariables(pCase->_pThen, pCase->_nConsts))
                return true;
        }
        return false;
    case Type::List: return runReadsVariables(_pThen, _nConsts);
    default: return false;
    }
}

template <typename T> void Evaluator<T>::putRun(CU<T>& cu, const Evaluator* p, td::UINT4 n, td::UINT4 row,
                                                sparse::IMatrixReceiver<T>& receiver)
{
    for (td::UINT4 i = 0; i < n; ++i)
    {
        T v = p[i].evaluate(cu);
        receiver.put(static_cast<td::INT4>(row), p[i]._varIndex, &v);
    }
}

template <typename T>
void Evaluator<T>::applyIfThenElse(CU<T>& cu, td::UINT4 row, sparse::IMatrixReceiver<T>& receiver) const
{
    TD_ASSERT(_type == Type::IfThenElse);
    td::UINT4 n = 0;
    const Evaluator* pBranch = chosenBranch(cu, n);
    if (!pBranch)
        return;
    if (n == 1 && pBranch->_type == Type::IfThenElse)
        return pBranch->applyIfThenElse(cu, row, receiver);
    putRun(cu, pBranch, n, row, receiver);
}

template <typename T>
void Evaluator<T>::applySwitch(CU<T>& cu, td::UINT4 row, sparse::IMatrixReceiver<T>& receiver) const
{
    TD_ASSERT(_type == Type::Switch);
    const Evaluator* pCase = chosenCase(cu);
    if (!pCase || !pCase->_pThen || pCase->_nConsts == 0)
        return;
    const Evaluator* pBody = pCase->_pThen;
    if (pCase->_nConsts == 1 && pBody->_type == Type::IfThenElse)
        return pBody->applyIfThenElse(cu, row, receiver);
    if (pCase->_nConsts == 1 && pBody->_type == Type::Switch)
        return pBody->applySwitch(cu, row, receiver);
    putRun(cu, pBody, pCase->_nConsts, row, receiver);
}

template class Evaluator<double>;
template class Evaluator<std::complex<double>>;
} // namespace sl
