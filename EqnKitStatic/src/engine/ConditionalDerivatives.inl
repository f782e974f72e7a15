// The derivative records of conditional statements: each branch or case counts the used
// variables it depends on, takes a run of that many records and fills one per variable.
#include "ConditionalDerivatives.h"

#include <sc/MessageKeys.h>

#include "Differentiator.h"
#include "ExpressionTree.h"

namespace sl
{
namespace msg = sc::msg;

template <typename T> td::UINT4 ConditionalDerivatives<T>::countDependencies(Tree* pTree)
{
    td::UINT4 n = 0;
    if (const cnt::FixNumSet* pUsed = _tree.getContext()->pUsedVars; pUsed && pTree)
    {
        for (td::UINT4 v : *pUsed)
            n += Differentiator<T>(*pTree, v).dependsOn() ? 1 : 0;
    }
    return n;
}

template <typename T> Evaluator<T>* ConditionalDerivatives<T>::takeRun(td::UINT4 n, const char* keyOnFailure)
{
    Evaluator<T>* pRun = _tree._pEvaluatorPool ? _tree._pEvaluatorPool->alloc(n) : nullptr;
    if (!pRun)
        _tree.reportAt(keyOnFailure);
    return pRun;
}

template <typename T> bool ConditionalDerivatives<T>::differentiateBranch(BranchSlots& branch, td::UINT4 v)
{
    if (!branch.pTree || branch.filled >= branch.n)
        return true;
    Differentiator<T> rules(*branch.pTree, v);
    if (!rules.dependsOn())
        return true;
    Tree derivative(_tree.getContext(), _tree.getLimits(), _tree.getNumberOfVariables(), _tree.getSimplify());
    // dependsOn has marked the branch for v.
    if (!rules.differentiateMarked(derivative))
    {
        _tree.reportAt(branch.failureKey);
        return false;
    }
    Evaluator<T>& slot = branch.pSlots[branch.filled++];
    // A derivative that came out zero still fills its counted slot.
    if (!derivative.getRoot())
        slot.setConstant(T(0));
    else if (!derivative.createEvaluator(&slot))
    {
        _tree.reportAt(branch.failureKey);
        return false;
    }
    slot.setTarget(static_cast<td::INT4>(v), 1, '=');
    return true;
}

template <typename T> bool ConditionalDerivatives<T>::nestedDerivative(Tree* pTree, Evaluator<T>*& pOut)
{
    CompileContext<T>* pContext = _tree.getContext();
    Evaluator<T>* pCompiled = pContext->newEvaluator();
    if (!pTree->createEvaluator(pCompiled))
        return false;
    Evaluator<T>* pNested = pContext->newEvaluator();
    pNested->setIfThenElse(pCompiled->getCondition(), nullptr, nullptr);
    if (!ConditionalDerivatives(*pTree).differentiateIfThenElse(pNested))
        return false;
    pOut = pNested;
    return true;
}

template <typename T> bool ConditionalDerivatives<T>::differentiateIfThenElse(Evaluator<T>* pEvaluator)
{
    TD_ASSERT(pEvaluator && pEvaluator->getType() == Evaluator<T>::Type::IfThenElse);
    try
    {
        BranchSlots branches[2];
        branches[0].failureKey = msg::etThenCantDiff;
        branches[1].failureKey = msg::etElseCantDiff;
        Tree* parts[2] = {_tree.getThen(), _tree.getElse()};
        const char* zeroKeys[2] = {msg::etZeroThenExps, msg::etZeroElseExps};
        Evaluator<T>* runs[2] = {nullptr, nullptr};
        td::UINT4 counts[2] = {0, 0};
        for (int i = 0; i < 2; ++i)
        {
            if (parts[i] && parts[i]->getType() == Tree::Type::IfThenElse)
            {
                if (!nestedDerivative(parts[i], runs[i]))
                {
                    _tree.reportAt(branches[i].failureKey);
                    return false;
                }
                counts[i] = 1;
            }
        }
        for (int i = 0; i < 2; ++i)
        {
            if (!parts[i] || runs[i])
                continue;
            counts[i] = countDependencies(parts[i]);
            if (counts[i] == 0)
            {
                _tree.reportAt(zeroKeys[i]);
                return false;
            }
            runs[i] = takeRun(counts[i], i == 0 ? msg::etThenCantDiff : msg::etElseDiffExp);
            if (!runs[i])
                return false;
            branches[i] = BranchSlots{parts[i], runs[i], counts[i], 0, branches[i].failureKey};
        }
        if (const cnt::FixNumSet* pUsed = _tree.getContext()->pUsedVars)
        {
            for (td::UINT4 v : *pUsed)
            {
                if (!differentiateBranch(branches[0], v) || !differentiateBranch(branches[1], v))
                    return false;
            }
        }
        pEvaluator->setIfThenElse(pEvaluator->getCondition(), runs[0], runs[1]);
        pEvaluator->setBranchCounts(counts[0], counts[1]);
        return true;
    }
    catch (...)
    {
        _tree.reportAt(msg::etCantDiff);
        return false;
    }
}

template <typename T>
bool ConditionalDerivatives<T>::differentiateSwitch(Evaluator<T>* pEvaluator, const Evaluator<T>* pSource)
{
    TD_ASSERT(pEvaluator);
    TD_ASSERT(_tree.getType() == Tree::Type::SwitchCase);
    CompileContext<T>* pContext = _tree.getContext();
    try
    {
        Evaluator<T>* pRecord = pEvaluator;
        Evaluator<T>* pPrevious = nullptr;
        const Evaluator<T>* pSourceCase = pSource;
        td::UINT4 widest = 0;
        for (Tree* pCase = &_tree; pCase; pCase = pCase->getElse())
        {
            if (pPrevious)
            {
                pRecord = pContext->newEvaluator();
                pPrevious->setNextCase(pRecord);
            }
            // A case whose body is itself conditional counts no variables.
            td::UINT4 n = countDependencies(pCase->getThen());
            if (n == 0)
            {
                _tree.reportAt(msg::etCaseNoDiffVars);
                return false;
            }
            Evaluator<T>* pRun = takeRun(n, msg::etCaseDiffError);
            if (!pRun)
                return false;
            BranchSlots branch{pCase->getThen(), pRun, n, 0, msg::etCaseDiffError};
            for (td::UINT4 v : *pContext->pUsedVars)
            {
                if (!differentiateBranch(branch, v))
                    return false;
            }
            pRecord->setSwitchCase(pSourceCase ? pSourceCase->getCondition() : nullptr, pRun, n, nullptr);
            widest = n > widest ? n : widest;
            pPrevious = pRecord;
            pSourceCase = pSourceCase ? pSourceCase->getNextCase() : nullptr;
        }
        pEvaluator->setSwitchColumns(widest);
        return true;
    }
    catch (...)
    {
        _tree.reportAt(msg::etCaseDiffError);
        return false;
    }
}
} // namespace sl
