// Statements of the text road's processing sections, limits, repeats and plots:
// assignments, if/else and switch/case blocks nested to any depth, each into evaluator
// records of the pool.
#pragma once

#include <complex>

#include <sc/ModelEnums.h>
#include <sc/TokenizedModel.h>
#include <td/Types.h>

#include "BuildState.h"
#include "UsedVariables.h"

namespace sl
{
// What a statement's build gave; callers treat every value but Failed and LoneRepeat alike.
enum class StatementResult : td::BYTE
{
    Failed = 0,
    Compiled = 1,
    SwitchCompiled = 4,
    IfCompiled = 6,
    LoneRepeat = 8
};

template <typename T> class StatementReader
{
public:
    using Iterator = sc::TokenizedModel::iterator;
    using Tree = ExpressionTree<T>;
    using enum StatementResult;

    // An assignment's variables are collected into used, which the limits read.
    StatementReader(BuildState<T>& state, UsedVariables<T>& used) : _s(state), _used(used) {}

    // Compiles the statement at it, with everything nested in it, into out; it is left
    // on the statement's last line.
    StatementResult buildStatements(Iterator& it, const sc::TokenizedModel& model, Evaluator<T>* out, sc::Group group);
    // A target written name.real or name.imag: part 1 or 2; false after a key.
    bool checkComplexAssignmentPart(const Iterator& it, td::BYTE& part) requires ValueTraits<T>::isComplex;

private:
    StatementResult buildStatement(Iterator& it, const sc::TokenizedModel& model, Evaluator<T>* out, sc::Group group);
    StatementResult buildIfBlock(Iterator& it, const sc::TokenizedModel& model, Evaluator<T>* out, sc::Group group);
    StatementResult buildSwitchBlock(Iterator& it, const sc::TokenizedModel& model, Evaluator<T>* out, sc::Group group);
    StatementResult buildAssignment(Iterator& it, Evaluator<T>* out, sc::Group group);
    // The symbol an assignment at it writes (the part of a complex one in part); -1 after
    // a key.
    td::INT4 readTarget(const Iterator& it, td::UINT4 opIndex, td::BYTE& isParent, td::BYTE& part);
    bool buildChildren(Iterator& it, const sc::TokenizedModel& model, Evaluator<T>*& pRun, td::UINT4 n,
                       sc::Group group);
    bool readSignal(const Iterator& it, sc::Group group, const char* keyOnUnknown, td::BYTE& signal) const;
    // The tokens of the line from first to end into a pooled tree and then into pRecord;
    // false without a key when the parser refuses them, else with keyOnFailure.
    bool compileRecord(const Iterator& it, td::UINT4 first, td::UINT4 end, Evaluator<T>* pRecord,
                       const char* keyOnFailure, td::BYTE* pKind);
    StatementResult failAt(const char* key, const Iterator& it) const
    {
        _s.lineError(key, it);
        return Failed;
    }
    StatementResult failAt(const char* key, const Place& at) const
    {
        _s.lineError(key, at);
        return Failed;
    }

    BuildState<T>& _s;
    UsedVariables<T>& _used;
    // Depth of the statement being compiled; the pools go back when the outermost ends.
    td::UINT4 _depth = 0;
    // Blocks (if, switch) around the one being read.
    td::UINT4 _blockDepth = 0;
};

extern template class StatementReader<double>;
extern template class StatementReader<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using StatementReader = sl::StatementReader<double>;
}

namespace slCmplx
{
using StatementReader = sl::StatementReader<std::complex<double>>;
}
