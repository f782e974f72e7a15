// The variables of the expression being compiled, which the parser collects while it reads
// it, and those of the last statement that a limit reads. Owned by the entry of a build.
#pragma once

#include <complex>

#include <cnt/FixNumSet.h>
#include <td/Types.h>

#include "IUsedVariables.h"

namespace sl
{
template <typename T> class BuildState;
template <typename T> struct SolverData;

// The entry (text road, XML road, figures) owns the sets and hands them to the passes that
// begin, read or stop a collection; the parser of the build collects into them while they
// live.
template <typename T> class UsedVariables final : public IUsedVariables
{
public:
    // The parser of state collects here from now; its collector before comes back when
    // these sets go.
    explicit UsedVariables(BuildState<T>& state);
    ~UsedVariables();
    UsedVariables(const UsedVariables&) = delete;
    UsedVariables& operator=(const UsedVariables&) = delete;

    bool collectsUsedVars() override { return _collecting; }
    // Collects a variable of the expression being compiled; false outside the variables.
    bool markVariableUsed(td::UINT4 index) override;

    // The context's sets (which the trees read) are these from now.
    void bind(SolverData<T>& data);
    // Room for every variable of the model.
    void reserve(td::UINT4 nVars) { _variables.reserve(nVars); }
    // Empties the set and collects again.
    void begin()
    {
        _variables.clear();
        _collecting = true;
    }
    // Collection on or off; the expressions read while it is off add nothing.
    void collect(bool on) { _collecting = on; }
    // The variables collected, in increasing order.
    cnt::FixNumSet& variables() { return _variables; }
    const cnt::FixNumSet& variables() const { return _variables; }

private:
    BuildState<T>& _s;
    IUsedVariables* _pPrevious;
    // The context bound last (not owned); its pointers to these sets are cleared with them.
    SolverData<T>* _pBound = nullptr;
    cnt::FixNumSet _variables;
    cnt::FixNumSet _forLimits;
    bool _collecting = true;
};

extern template class UsedVariables<double>;
extern template class UsedVariables<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using UsedVariables = sl::UsedVariables<double>;
}

namespace slCmplx
{
using UsedVariables = sl::UsedVariables<std::complex<double>>;
}
