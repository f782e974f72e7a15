// The build context of one model load: a view of the solver's stores and build settings,
// the compile context that the parser and the trees work on, the model being built and
// the record the build hands back to the solver. Made on the solver's stack for one load.
#pragma once

#include <complex>

#include <cnt/SafeFullVector.h>
#include <td/Types.h>

#include "BuildResults.h"
#include "CompileContext.h"
#include "SolverStores.h"

namespace sc
{
class TokenizedModel;
}

namespace dense
{
template <typename T> class DiagMatrix;
}

namespace sl
{
template <typename T> class IFigureBuild;

template <typename T> struct SolverData : CompileContext<T>
{
    // Section indices of the statement lists: 0 reinit, 1 PreProc, 2 IterPostProc,
    // 3 BasePostProc, 4 PostProc, 5 (limits are kept as groups), 6 repeat.
    static constexpr td::BYTE cSectionLists = 7;

    // A view of the stores of the solver being built, reporting into its error log and
    // logger at its line; the results start from its settings. Changes neither.
    SolverData(SolverStores<T>& stores, ISolverServices<T>& solver);
    SolverData(const SolverData&) = delete;
    SolverData& operator=(const SolverData&) = delete;

    // The build settings of the solver, read in place.
    const BuildSettings& settings() const { return stores.settings; }
    // The statement list of a section index; null for 5 and past the last.
    EvaluatorVect<T>* sectionList(td::BYTE index) const;

    SolverStores<T>& stores;
    union
    {
        // The tokenized model being built.
        const sc::TokenizedModel* pTokenizedModel = nullptr;
        // A figure build has the figure evaluator here instead; the plot builder appends
        // its definitions to the evaluator's list.
        IFigureBuild<T>* pFigureEvaluator;
    };
    // Outside the stores, given by the solver kinds that have them: for each ODE the index
    // of the variable it defines (ODE solver), the measurement weights (WLS solver).
    cnt::SafeFullVector<td::INT4>* pODEList = nullptr;
    dense::DiagMatrix<double>* pWeights = nullptr;
    // What the solver takes from the build.
    BuildResults results;
    // The start time given to a generated "t" parameter.
    double startTime = 0;
    // DAE models: the differential (state) variables and the variables the transfer
    // functions add.
    td::UINT4 nDAEStates = 0;
    td::UINT4 nTFVars = 0;
    // Index of the symbol table that the statement builders pass to the front end.
    td::UINT2 namingIndex = 0;
    // The model line's simplify attribute, handed to every tree the builder makes.
    td::BYTE treeOption = 1;
    // 0 when the model line's pivot attribute is absent or reads "Diagonal", 1 otherwise.
    td::BYTE pivotMode = 0;
    // 1 once the declarations pass has made the symbols.
    td::BYTE declarationsDone = 0;
};

extern template struct SolverData<double>;
extern template struct SolverData<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using SolverData = sl::SolverData<double>;
}

namespace slCmplx
{
using SolverData = sl::SolverData<std::complex<double>>;
}
