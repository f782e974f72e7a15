// The text road's section pass: the statement groups of the processing sections into the
// solver's section lists, the limits, the repeats and, for a main model, its child model.
#pragma once

#include <complex>

#include <sc/ModelEnums.h>
#include <sc/Naming.h>
#include <sc/TokenizedModel.h>
#include <td/Types.h>

#include "BuildState.h"
#include "UsedVariables.h"

namespace sl
{
template <typename T> class SectionReader
{
public:
    using Iterator = sc::TokenizedModel::iterator;

    // The variables of each statement are collected into used.
    SectionReader(BuildState<T>& state, UsedVariables<T>& used) : _s(state), _used(used) {}

    // The statement sections, the limits, the repeats and, for a main model, its sub-model.
    bool buildProcSections(const sc::Naming& naming, const sc::TokenizedModel& model, sc::ModelLevel level);
    // Section index 0 ReInit, 1 PreProc, 2 IterPostP, 3 BasePostP, 4 PostProc, 6 Repeats
    // into the context's section list of that index.
    bool buildSection(const sc::TokenizedModel& model, td::BYTE index, sc::ModelLevel level);
    // The main model's child from its SubModel line; true when the model has none.
    bool createSubModels(const sc::Naming& naming, const sc::TokenizedModel& model);

private:
    BuildState<T>& _s;
    UsedVariables<T>& _used;
};

extern template class SectionReader<double>;
extern template class SectionReader<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using SectionReader = sl::SectionReader<double>;
}

namespace slCmplx
{
using SectionReader = sl::SectionReader<std::complex<double>>;
}
