#include "DAERows.h"

#include <vector>

#include <matrix/Butcher.h>

#include "BuildState.h"
#include "DAEStages.h"
#include "ETNodeKinds.h"
#include "TFStateSpace.h"
#include "TreeWalk.h"
#include "UsedVariables.h"

namespace sl
{
namespace
{
// Every variable a row reads: its own-model symbols below nVars and the variables of the
// arguments of its lim calls (which live in the limit records, not in the tree).
template <typename T>
void collectRowVariables(const ETNode<T>* pRoot, const FnLimits<T>* pLimits, td::UINT4 nVars, cnt::FixNumSet& out)
{
    using namespace nodes;
    visitPreorder(pRoot, [&](const ETNode<T>* p) {
        const Token<T>& t = *p->pToken;
        if (isOwnVariable(t, nVars))
            out.insert(t.index);
        else if (pLimits && isFunction(p, C::LIMIT))
        {
            const td::UINT4 id = static_cast<td::UINT4>(unpackLimitWord(realPart(t.value)) & 0xFFFFFFFFu);
            if (id > 0 && id <= pLimits->size())
            {
                const auto& derivs = (*pLimits)[id]._derivEvaluators;
                for (std::size_t k = 0; k < derivs.size(); ++k)
                {
                    if (derivs[k].varIndex < nVars)
                        out.insert(derivs[k].varIndex);
                }
            }
        }
        return WalkStep::Descend;
    });
}
} // namespace

template <typename T> DAEStageContext DAERows<T>::stageContext(td::UINT4 state) const
{
    const SolverData<T>& d = _s.data();
    DAEStageContext ctx;
    ctx.pVarRecords = &d.stores.daeVarRecords;
    ctx.state = state;
    ctx.deltaT = _s.getNumVariables() + static_cast<td::UINT4>(d.results.indexOfDeltaTParam);
    ctx.time = static_cast<td::INT4>(_s.getNumVariables()) + d.results.indexOfTParam;
    return ctx;
}

template <typename T> bool DAERows<T>::discretize(Tree& tree, Node* pIntegral, td::UINT4 state, td::UINT4 eqNo,
                                                  Node** pRows, td::UINT4& nRows)
{
    const td::UINT2 s = _s.getNumberOfStages();
    if (s == 0)
    {
        if (!mapDAEVarHistory(tree, pIntegral, state, eqNo))
            return false;
        pRows[0] = tree.getRoot();
        nRows = 1;
        return true;
    }
    matrix::Butcher tableau;
    tableau.init(s == 2 ? matrix::Butcher::GaussLegendre2 : matrix::Butcher::GaussLegendre3);
    if (!DAEStages<T>(tree).expandDAEStages(pIntegral, stageContext(state), tableau, pRows))
        return reportDiscretizeFailure(state, eqNo);
    nRows = s + 1u;
    return true;
}

template <typename T> bool DAERows<T>::mapDAEVarHistory(Tree& tree, Node* pIntegral, td::UINT4 variable, td::UINT4 eqNo)
{
    const SolverData<T>& d = _s.data();
    TD_ASSERT(variable < d.stores.daeVarRecords.size());
    const td::INT4 history = d.stores.daeVarRecords[variable].histParam;
    TD_ASSERT(history >= 0);
    TD_ASSERT(static_cast<td::UINT4>(history) < _s.getNumParameters());
    const DAEStageContext ctx = stageContext(variable);
    DAEStages<T> stages(tree);
    const bool done = d.results.IntegrationMethod == 0 ? stages.discretizeEuler(pIntegral, ctx)
                                                       : stages.discretizeTrapezoidal(pIntegral, ctx);
    return done || reportDiscretizeFailure(variable, eqNo);
}

template <typename T> bool DAERows<T>::reportDiscretizeFailure(td::UINT4 variable, td::UINT4 eqNo) const
{
    const SolverData<T>& d = _s.data();
    d.itemLocationText(eqNo, 16);
    if (d.pErrorLog)
        appendSubstituted(*d.pErrorLog, " The equation of @ cannot be discretized.", d.getSymbolName(variable));
    return false;
}

template <typename T> bool DAERows<T>::compileRow(Node* pRoot, td::UINT4 row, td::UINT4& nonZeros)
{
    SolverData<T>& d = _s.data();
    Tree tree(&d, nullptr, _s.getNumVariables(), d.treeOption != 0);
    tree.pushRoot(pRoot);
    cnt::FixNumSet& used = _used.variables();
    used.clear();
    collectRowVariables<T>(pRoot, tree.getLimits(), _s.getNumVariables(), used);
    return _jacobian.makeJacobianEntry(tree, row, nonZeros, cNLEquation);
}

template <typename T> TFFailure DAERows<T>::realiseTransferFunction(Tree& fTree, const TransferFunction& tf,
                                                                    td::UINT4& row, td::UINT4& nonZeros,
                                                                    td::INT4& position)
{
    SolverData<T>& d = _s.data();
    const td::UINT2 s = _s.getNumberOfStages();
    std::vector<Node*> denom(tf.denomOrder + 1u, nullptr), nom(tf.nomOrder + 1u, nullptr);
    std::vector<Node*> eqs(tf.equationCount(), nullptr);
    TFStateSpace<T> realisation(fTree);
    if (!realisation.getTFPolynomials(denom.data(), nom.data(), tf))
        return TFFailure::Polynomials;
    if ((position = TFStateSpace<T>::findCoeffWithLaplace(denom.data(), tf.denomOrder)) >= 0)
        return TFFailure::DenomLaplace;
    if ((position = TFStateSpace<T>::findCoeffWithLaplace(nom.data(), tf.nomOrder)) >= 0)
        return TFFailure::NomLaplace;
    if (!realisation.makeTFStateSpace(eqs.data(), denom.data(), nom.data(), tf, s))
        return TFFailure::StateSpace;
    // Equation k below the states is the derivative of state slot k; the rest are
    // algebraic rows.
    for (td::UINT2 k = 0; k < tf.stateCount(); ++k)
    {
        Tree stateTree(&d, nullptr, _s.getNumVariables(), d.treeOption != 0);
        stateTree.pushRoot(eqs[k]);
        Node* rows[4] = {};
        td::UINT4 nRows = 0;
        if (!discretize(stateTree, nullptr, tf.slot(k, s), row, rows, nRows))
            return TFFailure::Discretize;
        for (td::UINT4 r = 0; r < nRows; ++r)
        {
            if (!compileRow(rows[r], row++, nonZeros))
                return TFFailure::StateRows;
        }
    }
    for (td::UINT2 k = tf.stateCount(); k < tf.equationCount(); ++k)
    {
        if (!compileRow(eqs[k], row++, nonZeros))
            return TFFailure::OutputRows;
    }
    return TFFailure::None;
}

template class DAERows<double>;
template class DAERows<std::complex<double>>;
} // namespace sl
