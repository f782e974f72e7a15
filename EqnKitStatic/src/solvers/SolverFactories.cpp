// The solver factories: the exported ones of the library and the one the model builder
// calls for a child model, choosing the kind by the model's type word.
#include <new>

#include <sc/SolverFactories.h>

#include "NRSolver.h"

namespace sl
{
namespace
{
// A solver of kind S, or null when it cannot be made.
template <typename S, typename... Args> S* make(Args... args)
{
    try
    {
        return new S(args...);
    }
    catch (const std::bad_alloc&)
    {
        return nullptr;
    }
}
} // namespace

template <typename T> Solver<T>* Solver<T>::create(Solver* pParent, sc::ILog* pLog, const td::String& type,
                                                   const td::String&, td::UINT4 maxIter, double eps, td::UINT2 line)
{
    Solver* pSolver = nullptr;
    if (type == "NR" || type == "NL")
        pSolver = make<NRSolver<T>>(pLog, saturatedMaxIter(maxIter), eps);
    if (!pSolver)
        return nullptr;
    pSolver->_stores.settings.line = line;
    pSolver->_pParent = pParent;
    return pSolver;
}

template class Solver<double>;
template class Solver<std::complex<double>>;
} // namespace sl

namespace sc
{
ISolver<double>* createDblNRSolver(ILog* pLog, int maxIter)
{
    return sl::make<sl::NRSolver<double>>(pLog, sl::Solver<double>::saturatedMaxIter(maxIter), 1e-6);
}

ISolver<std::complex<double>>* createCmplxNRSolver(ILog* pLog, int maxIter)
{
    using C = std::complex<double>;
    return sl::make<sl::NRSolver<C>>(pLog, sl::Solver<C>::saturatedMaxIter(maxIter), 1e-6);
}

// The weighted-least-squares, ODE and DAE kinds are not in the library yet: their
// factories answer null, as for a solver that cannot be made.
ISolver<double>* createDblWLSSolver(ILog*, int) { return nullptr; }
ISolver<std::complex<double>>* createCmplxWLSSolver(ILog*, int) { return nullptr; }
ISolver<double>* createDblDAESolver(ILog*, int) { return nullptr; }
ISolver<std::complex<double>>* createCmplxDAESolver(ILog*, int) { return nullptr; }
ISolver<double>* createDblODESolver(ILog*) { return nullptr; }
ISolver<std::complex<double>>* createCmplxODESolver(ILog*) { return nullptr; }
} // namespace sc
