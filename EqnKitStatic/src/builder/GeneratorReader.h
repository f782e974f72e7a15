// Random generators of the text road: each line of the Distribs group names a generator,
// its type and its parameters; the parameters are checked before the generator is made.
#pragma once

#include <complex>

#include <sc/ModelEnums.h>
#include <sc/TokenizedModel.h>
#include <td/Types.h>

#include "BuildState.h"

namespace sl
{
template <typename T> class GeneratorReader
{
public:
    using Iterator = sc::TokenizedModel::iterator;

    explicit GeneratorReader(BuildState<T>& state) : _s(state) {}

    // The generators of the level's Distribs group into the solver's manager; false after
    // a key at the first line that declares none.
    bool buildDistributions(const sc::TokenizedModel& model, sc::ModelLevel level);

private:
    BuildState<T>& _s;
};

extern template class GeneratorReader<double>;
extern template class GeneratorReader<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using GeneratorReader = sl::GeneratorReader<double>;
}

namespace slCmplx
{
using GeneratorReader = sl::GeneratorReader<std::complex<double>>;
}
