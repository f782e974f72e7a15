// Equations: one statement of an equation group (plain, if/else or switch) into its
// residual evaluator and its symbolic Jacobian entries, one equation at a time; the
// trees of an equation are given back once its evaluators exist.
#include <sc/MessageKeys.h>

#include "BuildClock.h"
#include "RPNDerivParser.h"

namespace sl
{
namespace msg = sc::msg;

namespace
{
// While it lives, records and code go to other areas of the context (none given: the
// areas stay).
template <typename T> class CompileArea
{
public:
    using CodePool = cnt::List<typename SolverData<T>::Routine>;

    CompileArea(SolverData<T>& d, cnt::List<Evaluator<T>>* pEvaluators, CodePool* pCode)
        : _d(d), _pEvaluators(d.pEvaluatorPool), _pCode(d.pInstructionPool)
    {
        if (pEvaluators)
            d.pEvaluatorPool = pEvaluators;
        if (pCode)
            d.pInstructionPool = pCode;
    }
    CompileArea(const CompileArea&) = delete;
    CompileArea& operator=(const CompileArea&) = delete;
    ~CompileArea()
    {
        _d.pEvaluatorPool = _pEvaluators;
        _d.pInstructionPool = _pCode;
    }

private:
    SolverData<T>& _d;
    cnt::List<Evaluator<T>>* _pEvaluators;
    CodePool* _pCode;
};

// Of the reserved word that starts a line.
bool isCaseWord(int word) { return word == sc::idx(sc::ReservedID::Case) || word == sc::idx(sc::ReservedID::Default); }
bool isEndWord(int word) { return word == sc::idx(sc::ReservedID::End); }
} // namespace

template <typename T>
bool RPNDerivParser<T>::buildSymbolicJacobian(Iterator& it, td::UINT4 eqIndex, td::UINT4& nonZeroCount, char kind)
{
    TD_ASSERT(this->_pSolverData);
    SolverData<T>& d = *this->_pSolverData;
    BuildPhaseTimer timer;
    this->clearTokens();
    beginUsedVars();
    Tree tree(&d, nullptr, this->_nVars, d.treeOption != 0);
    const Place at = placeOf(it);
    bool ok = false;
    td::BYTE exprKind = 0;
    if (this->compileTokens(it, 0, exprKind))
    {
        switch (exprKind)
        {
        case 2: ok = buildIfExpression(it, tree, sc::Group::NLEs); break;
        case 4: ok = buildSwitch(it, tree, sc::Group::NLEs); break;
        case 1: ok = buildTree(tree, it) || lineError(msg::scCannotMakeExpressionTree, at); break;
        default: lineError(msg::scUnexpectedExpressionType, at); break;
        }
    }
    timer.lap(&BuildClock::parseMs);
    if (ok)
    {
        d.keyLine = at.line;
        d.keyColumn = at.column;
        ok = makeJacobianEntry(tree, eqIndex, nonZeroCount, kind);
        d.keyLine = d.keyColumn = 0;
        if (!ok)
            lineError(msg::scSymbolicJacobian, at);
    }
    tree.reset(d.treeOption != 0);
    releaseTrees();
    return ok;
}

template <typename T> bool RPNDerivParser<T>::buildIfExpression(Iterator& it, Tree& tree, sc::Group group)
{
    const Place ifLine = placeOf(it);
    Tree* pCondition = newTree();
    if (!buildTree(*pCondition, it))
        return lineError(msg::scCannotMakeIFExpression, ifLine);
    tree.setType(Tree::Type::IfThenElse);
    tree.setConditional(pCondition, nullptr, nullptr);
    ++it;
    if (it.atEnd())
        return lineError(msg::scIncompleteIFEq, ifLine);
    if (group != sc::Group::NLEs)
        return lineError(msg::scIfInUnsupportedGroup, ifLine);

    // Each branch holds exactly one equation: a plain one or a nested if.
    Tree* branches[2] = {nullptr, nullptr};
    int branch = 0;
    for (; !it.atEnd(); ++it)
    {
        const Place line = placeOf(it);
        // The condition and the branches before stay built from their tokens.
        this->detachTokens();
        td::BYTE kind = 0;
        if (!this->compileTokens(it, 0, kind))
            return false;
        if (kind == 3 || kind == 6)
        {
            // else, end: the branch before must hold its equation.
            if (!branches[branch] || (kind == 3 && branch == 1))
                return lineError(msg::scIncompleteIfElse, line);
            if (kind == 6)
            {
                if (branch == 0)
                    return lineError(msg::scIncompleteIfElse, line);
                tree.setConditional(pCondition, branches[0], branches[1]);
                return true;
            }
            branch = 1;
            continue;
        }
        if (branches[branch])
            return lineError(msg::scIncompleteIfElse, line);
        Tree* pBranch = newTree();
        if (kind == 2)
        {
            if (!buildIfExpression(it, *pBranch, group))
                return false;
        }
        else if (kind != 1 || !buildTree(*pBranch, it))
            return lineError(msg::scCannotMakeExpression, line);
        branches[branch] = pBranch;
    }
    return lineError(msg::scIncompleteIfElse, ifLine);
}

template <typename T> bool RPNDerivParser<T>::buildCase(Iterator& it, Tree& caseTree, bool withCondition, bool last)
{
    // it is on the case's own line.
    const Place caseLine = placeOf(it);
    if (withCondition)
    {
        Tree* pCondition = newTree();
        td::BYTE kind = 0;
        if (!compileInto(*pCondition, it, 1, kind, nullptr))
            return lineError(msg::scCaseCondExpr, caseLine);
        caseTree.setConditional(pCondition, nullptr, nullptr);
    }
    ++it;
    if (it.atEnd() || isCaseWord(reservedWord(it)) || isEndWord(reservedWord(it)))
        return lineError(msg::scCaseNeedsOneExpr, caseLine);
    Tree* pBody = newTree();
    td::BYTE kind = 0;
    if (!compileInto(*pBody, it, 0, kind, nullptr) || kind != 1)
        return lineError(msg::scCaseExprErr, it);
    caseTree.setConditional(caseTree.getCondition(), pBody, nullptr);
    // One equation per case: the next line is the next case or the switch's end.
    Iterator next = it;
    ++next;
    if (next.atEnd() || !(last ? isEndWord(reservedWord(next)) : isCaseWord(reservedWord(next))))
        return lineError(msg::scCaseNeedsOneExpr, caseLine);
    return true;
}

template <typename T> bool RPNDerivParser<T>::buildSwitch(Iterator& it, Tree& tree, sc::Group group)
{
    TD_ASSERT(this->_pSolverData && this->_pSolverData->pTokenizedModel);
    const sc::TokenizedModel& model = *this->_pSolverData->pTokenizedModel;
    const Place switchLine = placeOf(it);
    bool hasDefault = false;
    const td::UINT4 nCases = model.countSwitchCases(it, this->_pSolverData->namingIndex, group, hasDefault);
    if (nCases == 0)
        return lineError(msg::scSwitchWoCases, switchLine);
    const bool equationGroup = group >= sc::Group::NLEs && group <= sc::Group::TFs;
    if (equationGroup && !hasDefault)
        return lineError(msg::scSwitchWoDef, switchLine);
    tree.setType(Tree::Type::SwitchCase);
    Tree* pCase = &tree;
    for (td::UINT4 k = 0; k < nCases; ++k)
    {
        ++it;
        if (!isCaseWord(reservedWord(it)))
            return lineError(msg::scStatementOutsideCase, it);
        if (k > 0)
        {
            Tree* pNext = newTree();
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

template <typename T> bool RPNDerivParser<T>::reportDiffFailure(const char* key) const
{
    const SolverData<T>& d = *this->_pSolverData;
    if (sc::ILog* pLog = d.getLog())
        pLog->showKeyAt(key, d.keyLine, d.keyColumn, sc::ILog::Error);
    return false;
}

template <typename T>
bool RPNDerivParser<T>::makeJacobianEntry(Tree& tree, td::UINT4 eqIndex, td::UINT4& nonZeroCount, char kind)
{
    SolverData<T>& d = *this->_pSolverData;
    const bool constraint = kind == cConstraint;
    EvaluatorVect<T>* pList = constraint ? &d.stores.constraints : &d.stores.equations;
    EvaluatorSparseMatrix<T>* pMatrix = constraint ? &d.stores.constraintJacobian : &d.stores.jacobian;
    TD_ASSERT(pList && pMatrix);
    BuildPhaseTimer timer;
    Evaluator<T>* pEquation = d.newEvaluator();
    if (!tree.createEvaluator(pEquation))
        return false;
    pList->add(pEquation);
    timer.lap(&BuildClock::compileMs);
    _collectsUsedVars = 0;
    const td::UINT4 firstEntry = pMatrix->size();
    EquationRows<T>* pRows = constraint ? nullptr : &d.stores.rows;
    const CompileArea<T> area(d, &d.stores.jacobianEvaluators, &d.stores.jacobianInstructions);

    switch (tree.getType())
    {
    case Tree::Type::SwitchCase:
    {
        Evaluator<T>* pDerivative = d.newEvaluator();
        if (!tree.differentiateSwitch(pDerivative, pEquation))
            return reportDiffFailure(msg::etErrDiffSwitch);
        pMatrix->addSwitch(eqIndex, pDerivative);
        if (pRows)
            pRows->add(nullptr, firstEntry, pMatrix->size() - firstEntry, true, false);
        return true;
    }
    case Tree::Type::IfThenElse:
    {
        Evaluator<T>* pDerivative = d.newEvaluator();
        pDerivative->setIfThenElse(pEquation->getCondition(), nullptr, nullptr);
        if (!tree.differentiateIfThenElse(pDerivative))
            return reportDiffFailure(msg::etErrDifIfThen);
        pMatrix->addIfThenElse(eqIndex, pDerivative);
        if (pRows)
            pRows->add(nullptr, firstEntry, pMatrix->size() - firstEntry, true, false);
        return true;
    }
    default: break;
    }
    // The derivatives by each used variable, then the row they make with the equation.
    tree.prepareDependence();
    _roots.clear();
    _rootVariables.clear();
    _roots.push_back(tree.getRoot());
    for (td::UINT4 v : _usedVars)
    {
        Tree derivative(&d, nullptr, this->_nVars, d.treeOption != 0);
        if (!tree.differentiate(derivative, v))
        {
            tree.forgetDependence();
            return reportDiffFailure(msg::etErrDifEqua);
        }
        if (!derivative.getRoot())
            continue;
        _roots.push_back(derivative.getRoot());
        _rootVariables.push_back(v);
    }
    tree.forgetDependence();
    timer.lap(&BuildClock::differentiateMs);
    const td::UINT4 nRoots = static_cast<td::UINT4>(_roots.size());
    if (!tree.beginRow(_roots.data(), nRoots))
        return reportDiffFailure(msg::etErrDifEqua);
    for (td::UINT4 k = 1; k < nRoots; ++k)
    {
        Evaluator<T>* pDerivative = d.newEvaluator();
        if (!tree.compileRowEntry(k, pDerivative))
        {
            tree.endRow();
            return reportDiffFailure(msg::etErrDifEqua);
        }
        ++nonZeroCount;
        pMatrix->addEvaluator(eqIndex, _rootVariables[k - 1], pDerivative);
    }
    if (pRows)
        addRow(tree, *pRows, firstEntry, pMatrix->size() - firstEntry);
    tree.endRow();
    timer.lap(&BuildClock::compileMs);
    return true;
}

template <typename T>
void RPNDerivParser<T>::addRow(Tree& tree, EquationRows<T>& rows, td::UINT4 firstEntry, td::UINT4 nEntries)
{
    SolverData<T>& d = *this->_pSolverData;
    const CompileArea<T> area(d, &d.stores.rowEvaluators, &d.stores.rowInstructions);
    Evaluator<T>* pProgram = d.newEvaluator();
    bool draws = false;
    // Every entry of the row must be one of its roots.
    const bool made = _roots.size() == nEntries + 1 && tree.compileRowProgram(pProgram, draws);
    rows.add(made ? pProgram : nullptr, firstEntry, nEntries, false, draws);
}

template class RPNDerivParser<double>;
template class RPNDerivParser<std::complex<double>>;
} // namespace sl
