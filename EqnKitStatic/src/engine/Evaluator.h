// One compiled expression or statement of a model: stack-machine code, a shortcut for a
// lone constant, parameter or variable, or a conditional over further evaluators.
// Records and their code live in the build context's pools and are never freed alone.
#pragma once

#include <complex>

#include <matrix/IMatrixReceiver.h>
#include <sc/ISignal.h>
#include <td/Assert.h>
#include <td/Types.h>

#include "Code.h"
#include "Token.h"
#include "ValueTraits.h"

namespace sl
{
template <typename T> class CU;
template <typename T> struct CompileContext;

template <typename T> class Evaluator
{
    friend class CU<T>;

public:
    using Traits = ValueTraits<T>;
    using TargetKind = typename Traits::TargetKind;

    enum class Type : td::BYTE
    {
        Code = 0,
        Constant = 1,
        Parameter = 2,
        Variable = 3,
        IfThenElse = 4,
        Switch = 5,
        List = 6,
        Statistics = 7,
        // A lone value of the parent model, read from the parent's value array.
        ParentValue = 8
    };

    static constexpr td::BYTE cNoSignal = sc::ISignal::NoSignal;

    Evaluator() = default;

    // Sizes the record: a single instruction makes a shortcut (constant, parameter or
    // variable), anything else code in one run of the build context's code pool.
    // nTemps temporary cells follow the code (parts the code computes once, Store and
    // Load counting as instructions).
    // A program whose caller lends it its cells (tempsLent) has none of its own.
    void init(CompileContext<T>& data, td::INT4 nInstructions, td::INT4 nConsts, td::INT4 nVarRefs, td::INT4 nParamRefs,
              td::UINT4 nTemps = 0, bool tempsLent = false);
    // Appends the code of one token of a postfix walk. False refuses the token: an
    // operation the stack machine does not have, a token that never reaches the compiler,
    // more operands than sized, a missing operand, or more than the machine's cells.
    // A refused evaluator evaluates to NaN and its statement executes as false.
    bool compileToken(const Token<T>& token, td::UINT4 nVars);
    // Keeps the top cell in temporary cell k; pushes temporary cell k.
    bool compileStore(td::UINT4 k);
    bool compileLoad(td::UINT4 k);
    // The sine (or with cosineFirst the cosine) of the top cell in its place, the other
    // one of the pair into temporary cell k, from one call.
    bool compileSinCos(bool cosineFirst, td::UINT4 k);
    // Pops the top cell into result slot k: code of several results (a program), which
    // leaves no cell and is run by CU::run.
    bool compilePut(td::UINT4 k);
    // After the last instruction: gives the units that fused operations left unused back to
    // the code pool of init, when this record's code is the last it handed out.
    void trimCode(CompileContext<T>& data);

    T evaluate(CU<T>& cu) const;
    // Runs a statement and applies it to its target; false for a failed statement.
    bool execute(CU<T>& cu) const;

    // '=', '+', '-', '*', '/', '^'; false (target unchanged) for a division by zero.
    static bool applyAssignment(T& target, const T& value, char op);

    // Conditional records.
    void setIfThenElse(const Evaluator* pCondition, const Evaluator* pThen, const Evaluator* pElse);
    void setBranchCounts(td::UINT4 nThen, td::UINT4 nElse);
    // One case of a switch; a null condition makes the default case.
    void setSwitchCase(const Evaluator* pCondition, const Evaluator* pBody, td::UINT4 nBody,
                       const Evaluator* pNextCase);
    void setNextCase(const Evaluator* pNextCase);
    void setSwitchColumns(td::UINT4 nColumns);
    void setList(const Evaluator* pFirst, td::UINT4 n, bool enabled);
    void setEnabled(bool enabled) { _enabled = enabled ? 1 : 0; }
    // A statistics feed: each of the n records from pFirst is evaluated and fed into
    // statistic statIndex; the feed owns its expressions.
    void setStatisticsUpdate(td::INT4 statIndex, const Evaluator* pFirst, td::UINT4 n);
    // Makes the record a constant shortcut (an empty matrix slot is a constant 0).
    void setConstant(const T& value);

    void setTarget(td::INT4 index, td::BYTE kind, char op);
    void setSignal(td::BYTE code) { _signal = code; }

    // The record's matrix walks: the chosen branch of a conditional entry goes into the
    // receiver at row, each record at its own target column.
    void applyIfThenElse(CU<T>& cu, td::UINT4 row, sparse::IMatrixReceiver<T>& receiver) const;
    void applySwitch(CU<T>& cu, td::UINT4 row, sparse::IMatrixReceiver<T>& receiver) const;
    // The case of a switch chain that a walk takes; null when none matches.
    const Evaluator* chosenCase(CU<T>& cu) const;

    Type getType() const { return _type; }
    td::INT4 getTargetIndex() const { return _varIndex; }
    td::BYTE getTargetKind() const { return _targetKind; }
    char getOperator() const { return _op; }
    td::BYTE getSignal() const { return _signal; }
    bool isEnabled() const { return _enabled != 0; }
    td::UINT4 getStatementCount() const;
    td::UINT4 getSwitchColumns() const;

    const Evaluator* getCondition() const;
    const Evaluator* getThen() const;
    const Evaluator* getElse() const;
    td::UINT4 getThenCount() const;
    td::UINT4 getElseCount() const;
    const Evaluator* getNextCase() const;

    td::UINT4 getNumberOfInstructions() const { return _type == Type::Code ? _nInstructions : 1; }
    td::UINT4 getNumberOfVariableRefs() const { return _type == Type::Code ? _nVarRefs : 0; }
    // Deepest stack the code needs.
    td::UINT2 getStackDepth() const { return _maxDepth; }
    bool isRefused() const { return _refused; }
    // The temporary cells of code records: evaluation writes them, one evaluation at a time.
    T* temps() const { return _nTemps && !_tempsLent ? reinterpret_cast<T*>(_pCode + _capUnits) : nullptr; }
    const CodeUnit* code() const { return _pCode; }
    td::UINT4 getNumberOfResults() const { return _nResults; }
    td::UINT4 getNumberOfTemps() const { return _nTemps; }
    // False for code the stack machine refuses to run: a refused token, operands left
    // over, or more cells than the machine has.
    bool isRunnable() const;
    // True when a runnable record has every slot it was sized for written.
    bool isFilled() const
    {
        if (_type != Type::Code)
            return isRunnable();
        return isRunnable() && _nInstructions == _capInstructions && _nConsts == _capConsts &&
               _nVarRefs == _capVarRefs && _nParamRefs == _capParamRefs;
    }
    // A lone constant, parameter, variable or parent-model value.
    bool isShortcut() const
    {
        return _type == Type::Constant || _type == Type::Parameter || _type == Type::Variable ||
               _type == Type::ParentValue;
    }
    // True when this record, or any record or condition below it, reads a variable of
    // this model.
    bool readsVariables() const;

private:
    // The run of records an IfThenElse takes, its length in n; null for an absent or
    // empty branch.
    const Evaluator* chosenBranch(CU<T>& cu, td::UINT4& n) const;
    static bool runReadsVariables(const Evaluator* p, td::UINT4 n);
    bool runStatements(CU<T>& cu, const Evaluator* p, td::UINT4 n) const;
    void sendSignal(CU<T>& cu, td::BYTE code) const;
    bool assign(CU<T>& cu, const T& value) const;
    bool assignParent(CU<T>& cu, const T& value, ValuePart part) const;
    void updatePartner(CU<T>& cu, td::INT4 i) const;
    static void putRun(CU<T>& cu, const Evaluator* p, td::UINT4 n, td::UINT4 row, sparse::IMatrixReceiver<T>& receiver);
    bool refuse();
    // An instruction takes `operands` cells and leaves one.
    bool trackDepth(td::BYTE operands);
    // Appends op with its argument; a binary arithmetic operation right after a push
    // takes the push's place in its fused form.
    bool appendInstruction(Op op, td::UINT4 arg = 0);
    void joinLoad(td::INT4 i);
    void dropUnitBeforeConstant(td::INT4 i);
    bool joinSum(Op op);
    void joinedIntoPrevious();
    void joinDifference();
    void joinAfter(Op second);
    void joinScaledSum();
    bool appendPush(Op push, td::UINT4 arg);
    bool appendConstant(const T& value);

    // Conditional records: IfThenElse {condition, then run, else run}, Switch case
    // {condition, body, next case}, List and Statistics {-, records}.
    const Evaluator* _pCondition = nullptr;
    const Evaluator* _pThen = nullptr;
    const Evaluator* _pElse = nullptr;
    // Code records: the code, ended by Op::End, in one run of units.
    CodeUnit* _pCode = nullptr;
    T _constValue = T(0);
    td::UINT4 _nUnits = 0;
    // Units of code and end; the temporary cells follow them.
    td::UINT4 _capUnits = 0;
    td::UINT4 _nTemps = 0;
    td::UINT4 _nResults = 0;
    // Where the code being compiled may still fuse. A record's code is compiled whole from
    // its init on, one record at a time, so this is kept once, not in each of the many
    // records a model makes.
    struct Peephole
    {
        // Unit of the last operation, of the one before it, and of the last push while it
        // may still fuse with the operation after it; none: -1.
        td::INT4 lastOp = -1;
        td::INT4 prevOp = -1;
        td::INT4 lastPush = -1;
        // Unit of a load right before the last push of a constant, which a multiplication
        // after that push joins, and of the operation before that load; none: -1.
        td::INT4 loadBefore = -1;
        td::INT4 opBeforeLoad = -1;
    };
    static thread_local Peephole s_peephole;
    // Code: tokens compiled by kind. IfThenElse: then and else counts. Switch case: body
    // count and matrix columns. List and Statistics: record count.
    td::UINT4 _nConsts = 0;
    td::UINT4 _nVarRefs = 0;
    td::UINT4 _nParamRefs = 0;
    td::UINT4 _nInstructions = 0;
    td::UINT4 _capConsts = 0;
    td::UINT4 _capVarRefs = 0;
    td::UINT4 _capParamRefs = 0;
    td::UINT4 _capInstructions = 0;
    // Symbol index of a parameter, variable or parent-value shortcut.
    td::UINT4 _symbolIndex = 0;
    // Assignment target; statistics record of a statistics update.
    td::INT4 _varIndex = -1;
    td::UINT2 _depth = 0;
    td::UINT2 _maxDepth = 0;
    // The bytes last, together: a record is one of many thousands, so padding counts.
    bool _tempsLent = false;
    td::BYTE _targetKind = 1;
    Type _type = Type::Code;
    td::BYTE _signal = cNoSignal;
    td::BYTE _enabled = 0;
    char _op = '=';
    bool _refused = false;
};

extern template class Evaluator<double>;
extern template class Evaluator<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using Evaluator = sl::Evaluator<double>;
}

namespace slCmplx
{
using Evaluator = sl::Evaluator<std::complex<double>>;
}
