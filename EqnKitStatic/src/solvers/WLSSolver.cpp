// The weighted-least-squares solver's construction and build: the tokenized road's WLS
// entry, the measurement and constraint matrices and the weights' normalisation.
#include "WLSSolver.h"

#include <sc/MessageKeys.h>

#include "RPNDerivParser.h"

namespace sl
{
namespace msg = sc::msg;

template <typename T> WLSSolver<T>::WLSSolver(sc::ILog* pLog, td::UINT2 maxIter, double eps)
    : NRSolver<T>(pLog, maxIter, eps)
{
    this->_type = sc::SolverType::WLS;
}

template <typename T> WLSSolver<T>::~WLSSolver() { releaseMatrices(); }

template <typename T> void WLSSolver<T>::releaseMatrices()
{
    if (_pMeasurementMatrix)
        _pMeasurementMatrix->release();
    if (_pConstraintMatrix)
        _pConstraintMatrix->release();
    _pMeasurementMatrix = _pConstraintMatrix = nullptr;
}

template <typename T> bool WLSSolver<T>::init(sc::Naming* pNaming, const sc::TokenizedModel& model, bool mainModel)
{
    TD_ASSERT(pNaming);
    const sc::ModelLevel level = mainModel ? sc::ModelLevel::Main : sc::ModelLevel::Sub;
    beginWLSBuild();
    RPNDerivParser<T> builder(this->_stores);
    SolverData<T> data(this->_stores, *this);
    bindSolverData(data, builder, &model, level);
    data.pWeights = &_weights;
    this->readReInit(model, level);
    if (!builder.initWLS(*pNaming, model, data, level))
    {
        this->reportKey(msg::scWLSReadFail);
        return false;
    }
    this->applyModelLineSettings(model, level);
    this->takeBuildResults(builder.results());
    setUpWLS();
    return true;
}

template <typename T> void WLSSolver<T>::beginWLSBuild()
{
    this->beginBuild();
    this->releaseSparse();
    releaseMatrices();
    this->_nJacobianEntries = this->_nJacobianEntriesBuilt = 0;
    _nMeas = _nConstraints = 0;
    _weights.reserve(0);
}

template <typename T> bool WLSSolver<T>::initFromXML(const td::String& source, td::BYTE inputKind)
{
    beginWLSBuild();
    this->_stores.settings.inputKind = inputKind;
    this->_reInit = 0;
    RPNDerivParser<T> builder(this->_stores);
    SolverData<T> data(this->_stores, *this);
    bindSolverData(data, builder, nullptr, sc::ModelLevel::Main);
    data.pWeights = &_weights;
    if (!builder.loadWLSFromXML(source, data))
    {
        this->addErrorEntry(ErrorSection::Other, msg::txtCannotReadData);
        return false;
    }
    // The tolerance stays the solver's.
    BuildResults results = builder.results();
    results.eps = 0;
    this->takeBuildResults(results);
    setUpWLS();
    return true;
}

template <typename T> void WLSSolver<T>::takeBuildResults(const BuildResults& results)
{
    NRSolver<T>::takeBuildResults(results);
    _nMeas = results.nEquations;
}

template <typename T> void WLSSolver<T>::setUpWLS()
{
    this->_nJacobianEntriesBuilt = this->_stores.jacobian.getNumberOfNonZeros();
    this->_nJacobianEntries = this->_nJacobianEntriesBuilt;
    SolverStores<T>& s = this->_stores;
    // The Newton vectors are not used: the step comes out of the sparse solver.
    this->_residuals.reserve(0);
    this->_step.reserve(0);
    s.bind(this);
    _measurementResiduals.reserve(_nMeas, 1);
    const auto nVars = static_cast<td::INT4>(s.nVars);
    _pMeasurementMatrix =
        sparse::createMatrix<T>(static_cast<td::INT4>(_nMeas), nVars, static_cast<td::INT4>(this->_nJacobianEntries),
                                sparse::Symmetry::General);
    _nConstraints = s.constraints.size();
    if (_nConstraints > 0)
    {
        _pConstraintMatrix = sparse::createMatrix<T>(static_cast<td::INT4>(_nConstraints), nVars,
                                                     static_cast<td::INT4>(s.constraintJacobian.getNumberOfNonZeros()),
                                                     sparse::Symmetry::General);
        _constraintResiduals.reserve(_nConstraints, 1);
    }
    if (_weights.size() != _nMeas)
        _weights.reserve(_nMeas);
    if (_normaliseWeights)
    {
        // Dividing every weight by one positive number leaves the estimate as it is.
        double lo = 1e100, hi = 0.0;
        for (td::UINT4 i = 0; i < _nMeas; ++i)
        {
            lo = std::min(lo, _weights[i]);
            hi = std::max(hi, _weights[i]);
        }
        const double mid = (lo + hi) * 0.5;
        dense::DiagIO<double> w = _weights.getManipulator();
        for (td::UINT4 i = 0; mid > 0 && i < _nMeas; ++i)
            w[i] /= mid;
    }
    this->_iterationsInPass = 0;
    this->_built = true;
}

template class WLSSolver<double>;
template class WLSSolver<std::complex<double>>;
} // namespace sl
