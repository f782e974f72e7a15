// The expression tree over complex values and the passes over it, each instantiated once
// over every member; the two value types compile apart, so neither makes the build wait.
#include "ExpressionTree.inl"

#include "ConditionalDerivatives.inl"
#include "DAEStages.inl"
#include "Differentiator.inl"
#include "Polynomials.inl"
#include "TFStateSpace.inl"

namespace sl
{
template class ExpressionTree<std::complex<double>>;
template class ConditionalDerivatives<std::complex<double>>;
template class DAEStages<std::complex<double>>;
template class Differentiator<std::complex<double>>;
template class Polynomials<std::complex<double>>;
template class TFStateSpace<std::complex<double>>;
} // namespace sl
