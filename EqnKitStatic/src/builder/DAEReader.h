// The text road's DAE entry and its passes: the integration method, the states of the ODE
// statements and the transfer functions (read ahead of the declarations), the count of the
// rows and the rows of the ODEs, each discretised with the method.
#pragma once

#include <complex>

#include <sc/ModelEnums.h>
#include <sc/Naming.h>
#include <sc/TokenizedModel.h>
#include <td/Types.h>

#include "BuildState.h"
#include "DAERecords.h"
#include "TextBuilder.h"
#include "UsedVariables.h"

namespace sl
{
template <typename T> class DAEReader
{
public:
    using Iterator = sc::TokenizedModel::iterator;
    using Tree = ExpressionTree<T>;

    // A pass of the text entry, over its state and its used-variable sets; holds the
    // records of the model's states and transfer functions.
    explicit DAEReader(TextBuilder<T>& entry) : _entry(entry), _s(entry.state()), _used(entry.usedVariables()) {}
    DAEReader(const DAEReader&) = delete;
    DAEReader& operator=(const DAEReader&) = delete;

    // The DAE entry: ODEs, transfer functions and NL equations discretised with the model's
    // method into one algebraic system over history parameters and stage variables. Rows:
    // transfer-function equations, ODE equations, NL equations. False after a key.
    bool initDAE(const sc::Naming& naming, const sc::TokenizedModel& model, SolverData<T>& data, sc::ModelLevel level);
    // The method attribute of the model line of the level; an unknown word warns and
    // keeps the method.
    void initIntegrationMethod(const sc::TokenizedModel& model, sc::ModelLevel level);
    // The states of the ODE statements, each once, sorted; false after a key.
    bool readODEStates(const sc::TokenizedModel& model, sc::ModelLevel level);
    // Equation rows of the model; false after a key when they differ from the variables.
    bool checkDAECounts(td::UINT4 nNL);
    // The rows of the ODEs from row on.
    bool expandODEs(const sc::TokenizedModel& model, sc::ModelLevel level, td::UINT4& row, td::UINT4& nonZeros);
    // The states and transfer functions read.
    const DAERecords& records() const { return _records; }

private:
    // Where the model's equation count is told.
    static Place countPlace(const sc::TokenizedModel& model, sc::ModelLevel level);
    // A statement that makes the counts wrong, refused at its place; true when there is one.
    bool refusesAStatement(const sc::TokenizedModel& model, sc::ModelLevel level);

    TextBuilder<T>& _entry;
    BuildState<T>& _s;
    UsedVariables<T>& _used;
    DAERecords _records;
    Place _countPlace;
};

extern template class DAEReader<double>;
extern template class DAEReader<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using DAEReader = sl::DAEReader<double>;
}

namespace slCmplx
{
using DAEReader = sl::DAEReader<std::complex<double>>;
}
