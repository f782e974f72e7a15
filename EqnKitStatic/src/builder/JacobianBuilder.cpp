#include "JacobianBuilder.h"

#include <sc/MessageKeys.h>

#include "BuildClock.h"
#include "BuildState.h"
#include "ConditionalDerivatives.h"
#include "Differentiator.h"
#include "UsedVariables.h"

namespace sl
{
namespace msg = sc::msg;

namespace
{
// While it lives, records and code go to other areas of the context (none given: the
// areas stay).
template <typename T> class CompileArea
{
public:
    using CodePool = cnt::List<typename SolverData<T>::Routine>;

    CompileArea(SolverData<T>& d, cnt::List<Evaluator<T>>* pEvaluators, CodePool* pCode)
        : _d(d), _pEvaluators(d.pEvaluatorPool), _pCode(d.pInstructionPool)
    {
        if (pEvaluators)
            d.pEvaluatorPool = pEvaluators;
        if (pCode)
            d.pInstructionPool = pCode;
    }
    CompileArea(const CompileArea&) = delete;
    CompileArea& operator=(const CompileArea&) = delete;
    ~CompileArea()
    {
        _d.pEvaluatorPool = _pEvaluators;
        _d.pInstructionPool = _pCode;
    }

private:
    SolverData<T>& _d;
    cnt::List<Evaluator<T>>* _pEvaluators;
    CodePool* _pCode;
};
} // namespace

template <typename T>
bool JacobianBuilder<T>::makeJacobianEntry(Tree& tree, td::UINT4 eqIndex, td::UINT4& nonZeroCount, char kind)
{
    SolverData<T>& d = _s.data();
    const bool constraint = kind == cConstraint;
    EvaluatorVect<T>* pList = constraint ? &d.stores.constraints : &d.stores.equations;
    EvaluatorSparseMatrix<T>* pMatrix = constraint ? &d.stores.constraintJacobian : &d.stores.jacobian;
    TD_ASSERT(pList && pMatrix);
    BuildPhaseTimer timer;
    Evaluator<T>* pEquation = d.newEvaluator();
    if (!tree.createEvaluator(pEquation))
        return false;
    pList->add(pEquation);
    timer.lap(&BuildClock::compileMs);
    _used.collect(false);
    const td::UINT4 firstEntry = pMatrix->size();
    EquationRows<T>* pRows = constraint ? nullptr : &d.stores.rows;
    const CompileArea<T> area(d, &d.stores.jacobianEvaluators, &d.stores.jacobianInstructions);
    if (tree.getType() == Tree::Type::SwitchCase || tree.getType() == Tree::Type::IfThenElse)
        return makeConditional(tree, pEquation, *pMatrix, eqIndex, pRows, firstEntry);

    // The derivatives by each used variable, then the row they make with the equation.
    if (!collectDerivatives(tree))
        return reportDiffFailure(msg::etErrDifEqua);
    timer.lap(&BuildClock::differentiateMs);
    if (!compileEntries(tree, *pMatrix, eqIndex, nonZeroCount))
        return false;
    if (pRows)
        addRow(tree, *pRows, firstEntry, pMatrix->size() - firstEntry);
    tree.endRow();
    timer.lap(&BuildClock::compileMs);
    return true;
}

template <typename T> bool JacobianBuilder<T>::makeConditional(Tree& tree, Evaluator<T>* pEquation,
                                                               EvaluatorSparseMatrix<T>& matrix, td::UINT4 eqIndex,
                                                               EquationRows<T>* pRows, td::UINT4 firstEntry)
{
    Evaluator<T>* pDerivative = _s.data().newEvaluator();
    if (tree.getType() == Tree::Type::SwitchCase)
    {
        if (!ConditionalDerivatives<T>(tree).differentiateSwitch(pDerivative, pEquation))
            return reportDiffFailure(msg::etErrDiffSwitch);
        matrix.addSwitch(eqIndex, pDerivative);
    }
    else
    {
        pDerivative->setIfThenElse(pEquation->getCondition(), nullptr, nullptr);
        if (!ConditionalDerivatives<T>(tree).differentiateIfThenElse(pDerivative))
            return reportDiffFailure(msg::etErrDifIfThen);
        matrix.addIfThenElse(eqIndex, pDerivative);
    }
    if (pRows)
        pRows->add(nullptr, firstEntry, matrix.size() - firstEntry, true, false);
    return true;
}

template <typename T> bool JacobianBuilder<T>::collectDerivatives(Tree& tree)
{
    SolverData<T>& d = _s.data();
    Differentiator<T>::prepareDependence(tree);
    _roots.clear();
    _rootVariables.clear();
    _roots.push_back(tree.getRoot());
    for (td::UINT4 v : _used.variables())
    {
        Tree derivative(&d, nullptr, _s.getNumVariables(), d.treeOption != 0);
        if (!tree.differentiate(derivative, v))
        {
            Differentiator<T>::forgetDependence();
            return false;
        }
        if (!derivative.getRoot())
            continue;
        _roots.push_back(derivative.getRoot());
        _rootVariables.push_back(v);
    }
    Differentiator<T>::forgetDependence();
    return true;
}

template <typename T> bool JacobianBuilder<T>::compileEntries(Tree& tree, EvaluatorSparseMatrix<T>& matrix,
                                                              td::UINT4 eqIndex, td::UINT4& nonZeroCount)
{
    const td::UINT4 nRoots = static_cast<td::UINT4>(_roots.size());
    if (!tree.beginRow(_roots.data(), nRoots))
        return reportDiffFailure(msg::etErrDifEqua);
    for (td::UINT4 k = 1; k < nRoots; ++k)
    {
        Evaluator<T>* pDerivative = _s.data().newEvaluator();
        if (!tree.compileRowEntry(k, pDerivative))
        {
            tree.endRow();
            return reportDiffFailure(msg::etErrDifEqua);
        }
        ++nonZeroCount;
        matrix.addEvaluator(eqIndex, _rootVariables[k - 1], pDerivative);
    }
    return true;
}

template <typename T>
void JacobianBuilder<T>::addRow(Tree& tree, EquationRows<T>& rows, td::UINT4 firstEntry, td::UINT4 nEntries)
{
    SolverData<T>& d = _s.data();
    const CompileArea<T> area(d, &d.stores.rowEvaluators, &d.stores.rowInstructions);
    Evaluator<T>* pProgram = d.newEvaluator();
    bool draws = false;
    // Every entry of the row must be one of its roots.
    const bool made = _roots.size() == nEntries + 1 && tree.compileRowProgram(pProgram, draws);
    rows.add(made ? pProgram : nullptr, firstEntry, nEntries, false, draws);
}

template <typename T> bool JacobianBuilder<T>::reportDiffFailure(const char* key) const
{
    const SolverData<T>& d = _s.data();
    d.reportKey(key, d.keyLine, d.keyColumn);
    return false;
}

template class JacobianBuilder<double>;
template class JacobianBuilder<std::complex<double>>;
} // namespace sl
