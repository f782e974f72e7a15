#include "EquationReader.h"

#include <sc/MessageKeys.h>

#include "BuildClock.h"

namespace sl
{
namespace msg = sc::msg;

namespace
{
// Of the reserved word that starts a line.
bool isCaseWord(int word) { return word == sc::idx(sc::ReservedID::Case) || word == sc::idx(sc::ReservedID::Default); }
bool isEndWord(int word) { return word == sc::idx(sc::ReservedID::End); }
} // namespace

template <typename T>
bool EquationReader<T>::buildSymbolicJacobian(Iterator& it, td::UINT4 eqIndex, td::UINT4& nonZeroCount, char kind)
{
    SolverData<T>& d = _s.data();
    BuildPhaseTimer timer;
    _s.parser.clearTokens();
    _used.begin();
    Tree tree(&d, nullptr, _s.getNumVariables(), d.treeOption != 0);
    const Place at = placeOf(it);
    bool ok = false;
    td::BYTE exprKind = 0;
    if (_s.parser.compileTokens(it, 0, exprKind))
    {
        switch (exprKind)
        {
        case 2: ok = buildIfExpression(it, tree, sc::Group::NLEs); break;
        case 4: ok = buildSwitch(it, tree, sc::Group::NLEs); break;
        case 1: ok = _s.buildTree(tree, it) || _s.lineError(msg::scCannotMakeExpressionTree, at); break;
        default: _s.lineError(msg::scUnexpectedExpressionType, at); break;
        }
    }
    timer.lap(&BuildClock::parseMs);
    // A comparison has no residual to solve for: refused before it is differentiated.
    if (ok && _s.refusesComparison(tree))
        ok = false;
    if (ok)
    {
        d.keyLine = at.line;
        d.keyColumn = at.column;
        ok = _jacobian.makeJacobianEntry(tree, eqIndex, nonZeroCount, kind);
        d.keyLine = d.keyColumn = 0;
        if (!ok)
            _s.lineError(msg::scSymbolicJacobian, at);
    }
    tree.reset(d.treeOption != 0);
    _s.releaseTrees();
    return ok;
}

template <typename T> bool EquationReader<T>::buildEquations(const sc::TokenizedModel& model, sc::Group group,
                                                             sc::ModelLevel level, td::UINT4 n, td::UINT4& row,
                                                             td::UINT4& nonZeroCount, char kind,
                                                             const char* keyOnFailure)
{
    Iterator it = model.getGroup(group, level);
    ++it;
    for (td::UINT4 i = 0; i < n && !it.atEnd(); ++i, ++it)
    {
        const Place at = placeOf(it);
        if (!buildSymbolicJacobian(it, row++, nonZeroCount, kind))
            return _s.lineError(keyOnFailure, at);
    }
    return true;
}

template <typename T> bool EquationReader<T>::buildIfExpression(Iterator& it, Tree& tree, sc::Group group)
{
    const Place ifLine = placeOf(it);
    const NestingLevel level(_blockDepth);
    if (_blockDepth > cMaxTextNesting)
        return _s.lineError(msg::scNestedTooDeep, ifLine);
    Tree* pCondition = _s.newTree();
    if (!_s.buildTree(*pCondition, it))
        return _s.lineError(msg::scCannotMakeIFExpression, ifLine);
    tree.setType(Tree::Type::IfThenElse);
    tree.setConditional(pCondition, nullptr, nullptr);
    ++it;
    if (it.atEnd())
        return _s.lineError(msg::scIncompleteIFEq, ifLine);
    if (group != sc::Group::NLEs)
        return _s.lineError(msg::scIfInUnsupportedGroup, ifLine);

    // Each branch holds exactly one equation: a plain one or a nested if.
    Tree* branches[2] = {nullptr, nullptr};
    int branch = 0;
    for (; !it.atEnd(); ++it)
    {
        const Place line = placeOf(it);
        // The condition and the branches before stay built from their tokens.
        _s.parser.detachTokens();
        td::BYTE kind = 0;
        if (!_s.parser.compileTokens(it, 0, kind))
            return false;
        if (kind == 3 || kind == 6)
        {
            // else, end: the branch before must hold its equation.
            if (!branches[branch] || (kind == 3 && branch == 1))
                return _s.lineError(msg::scIncompleteIfElse, line);
            if (kind == 6)
            {
                if (branch == 0)
                    return _s.lineError(msg::scIncompleteIfElse, line);
                tree.setConditional(pCondition, branches[0], branches[1]);
                return true;
            }
            branch = 1;
            continue;
        }
        if (branches[branch])
            return _s.lineError(msg::scIncompleteIfElse, line);
        Tree* pBranch = _s.newTree();
        if (kind == 2)
        {
            if (!buildIfExpression(it, *pBranch, group))
                return false;
        }
        else if (kind != 1 || !_s.buildTree(*pBranch, it))
            return _s.lineError(msg::scCannotMakeExpression, line);
        branches[branch] = pBranch;
    }
    return _s.lineError(msg::scIncompleteIfElse, ifLine);
}

template <typename T> bool EquationReader<T>::buildCase(Iterator& it, Tree& caseTree, bool withCondition, bool last)
{
    // it is on the case's own line.
    const Place caseLine = placeOf(it);
    if (withCondition)
    {
        Tree* pCondition = _s.newTree();
        td::BYTE kind = 0;
        const typename RPNParser<T>::NoAssignment comparison(_s.parser);
        if (!_s.compileInto(*pCondition, it, 1, kind, nullptr))
            return _s.lineError(msg::scCaseCondExpr, caseLine);
        caseTree.setConditional(pCondition, nullptr, nullptr);
    }
    ++it;
    if (it.atEnd() || isCaseWord(reservedWord(it)) || isEndWord(reservedWord(it)))
        return _s.lineError(msg::scCaseNeedsOneExpr, caseLine);
    Tree* pBody = _s.newTree();
    td::BYTE kind = 0;
    if (!_s.compileInto(*pBody, it, 0, kind, nullptr) || kind != 1)
        return _s.lineError(msg::scCaseExprErr, it);
    caseTree.setConditional(caseTree.getCondition(), pBody, nullptr);
    // One equation per case: the next line is the next case or the switch's end.
    Iterator next = it;
    ++next;
    if (next.atEnd() || !(last ? isEndWord(reservedWord(next)) : isCaseWord(reservedWord(next))))
        return _s.lineError(msg::scCaseNeedsOneExpr, caseLine);
    return true;
}

template <typename T> bool EquationReader<T>::buildSwitch(Iterator& it, Tree& tree, sc::Group group)
{
    const SolverData<T>& d = _s.data();
    TD_ASSERT(d.pTokenizedModel);
    const sc::TokenizedModel& model = *d.pTokenizedModel;
    const Place switchLine = placeOf(it);
    bool hasDefault = false;
    const td::UINT4 nCases = model.countSwitchCases(it, d.namingIndex, group, hasDefault);
    if (nCases == 0)
        return _s.lineError(msg::scSwitchWoCases, switchLine);
    const bool equationGroup = group >= sc::Group::NLEs && group <= sc::Group::TFs;
    if (equationGroup && !hasDefault)
        return _s.lineError(msg::scSwitchWoDef, switchLine);
    tree.setType(Tree::Type::SwitchCase);
    Tree* pCase = &tree;
    for (td::UINT4 k = 0; k < nCases; ++k)
    {
        ++it;
        if (!isCaseWord(reservedWord(it)))
            return _s.lineError(msg::scStatementOutsideCase, it);
        if (k > 0)
        {
            Tree* pNext = _s.newTree();
            pNext->setType(Tree::Type::SwitchCase);
            pCase->setConditional(pCase->getCondition(), pCase->getThen(), pNext);
            pCase = pNext;
        }
        const bool last = k + 1 == nCases;
        if (!buildCase(it, *pCase, !last || !hasDefault, last))
            return false;
    }
    // Past the last case's equation to the switch's end.
    ++it;
    return true;
}

template class EquationReader<double>;
template class EquationReader<std::complex<double>>;
} // namespace sl
