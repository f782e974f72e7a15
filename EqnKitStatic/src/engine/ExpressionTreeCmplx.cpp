// The expression tree over complex values, instantiated once over every member; the two
// value types compile apart, so that neither makes the build wait.
#include "ExpressionTree.inl"

namespace sl
{
template class ExpressionTree<std::complex<double>>;
} // namespace sl
