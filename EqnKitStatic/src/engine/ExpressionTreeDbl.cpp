// The expression tree over real values, instantiated once over every member; the two
// value types compile apart, so that neither makes the build wait.
#include "ExpressionTree.inl"

namespace sl
{
template class ExpressionTree<double>;
} // namespace sl
