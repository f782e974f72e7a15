// The text road's declarations pass: the variables and parameters of a model level become
// the solver's symbols (names, values, kinds) followed by the ten solver-status symbols,
// and the declarations' start values are set.
#pragma once

#include <complex>

#include <sc/ModelEnums.h>
#include <sc/Naming.h>
#include <sc/TokenizedModel.h>
#include <td/Types.h>

#include "BuildState.h"
#include "DAERecords.h"
#include "UsedVariables.h"

namespace sl
{
template <typename T> class DeclarationReader
{
public:
    // used gets room for the variables; a DAE model's generated symbols come from its
    // records pDAE (none for the other kinds).
    DeclarationReader(BuildState<T>& state, UsedVariables<T>& used, DAERecords* pDAE = nullptr)
        : _s(state), _used(used), _pDAE(pDAE)
    {
    }

    // The declarations pass: symbols, their kinds and the solver-status symbols, then
    // the start values. False after a key.
    bool buildDeclarations(const sc::Naming& naming, const sc::TokenizedModel& model, sc::ModelLevel level);
    // The symbols alone (no start values).
    bool declareSymbols(const sc::Naming& naming, const sc::TokenizedModel& model, sc::ModelLevel level);
    // Start values of Vars and Params; deferred expressions in the order their symbols
    // need them.
    bool setDeclaredValues(const sc::TokenizedModel& model, sc::ModelLevel level);

private:
    // The kinds of the symbols: variables and parameters, numeric type real, the output
    // marks of the groups' out attributes for the nVars and nParams declared ones.
    void setKinds(const sc::TokenizedModel& model, sc::ModelLevel level, td::UINT4 nVars, td::UINT4 nParams);
    // A sub-model's parameters copied from the parent take the parent's current values.
    void copyParentParams(const sc::TokenizedModel& model, td::UINT4 nAllVars, td::UINT4 nParams);

    BuildState<T>& _s;
    UsedVariables<T>& _used;
    DAERecords* _pDAE;
};

extern template class DeclarationReader<double>;
extern template class DeclarationReader<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using DeclarationReader = sl::DeclarationReader<double>;
}

namespace slCmplx
{
using DeclarationReader = sl::DeclarationReader<std::complex<double>>;
}
