#include "StatementReader.h"

#include <sc/MessageKeys.h>

#include "AssignmentText.h"
#include "LimitGroups.h"
#include "SolverData.h"
#include "StatisticsReader.h"

namespace sl
{
namespace msg = sc::msg;
using F = sc::Token;

namespace
{
// The operator character of an assignment token; 0 for a token that assigns nothing.
char assignmentOperator(F kind)
{
    switch (kind)
    {
    case F::MultAssign: return '*';
    case F::DivAssign: return '/';
    case F::PlusAssign: return '+';
    case F::MinusAssign: return '-';
    case F::PowerAssign: return '^';
    case F::ShiftLeft: return '<';
    case F::ArrowRight: return 'r';
    case F::Assign: return '=';
    default: return 0;
    }
}

bool isOperatorOrPunctuation(F kind) { return kind >= F::Plus && kind <= F::NotEqual; }

} // namespace

template <typename T> StatementResult StatementReader<T>::buildStatements(Iterator& it, const sc::TokenizedModel& model,
                                                                          Evaluator<T>* out, sc::Group group)
{
    TD_ASSERT(_s.isBound() && out);
    ++_depth;
    const StatementResult result = buildStatement(it, model, out, group);
    if (--_depth == 0)
        _s.releaseTrees();
    return result;
}

template <typename T> StatementResult StatementReader<T>::buildStatement(Iterator& it, const sc::TokenizedModel& model,
                                                                         Evaluator<T>* out, sc::Group group)
{
    const sc::_tl& l = it.line();
    const int word = reservedWord(it);
    if (l.nExpr < 3)
    {
        if (word == sc::idx(sc::ReservedID::Switch))
            return buildSwitchBlock(it, model, out, group);
        if (group != sc::Group::Repeats)
            return failAt(msg::scWrongAssignmentEq, it);
    }
    if (word == sc::idx(sc::ReservedID::If))
        return buildIfBlock(it, model, out, group);
    return buildAssignment(it, out, group);
}

template <typename T> bool StatementReader<T>::compileRecord(const Iterator& it, td::UINT4 first, td::UINT4 end,
                                                             Evaluator<T>* pRecord, const char* keyOnFailure,
                                                             td::BYTE* pKind)
{
    SolverData<T>& d = _s.data();
    _s.parser.clearTokens();
    td::BYTE kind = 0;
    if (!_s.parser.compileTokens(it, first, kind, end))
        return false;
    if (pKind)
        *pKind = kind;
    Tree* pTree = _s.newTree();
    const Place at = placeOf(it);
    d.keyLine = at.line;
    d.keyColumn = at.column;
    const bool ok = pTree->build(_s.parser.getFirstToken()) && pTree->createEvaluator(pRecord);
    d.keyLine = d.keyColumn = 0;
    return ok || _s.lineError(keyOnFailure, it);
}

template <typename T> bool StatementReader<T>::readSignal(const Iterator& it, sc::Group group, const char* keyOnUnknown,
                                                          td::BYTE& signal) const
{
    signal = cNoSignal;
    if (group != sc::Group::Limits || !it.attrib(sc::AttribID::Signal))
        return true;
    const td::PoolString* pWord = it.findAttrib(sc::AttribID::Signal);
    signal = pWord ? sl::getSignalCode(pWord->c_str()) : cNoSignal;
    // At the signal's value.
    return signal != cNoSignal ||
           _s.lineError(keyOnUnknown, Place{it.line().line, it.attrib(sc::AttribID::Signal)->column});
}

namespace
{
template <typename T> void makeRepeatMarker(Evaluator<T>& record)
{
    record.setTarget(-1, static_cast<td::BYTE>(ValueTraits<T>::TargetKind::None), '#');
}

template <typename T> bool isRepeatMarker(const Evaluator<T>& record)
{
    return record.getTargetKind() == static_cast<td::BYTE>(ValueTraits<T>::TargetKind::None);
}

// The signal of a branch rides on its first statement, unless that is a repeat marker.
template <typename T> void setBranchSignal(Evaluator<T>* pRun, td::UINT4 n, td::BYTE signal)
{
    if (signal != cNoSignal && n > 0 && !isRepeatMarker(pRun[0]))
        pRun[0].setSignal(signal);
}
} // namespace

template <typename T> bool StatementReader<T>::buildChildren(Iterator& it, const sc::TokenizedModel& model,
                                                             Evaluator<T>*& pRun, td::UINT4 n, sc::Group group)
{
    const Place blockLine = placeOf(it);
    const NestingLevel level(_blockDepth);
    if (_blockDepth > cMaxTextNesting)
        return _s.lineError(msg::scNestedTooDeep, blockLine);
    pRun = _s.data().newEvaluators(n);
    for (td::UINT4 i = 0; i < n; ++i)
    {
        ++it;
        if (it.atEnd())
            return _s.lineError(msg::scIncompleteIf, blockLine);
        const StatementResult r = buildStatement(it, model, &pRun[i], group);
        if (r == Failed)
            return false;
        if (r == LoneRepeat)
            makeRepeatMarker(pRun[i]);
    }
    return true;
}

template <typename T> StatementResult StatementReader<T>::buildIfBlock(Iterator& it, const sc::TokenizedModel& model,
                                                                       Evaluator<T>* out, sc::Group group)
{
    const td::UINT2 naming = _s.data().namingIndex;
    const Place ifLine = placeOf(it);
    Evaluator<T>* pCondition = _s.data().newEvaluator();
    if (!compileRecord(it, 0, RPNParser<T>::cLineEnd, pCondition, msg::scWrongIfCondition, nullptr))
        return Failed;
    out->setIfThenElse(pCondition, nullptr, nullptr);
    td::BYTE signal = cNoSignal;
    if (!readSignal(it, group, msg::scWrongSignalInIf, signal))
        return Failed;
    const td::UINT4 nThen = model.countChildren(it, naming, group, sc::ExpressionType::If);
    if (nThen == 0)
        return failAt(msg::scEmptyIf, ifLine);
    Evaluator<T>* pThen = nullptr;
    if (!buildChildren(it, model, pThen, nThen, group))
        return Failed;
    setBranchSignal(pThen, nThen, signal);

    ++it;
    if (it.atEnd())
        return failAt(msg::scIncompleteIf, ifLine);
    const sc::ExpressionType type = model.getExpressionType(it, naming);
    if (type == sc::ExpressionType::End)
    {
        out->setIfThenElse(pCondition, pThen, nullptr);
        out->setBranchCounts(nThen, 0);
        return IfCompiled;
    }
    if (type != sc::ExpressionType::Else)
        return failAt(msg::scElseExpected, it);

    const td::UINT4 nElse = model.countChildren(it, naming, group, sc::ExpressionType::Else);
    if (nElse == 0)
        return failAt(msg::scNoExprInElse, it);
    if (!readSignal(it, group, msg::scWrongSignalInElse, signal))
        return Failed;
    Evaluator<T>* pElse = nullptr;
    if (!buildChildren(it, model, pElse, nElse, group))
        return Failed;
    setBranchSignal(pElse, nElse, signal);
    out->setIfThenElse(pCondition, pThen, pElse);
    out->setBranchCounts(nThen, nElse);
    ++it;
    if (it.atEnd() || model.getExpressionType(it, naming) != sc::ExpressionType::End)
        return failAt(msg::scElseMissingEnd, ifLine);
    return Compiled;
}

template <typename T> StatementResult StatementReader<T>::buildSwitchBlock(Iterator& it,
                                                                           const sc::TokenizedModel& model,
                                                                           Evaluator<T>* out, sc::Group group)
{
    const td::UINT2 naming = _s.data().namingIndex;
    const Place switchLine = placeOf(it);
    bool hasDefault = false;
    const td::UINT4 nCases = model.countSwitchCases(it, naming, group, hasDefault);
    if (nCases == 0)
        return failAt(msg::scSwitchWoCases, switchLine);
    Evaluator<T>* pCase = out;
    Evaluator<T>* pPrevious = nullptr;
    for (td::UINT4 i = 0; i < nCases; ++i)
    {
        ++it;
        const int word = reservedWord(it);
        if (word != sc::idx(sc::ReservedID::Case) && word != sc::idx(sc::ReservedID::Default))
            return failAt(msg::scStatementOutsideCase, it.atEnd() ? switchLine : placeOf(it));
        if (pPrevious)
        {
            pCase = _s.data().newEvaluator();
            pPrevious->setNextCase(pCase);
        }
        td::BYTE signal = cNoSignal;
        if (!readSignal(it, group, msg::scWrongCaseSignal, signal))
            return Failed;
        Evaluator<T>* pCondition = nullptr;
        if (i + 1 < nCases || !hasDefault)
        {
            pCondition = _s.data().newEvaluator();
            const typename RPNParser<T>::NoAssignment comparison(_s.parser);
            if (!compileRecord(it, 1, RPNParser<T>::cLineEnd, pCondition, msg::scCaseCondExpr, nullptr))
                return Failed;
        }
        const td::UINT4 n = model.countChildren(it, 0, group, sc::ExpressionType::Plain);
        Evaluator<T>* pBody = nullptr;
        if (n > 0 && !buildChildren(it, model, pBody, n, group))
            return Failed;
        pCase->setSwitchCase(pCondition, pBody, n, nullptr);
        if (signal != cNoSignal)
            pCase->setSignal(signal);
        pPrevious = pCase;
    }
    ++it;
    return SwitchCompiled;
}

template <typename T>
bool StatementReader<T>::checkComplexAssignmentPart(const Iterator& it,
                                                    td::BYTE& part) requires ValueTraits<T>::isComplex
{
    const sc::_tl& l = it.line();
    if (it.exprToken(1).kind != F::Dot)
        return _s.lineError(msg::scMissingDotInAssignment, Place{l.line, it.exprToken(1).column});
    const sc::_TokV& word = it.exprToken(2);
    const td::UINT4 id = word.kind == F::Function ? word.code + static_cast<td::UINT4>(TokenCodes::cFirstFunction) : 0;
    if (id != TokenCodes::REAL && id != TokenCodes::IMAG)
        return _s.lineError(msg::scNoImagRealPartInAssignment, Place{l.line, word.column});
    part = id == TokenCodes::REAL ? 1 : 2;
    return true;
}

template <typename T>
StatementResult StatementReader<T>::buildAssignment(Iterator& it, Evaluator<T>* out, sc::Group group)
{
    const sc::_tl& l = it.line();
    char op = 0;
    td::UINT4 opIndex = 0;
    if (l.nExpr == 1 && reservedWord(it) == sc::idx(sc::ReservedID::Repeat))
        op = '#';
    else
    {
        while (opIndex < l.nExpr && !isOperatorOrPunctuation(it.exprToken(opIndex).kind))
            ++opIndex;
        op = opIndex < l.nExpr ? assignmentOperator(it.exprToken(opIndex).kind) : 0;
    }
    const bool plots = group == sc::Group::Plots;
    // The operator, where there is one, is where a wrong or incomplete assignment stands.
    const Place opPlace = op == 0 || op == '#' ? placeOf(it) : Place{l.line, it.exprToken(opIndex).column};
    if (op == 0 || (plots && op != '<' && op != 'r') || (!plots && op == 'r'))
        return failAt(msg::scWrongAssignmentType, opPlace);
    if (op == '#')
        return plots ? failAt(msg::scWrongAssignmentType, opPlace) : LoneRepeat;
    const td::UINT4 exprStart = opIndex + 1;
    if (exprStart >= l.nExpr)
        return failAt(msg::scIncAssignmentEq, opPlace);
    if (op == '<' && !plots)
        return StatisticsReader<T>(_s, _used).buildStatsAssignment(it, out) >= 0 ? Compiled : Failed;
    if (plots)
        return compileRecord(it, exprStart, RPNParser<T>::cLineEnd, out, msg::scCannotMakeExpression, nullptr)
                   ? Compiled
                   : Failed;

    td::BYTE isParent = 0, part = 0;
    const td::INT4 index = readTarget(it, opIndex, isParent, part);
    if (index < 0)
        return Failed;
    _used.begin();
    const typename RPNParser<T>::NoAssignment rightSide(_s.parser);
    if (!compileRecord(it, exprStart, RPNParser<T>::cLineEnd, out, msg::scCannotMakeExpression, nullptr))
        return Failed;
    AssignmentText<T>(_s).setRecordTarget(out, index, isParent, part, op);
    return Compiled;
}

template <typename T>
td::INT4 StatementReader<T>::readTarget(const Iterator& it, td::UINT4 opIndex, td::BYTE& isParent, td::BYTE& part)
{
    // The line's first token, of this model or of the parent.
    SolverData<T>& d = _s.data();
    const sc::_tl& l = it.line();
    const sc::_TokV& target = it.exprToken(0);
    const bool parent = target.extra == 1;
    isParent = parent ? 1 : 0;
    ISolverServices<T>* pParent = d.pSolver ? d.pSolver->getParentSolver() : nullptr;
    if (parent && !pParent)
        return failAt(msg::scNoParentSolver, Place{l.line, target.column}), -1;
    const td::UINT4 nOwnVars = parent ? pParent->getNumberOfVariables() : _s.getNumVariables();
    const td::UINT4 nSymbols = parent ? nOwnVars + pParent->getNumberOfParameters() : _s.symbolCount();
    td::INT4 index = -1;
    if (target.kind == F::Var && target.code < nOwnVars)
        index = target.code;
    else if (target.kind == F::Param && nOwnVars + target.code < nSymbols)
        index = static_cast<td::INT4>(nOwnVars + target.code);
    if constexpr (ValueTraits<T>::isComplex)
    {
        if (index >= 0 && opIndex >= 3 && !checkComplexAssignmentPart(it, part))
            index = -1;
    }
    if (index < 0)
    {
        d.currentSection = 0;
        failAt(msg::scUnknownSymbol, Place{l.line, target.column});
    }
    return index;
}

template class StatementReader<double>;
template class StatementReader<std::complex<double>>;
} // namespace sl
