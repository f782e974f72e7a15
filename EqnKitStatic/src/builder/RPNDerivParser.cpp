// The builder object and its build context: construction, binding to a solver's stores,
// the used-variable set, symbol kinds and the pools given back between statements.
#include "RPNDerivParser.h"

#include <sc/MessageKeys.h>

namespace sl
{
template <typename T> RPNDerivParser<T>::RPNDerivParser(SymbolMap& names, ValueArray& values) : _s(names, values) {}

template <typename T> BuildResults RPNDerivParser<T>::results() const
{
    TD_ASSERT(_s.pData);
    BuildResults r = _s.pData->results;
    r.nVars = _s.nVars();
    r.nParams = _s.nParams();
    r.nEquations = _s.nEquations;
    return r;
}

// ---- binding a build ----

namespace
{
// The first line of the Model (main) or SubModel group of a level.
sc::TokenizedModel::iterator modelLine(const sc::TokenizedModel& model, sc::ModelLevel level)
{
    return model.getGroup(level == sc::ModelLevel::Main ? sc::Group::Model : sc::Group::SubModel, level);
}
} // namespace

template <typename T> void bindSolverData(SolverData<T>& data, RPNDerivParser<T>& builder,
                                          const sc::TokenizedModel* pModel, sc::ModelLevel level)
{
    SolverStores<T>& stores = data.stores;
    builder.bindSolverData(data);
    stores.bind(data.pSolver);
    data.pLog = data.pSolver->getLog();
    data.pivotMode = 0;
    stores.settings.pivot = 0;
    TD_ASSERT(level == sc::ModelLevel::Main || level == sc::ModelLevel::Sub);

    if (!pModel)
    {
        stores.beginBuild(0);
        data.treeOption = 1;
        if constexpr (ValueTraits<T>::isComplex)
            stores.settings.conjugatePartners = builder.hasConjugatePartners() ? 1 : 0;
        return;
    }
    stores.beginBuild(pModel->getNumberOfExpressionsInLevel(level));
    data.namingIndex = pModel->getNamingIndex();
    sc::TokenizedModel::iterator line = modelLine(*pModel, level);
    bool simplify = true;
    line.getAttrib(sc::AttribID::Simplify, simplify);
    data.treeOption = simplify ? 1 : 0;
    if (const td::PoolString* pPivot = line.findAttrib(sc::AttribID::Pivot); pPivot && !(*pPivot == "Diagonal"))
        data.pivotMode = 1;
    // The tokenized road names no conjugate partners.
    if constexpr (ValueTraits<T>::isComplex)
        builder.setConjugatePartners(false);
}

template class RPNDerivParser<double>;
template class RPNDerivParser<std::complex<double>>;
template void bindSolverData(SolverData<double>&, RPNDerivParser<double>&, const sc::TokenizedModel*, sc::ModelLevel);
template void bindSolverData(SolverData<std::complex<double>>&, RPNDerivParser<std::complex<double>>&,
                             const sc::TokenizedModel*, sc::ModelLevel);
} // namespace sl
