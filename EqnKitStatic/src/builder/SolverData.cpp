#include "SolverData.h"

namespace sl
{
template <typename T> SolverData<T>::SolverData(SolverStores<T>& solverStores, ISolverServices<T>& solver)
    : stores(solverStores)
{
    this->pSolver = &solver;
    this->pEvaluatorPool = &stores.evaluators;
    this->pInstructionPool = &stores.instructions;
    this->pSymbolInfo = &stores.symbolInfo;
    this->pErrorLog = &stores.errorLog;
    this->pLog = solver.getLog();
    this->currentLine = stores.settings.line;
    results.indexOfTParam = stores.settings.indexOfTParam;
    results.indexOfDeltaTParam = stores.settings.indexOfDeltaTParam;
}

template <typename T> EvaluatorVect<T>* SolverData<T>::sectionList(td::BYTE index) const
{
    using S = SolverStores<T>;
    // Index 5 is the limits, which are kept as groups.
    static constexpr td::BYTE s_sections[cSectionLists] = {S::ReInit,   S::PreProc,   S::IterPostProc, S::BasePostProc,
                                                           S::PostProc, S::cSections, S::Repeat};
    if (index >= cSectionLists || s_sections[index] == S::cSections)
        return nullptr;
    return &stores.sections[s_sections[index]];
}

template struct SolverData<double>;
template struct SolverData<std::complex<double>>;
} // namespace sl
