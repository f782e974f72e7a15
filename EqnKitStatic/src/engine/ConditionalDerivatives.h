// The derivative records of a conditional statement, a pass over its trees: for each
// branch of an if and each case of a switch, one evaluator per used variable it depends on.
#pragma once

#include <complex>

#include <td/Types.h>

#include "Evaluator.h"

namespace sl
{
template <typename T> class ExpressionTree;

// Made on the stack over the tree of an IfThenElse or SwitchCase statement; the records
// and their runs come from the build context's pools, which own them.
template <typename T> class ConditionalDerivatives
{
public:
    using Tree = ExpressionTree<T>;

    explicit ConditionalDerivatives(Tree& tree) : _tree(tree) {}

    // Derivative records of the branches into an IfThenElse record whose condition is set.
    bool differentiateIfThenElse(Evaluator<T>* pEvaluator);
    // Derivative records of every case into a chain of Switch records; the conditions
    // come from the case chain source compiled from the same switch.
    bool differentiateSwitch(Evaluator<T>* pEvaluator, const Evaluator<T>* pSource);

private:
    // The run of records of one branch and how far it is filled.
    struct BranchSlots
    {
        Tree* pTree = nullptr;
        Evaluator<T>* pSlots = nullptr;
        td::UINT4 n = 0;
        td::UINT4 filled = 0;
        const char* failureKey = nullptr;
    };
    bool differentiateBranch(BranchSlots& branch, td::UINT4 v);
    // Used variables the tree depends on.
    td::UINT4 countDependencies(Tree* pTree);
    // The compiled and differentiated if that is a branch of this one.
    bool nestedDerivative(Tree* pTree, Evaluator<T>*& pOut);
    Evaluator<T>* takeRun(td::UINT4 n, const char* keyOnFailure);

    Tree& _tree;
};

// ExpressionTreeDbl.cpp and ExpressionTreeCmplx.cpp instantiate them over
// ConditionalDerivatives.inl.
extern template class ConditionalDerivatives<double>;
extern template class ConditionalDerivatives<std::complex<double>>;
} // namespace sl
