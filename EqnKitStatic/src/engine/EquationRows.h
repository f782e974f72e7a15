// The equations of a model evaluated together with their Jacobian entries: one program per
// plain equation computes its residual and its entries, each part they share once; a
// conditional equation keeps its own records. Filled by the model builder next to the
// equation list and the Jacobian, whose records stay what the other walks use.
#pragma once

#include <complex>
#include <vector>

#include <cnt/PushBackVector.h>
#include <matrix/IMatrixReceiver.h>
#include <td/Types.h>

#include "Evaluator.h"
#include "EvaluatorSparseMatrix.h"
#include "EvaluatorVect.h"
#include "ISolverServices.h"
#include "RowBatches.h"
#include "SineCache.h"

namespace sl
{
template <typename T> class EquationRows
{
public:
    EquationRows() = default;
    EquationRows(const EquationRows&) = delete;
    EquationRows& operator=(const EquationRows&) = delete;

    void clear();
    // The row of the next equation of the list: its program, whose result 0 is the
    // residual and result 1 + k entry firstEntry + k of the Jacobian. A conditional
    // equation has no program (its entries are evaluated where they are put); a plain
    // one without a program leaves the rows unusable.
    void add(const Evaluator<T>* pProgram, td::UINT4 firstEntry, td::UINT4 nEntries, bool conditional, bool draws);

    // True when each equation of the list has its row, each entry of the Jacobian belongs
    // to one, and no program draws random numbers: evaluating the rows then gives bit for
    // bit what the walks of the equations and of the Jacobian give.
    bool isUsable(const EvaluatorVect<T>& equations, const EvaluatorSparseMatrix<T>& jacobian) const;

    // The residuals as EvaluatorVect::evaluateScaledMaxAbs gives them, and the values of
    // the rows' Jacobian entries into values (one slot per entry; conditional entries are
    // left as they are). Without values, the residuals alone: each program runs as far as
    // its residual.
    void evaluate(const EvaluatorVect<T>& equations, T* out, T scale, double* pMax, T* values) const;

    td::UINT4 size() const { return static_cast<td::UINT4>(_rows.size()); }
    // True when equation i ran in a batch of programs of its shape at the last walk.
    bool ranInBatch(td::UINT4 i) const { return _batches.covers(i); }
    // The shapes of the programs at the last walk (those of too few rows run alone).
    td::UINT4 rowShapes() const { return _batches.shapeCount(); }
    // The program of equation i; null for a conditional one.
    const Evaluator<T>* program(td::UINT4 i) const { return _rows[i].pProgram; }

private:
    // The program's code is all a walk reads of it; its temporary cells are the rows'
    // one scratch array, which stays in the cache from row to row.
    struct Row
    {
        const Evaluator<T>* pProgram = nullptr;
        const CodeUnit* pCode = nullptr;
        td::UINT4 firstEntry = 0;
        td::UINT4 nEntries = 0;
        bool conditional = false;
    };

    // The rows with code in the order they are grouped and run in. A bus's equations read the
    // sines of the same angles: run one after the other (their batches too), the second
    // finds them cached.
    std::vector<typename RowBatches<T>::Member> membersInRunOrder() const;
    void buildBatches() const;

    cnt::PushBackVector<Row> _rows;
    td::UINT4 _nEntries = 0;
    td::UINT4 _widest = 0;
    td::UINT4 _nTemps = 0;
    bool _complete = true;
    bool _draws = false;
    mutable std::vector<T> _results;
    mutable std::vector<T> _temps;
    // A bus's equations take the sines of the same angles: the second row reads them.
    mutable SineCache<T> _sines;
    // The programs grouped by shape, built at the first walk after a change.
    mutable RowBatches<T> _batches;
    // The rows no batch runs, in the order of membersInRunOrder, and where the code of each
    // starts in their joined code (CU::joinRuns, for the stack machine alone); built with the
    // batches.
    mutable std::vector<td::UINT4> _alone;
    mutable std::vector<std::size_t> _aloneStarts;
    mutable std::vector<CodeUnit> _aloneCode;
    mutable std::vector<T> _heads;
};

extern template class EquationRows<double>;
extern template class EquationRows<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using EquationRows = sl::EquationRows<double>;
}

namespace slCmplx
{
using EquationRows = sl::EquationRows<std::complex<double>>;
}
