// The expression tree over real values and the passes over it, each instantiated once
// over every member; the two value types compile apart, so neither makes the build wait.
#include "ExpressionTree.inl"

#include "ConditionalDerivatives.inl"
#include "DAEStages.inl"
#include "Differentiator.inl"
#include "Polynomials.inl"
#include "TFStateSpace.inl"

namespace sl
{
template class ExpressionTree<double>;
template class ConditionalDerivatives<double>;
template class DAEStages<double>;
template class Differentiator<double>;
template class Polynomials<double>;
template class TFStateSpace<double>;
} // namespace sl
