#include "SolverStores.h"

namespace sl
{
template <typename T> void SolverStores<T>::bind(ISolverServices<T>* pSolver)
{
    equations.bind(pSolver);
    constraints.bind(pSolver);
    for (EvaluatorVect<T>& list : sections)
        list.bind(pSolver);
    jacobian.setSolver(pSolver);
    constraintJacobian.setSolver(pSolver);
}

template <typename T> void SolverStores<T>::beginBuild(td::UINT4 nRecords)
{
    // The lists first: they address records of the pools rewound below.
    equations.reserve(0);
    constraints.reserve(0);
    for (EvaluatorVect<T>& list : sections)
        list.reserve(0);
    jacobian.reserve(0);
    rows.clear();
    constraintJacobian.reserve(0);
    limitGroups.clean();
    daeVarRecords.clean();
    fnLimits.clear();
    generators.reserve(0);
    statistics.reserve(0);

    symbols.clean();
    values.reserve(0);
    symbolInfo.clean();
    nVars = nParams = 0;

    if (nRecords != 0 && nRecords != evaluatorCount)
    {
        evaluators.reset(nRecords);
        evaluatorCount = nRecords;
    }
    else
        evaluators.rewind();
    instructions.rewind();
    jacobianEvaluators.rewind();
    jacobianInstructions.rewind();
    rowEvaluators.rewind();
    rowInstructions.rewind();
}

template <typename T> void SolverStores<T>::setSize(td::UINT4 nVariables, td::UINT4 nParameters)
{
    TD_ASSERT(nVars == 0);
    TD_ASSERT(nParams == 0);
    nVars = nVariables;
    nParams = nParameters;
    values.reserve(getNumberOfValues());
}

template struct SolverStores<double>;
template struct SolverStores<std::complex<double>>;
} // namespace sl
