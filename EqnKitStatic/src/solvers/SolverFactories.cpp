// The solver factories: the exported ones of the library (with the figure evaluators') and
// the one the model builder calls for a child model, choosing the kind by the model's type word.
#include <new>

#include <sc/SolverFactories.h>

#include "DAESolver.h"
#include "FigureEvaluator.h"
#include "NRSolver.h"
#include "ODESolver.h"
#include "WLSSolver.h"

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
                                                   const td::String&, td::UINT4 maxIter, double eps, td::UINT4 line)
{
    Solver* pSolver = nullptr;
    const td::UINT2 limit = saturatedMaxIter(maxIter);
    if (type == "NR" || type == "NL")
        pSolver = make<NRSolver<T>>(pLog, limit, eps);
    else if (type == "WLS")
        pSolver = make<WLSSolver<T>>(pLog, limit, eps);
    else if (type == "ODE")
        pSolver = make<ODESolver<T>>(pLog);
    else if (type == "DAE")
        pSolver = make<DAESolver<T>>(pLog, limit, eps);
    if (!pSolver)
        return nullptr;
    pSolver->_stores.settings.line = line;
    pSolver->_pParent = pParent;
    return pSolver;
}

// The rest of the class is instantiated with it in Solver.cpp; create alone lives here,
// beside the kinds it chooses from.
template Solver<double>* Solver<double>::create(Solver*, sc::ILog*, const td::String&, const td::String&, td::UINT4,
                                                double, td::UINT4);
template Solver<std::complex<double>>* Solver<std::complex<double>>::create(Solver*, sc::ILog*, const td::String&,
                                                                            const td::String&, td::UINT4, double,
                                                                            td::UINT4);
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

ISolver<double>* createDblWLSSolver(ILog* pLog, int maxIter)
{
    return sl::make<sl::WLSSolver<double>>(pLog, sl::Solver<double>::saturatedMaxIter(maxIter), 1e-6);
}

ISolver<std::complex<double>>* createCmplxWLSSolver(ILog* pLog, int maxIter)
{
    using C = std::complex<double>;
    return sl::make<sl::WLSSolver<C>>(pLog, sl::Solver<C>::saturatedMaxIter(maxIter), 1e-6);
}

ISolver<double>* createDblDAESolver(ILog* pLog, int maxIter)
{
    return sl::make<sl::DAESolver<double>>(pLog, sl::Solver<double>::saturatedMaxIter(maxIter), 1e-6);
}

ISolver<std::complex<double>>* createCmplxDAESolver(ILog* pLog, int maxIter)
{
    using C = std::complex<double>;
    return sl::make<sl::DAESolver<C>>(pLog, sl::Solver<C>::saturatedMaxIter(maxIter), 1e-6);
}

ISolver<double>* createDblODESolver(ILog* pLog) { return sl::make<sl::ODESolver<double>>(pLog); }

ISolver<std::complex<double>>* createCmplxODESolver(ILog* pLog)
{
    return sl::make<sl::ODESolver<std::complex<double>>>(pLog);
}

IFigureEvaluator<double>* createDblPlotEvaluator(ILog* pLog) { return sl::make<sl::FigureEvaluator<double>>(pLog); }

IFigureEvaluator<std::complex<double>>* createCmplxPlotEvaluator(ILog* pLog)
{
    return sl::make<sl::FigureEvaluator<std::complex<double>>>(pLog);
}
} // namespace sc
