// The Newton-Raphson solver's construction and build: the tokenized road's NR entry,
// the settings taken from the model and the set-up of the work vectors.
#include "NRSolver.h"

#include <sc/MessageKeys.h>

#include "RPNDerivParser.h"

namespace sl
{
namespace msg = sc::msg;

template <typename T> NRSolver<T>::NRSolver(sc::ILog* pLog, td::UINT2 maxIter, double eps) : Solver<T>(pLog)
{
    this->_type = sc::SolverType::NR;
    this->_eps = eps;
    this->_maxIter = maxIter;
}

template <typename T> NRSolver<T>::~NRSolver() { releaseSparse(); }

template <typename T> void NRSolver<T>::releaseSparse()
{
    if (_pSparse)
        _pSparse->release();
    _pSparse = nullptr;
    _factorStale = true;
}

template <typename T> sparse::FactorStats NRSolver<T>::getFactorStats() const
{
    return _pSparse ? _pSparse->getStats() : sparse::FactorStats();
}

template <typename T> void NRSolver<T>::beginNRBuild()
{
    this->beginBuild();
    releaseSparse();
    _nJacobianEntries = _nJacobianEntriesBuilt = 0;
}

template <typename T> bool NRSolver<T>::initFromXML(const td::String& source, td::BYTE inputKind)
{
    beginNRBuild();
    this->_stores.settings.inputKind = inputKind;
    this->_reInit = 0;
    RPNDerivParser<T> builder(this->_stores);
    SolverData<T> data(this->_stores, *this);
    bindSolverData(data, builder, nullptr, sc::ModelLevel::Main);
    if (!builder.loadNRFromXML(source, data))
    {
        this->addReadModelError(msg::txtCannotReadData);
        return false;
    }
    return finishXmlBuild(builder.results());
}

template <typename T> bool NRSolver<T>::buildFromXmlElement(const xml::Node& element)
{
    beginNRBuild();
    RPNDerivParser<T> builder(this->_stores);
    SolverData<T> data(this->_stores, *this);
    bindSolverData(data, builder, nullptr, sc::ModelLevel::Sub);
    builder.bindXmlEntry(data);
    return builder.loadNRModel(element) && finishXmlBuild(builder.results());
}

template <typename T> bool NRSolver<T>::finishXmlBuild(const BuildResults& results)
{
    this->takeBuildResults(results);
    _nJacobianEntriesBuilt = this->_stores.jacobian.getNumberOfNonZeros();
    _nJacobianEntries = _nJacobianEntriesBuilt;
    if (!setUp())
    {
        this->addReadModelError(msg::txtMissingInitialValues);
        return false;
    }
    return true;
}

template <typename T> bool NRSolver<T>::init(sc::Naming* pNaming, const sc::TokenizedModel& model, bool mainModel)
{
    TD_ASSERT(pNaming);
    const sc::ModelLevel level = mainModel ? sc::ModelLevel::Main : sc::ModelLevel::Sub;
    beginNRBuild();

    RPNDerivParser<T> builder(this->_stores);
    SolverData<T> data(this->_stores, *this);
    bindSolverData(data, builder, &model, level);
    this->readReInit(model, level);
    if (!builder.initNR(*pNaming, model, data, level))
    {
        this->reportKey(msg::scNLReadFail);
        return false;
    }
    this->applyModelLineSettings(model, level);
    this->takeBuildResults(builder.results());
    _nJacobianEntriesBuilt = this->_stores.jacobian.getNumberOfNonZeros();
    _nJacobianEntries = _nJacobianEntriesBuilt;

    const bool countsLifted = this->_stores.settings.skipCountChecks != 0;
    if (!countsLifted && model.getNumberOfExpressions(sc::Group::NLEs, level) != this->_stores.nVars)
    {
        this->reportKey(msg::scNLNvarsNeqNEQsl);
        return false;
    }
    // The count checks may be lifted; the set-up always runs.
    if (!setUp())
    {
        this->addReadModelError(msg::txtMissingInitialValues);
        return false;
    }
    return true;
}

template <typename T> bool NRSolver<T>::setUp()
{
    SolverStores<T>& s = this->_stores;
    if (!s.values.data() || s.values.empty())
        return false;
    const td::UINT4 n = s.nVars;
    // Equations beyond the variables (counts lifted) still get their residual places.
    const td::UINT4 nEq = s.equations.size();
    _residuals.reserve(0);
    _residuals.reserve(n > nEq ? n : nEq);
    _step.reserve(0);
    _step.reserve(n);
    s.bind(this);
    _entryValues.reserve(0);
    if (s.rows.isUsable(s.equations, s.jacobian))
        _entryValues.reserve(s.jacobian.size());
    _entriesFresh = false;
    this->_iterationsInPass = 0;
    releaseSparse();
    this->_built = true;
    return true;
}

template <typename T> bool NRSolver<T>::reset(double)
{
    this->_totalIterations = 0;
    return true;
}

template class NRSolver<double>;
template class NRSolver<std::complex<double>>;
} // namespace sl
