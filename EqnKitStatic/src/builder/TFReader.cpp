#include "TFReader.h"

#include <sc/MessageKeys.h>

#include "DAERows.h"
#include "TFStateSpace.h"

namespace sl
{
namespace msg = sc::msg;
using F = sc::Token;

namespace
{
// The first token of f(s): y / u = ...
constexpr td::UINT4 cFirstFnToken = 4;

bool isOwnSymbol(const sc::_TokV& t, F kind) { return t.kind == kind && t.extra == 0; }

bool isSymbolToken(const sc::_TokV& t)
{
    return t.kind == F::Var || t.kind == F::Param || t.kind == F::EmbeddedParam || t.kind == F::DistribName ||
           t.kind == F::StatName;
}
} // namespace

template <typename T>
bool TFReader<T>::buildTransferFunctions(const sc::TokenizedModel& model, sc::ModelLevel level, TFStatements& tfs)
{
    SolverData<T>& d = _s.data();
    const td::UINT4 nTF = model.getNumberOfExpressions(sc::Group::TFs, level);
    d.currentSection = static_cast<td::BYTE>(ErrorSection::TFs);
    tfs.reserve(nTF);
    FnLimits<T>* pLimits = d.pSolver ? d.pSolver->getFnLimits() : nullptr;
    TD_ASSERT(!pLimits || pLimits->size() == 0);
    Iterator it = model.getGroup(sc::Group::TFs, level);
    ++it;
    bool ok = true;
    // A variable is the output of one transfer function only: a second one would overwrite
    // its first-state record and leave another variable without an equation.
    cnt::SafeFullVector<td::BYTE> isOutput(_s.getNumVariables());
    for (td::UINT4 v = 0; v < _s.getNumVariables(); ++v)
        isOutput[v] = 0;
    for (td::UINT4 i = 0; ok && i < nTF && !it.atEnd(); ++i, ++it)
    {
        ok = readTransferFunction(it, tfs[i]);
        _s.releaseTrees();
        if (!ok)
            break;
        const td::UINT4 y = static_cast<td::UINT4>(tfs[i].tf.output);
        if (isOutput[y])
            ok = _s.lineError(msg::scTFOutputTaken, Place{it.line().line, it.exprToken(0).column});
        isOutput[y] = 1;
    }
    // The limit records of this reading are made again with the statements' rows.
    if (pLimits)
        pLimits->clear();
    _used.collect(true);
    return ok;
}

// Where a statement too short for y / u = f(s) fails its form: at its first token that is
// not what the form has there, else at f(s), which is too short.
template <typename T> Place TFReader<T>::shortFormPlace(const Iterator& it)
{
    const td::UINT4 n = it.line().nExpr;
    if (n < 2)
        return placeOf(it);
    if (it.exprToken(1).kind != F::Div)
        return tokenPlace(it, 1);
    if (n < 4)
        return tokenPlace(it, n - 1);
    if (it.exprToken(3).kind != F::Assign)
        return tokenPlace(it, 3);
    return tokenPlace(it, n > cFirstFnToken ? cFirstFnToken : n - 1);
}

template <typename T> bool TFReader<T>::readTransferFunction(const Iterator& it, TFStatement& out)
{
    SolverData<T>& d = _s.data();
    const sc::_tl& l = it.line();
    if (l.nExpr < 7)
        return _s.lineError(msg::scTFsWrongFormat, shortFormPlace(it));
    if (it.exprToken(1).kind != F::Div)
        return _s.lineError(msg::scTFsNoDiv1Operator, Place{l.line, it.exprToken(1).column});
    if (it.exprToken(3).kind != F::Assign)
        return _s.lineError(msg::scTFsNoAssignOperator, Place{l.line, it.exprToken(3).column});

    // Only the orders and forms of f(s) count here; the rows are made from it again after
    // the declarations, when its symbols have their final indices. Its problems stand at
    // its first token.
    const Place fs{l.line, it.exprToken(cFirstFnToken).column};
    _used.collect(false);
    _s.parser.clearTokens();
    td::BYTE kind = 0;
    const typename RPNParser<T>::NoAssignment rightSide(_s.parser);
    if (!_s.parser.compileTokens(it, cFirstFnToken, kind) || kind != 1)
        return _s.lineError(msg::scTFsWrongTokens, fs);
    Tree* pTree = _s.newTree();
    if (!_s.buildTree(*pTree, it))
        return _s.lineError(msg::scTFsCannotMakeET, fs);
    if (_s.refusesComparison(*pTree))
        return false;
    d.keyLine = fs.line;
    d.keyColumn = fs.column;
    const bool formatOk = TFStateSpace<T>(*pTree).checkTFFormat(out.tf);
    d.keyLine = d.keyColumn = 0;
    if (!formatOk)
        return _s.lineError(msg::scTFBadFormat, fs);

    const sc::_TokV& y = it.exprToken(0);
    if (!isOwnSymbol(y, F::Var))
        return _s.lineError(isSymbolToken(y) ? msg::scTFYNotVariable : msg::scWrongYInTF, Place{l.line, y.column});
    const sc::_TokV& u = it.exprToken(2);
    const bool inputIsVar = isOwnSymbol(u, F::Var);
    if (!inputIsVar && !isOwnSymbol(u, F::Param))
        return _s.lineError(isSymbolToken(u) ? msg::scTFUNotVarNorParam : msg::scWrongUInTF, Place{l.line, u.column});
    out.tf.output = y.code;
    out.tf.input = u.code;
    out.inputIsParam = !inputIsVar;
    out.line = it;
    return true;
}

template <typename T>
bool TFReader<T>::expandTransferFunction(const TFStatement& stmt, td::UINT4& row, td::UINT4& nonZeros)
{
    SolverData<T>& d = _s.data();
    const TransferFunction& tf = stmt.tf;
    const Iterator& it = stmt.line;
    // Problems of f(s) stand at its first token.
    const Place line{it.line().line, it.exprToken(cFirstFnToken).column};

    _used.begin();
    _s.parser.clearTokens();
    td::BYTE kind = 0;
    if (!_s.parser.compileTokens(it, cFirstFnToken, kind))
        return _s.lineError(msg::scTFTokListError, line);
    Tree* pTree = _s.newTree();
    if (!_s.buildTree(*pTree, it))
        return _s.lineError(msg::scTFExprTreeErr, line);
    td::INT4 position = 0;
    d.keyLine = line.line;
    d.keyColumn = line.column;
    const TFFailure failure = DAERows<T>(_s, _used).realiseTransferFunction(*pTree, tf, row, nonZeros, position);
    d.keyLine = d.keyColumn = 0;
    _s.releaseTrees();
    const bool withDenominator = tf.denomOrder > 0;
    switch (failure)
    {
    case TFFailure::None: return true;
    case TFFailure::Polynomials: return _s.lineError(msg::scTFPolyCoefficent, line);
    case TFFailure::DenomLaplace: return _s.lineError(msg::scTFDenomNoLapladeOperator, line);
    case TFFailure::NomLaplace: return _s.lineError(msg::scTFNomNoLapladeOperator, line);
    // Without its rows the model would have fewer equations than variables.
    case TFFailure::StateSpace: return _s.lineError(msg::scTF2SSError, line);
    case TFFailure::Discretize: return _s.lineError(withDenominator ? msg::scDAEExpandError : msg::sc0Expansion, line);
    case TFFailure::StateRows: return _s.lineError(withDenominator ? msg::scDAENLDerivs : msg::scDAENLJack0Exp, line);
    case TFFailure::OutputRows: return _s.lineError(withDenominator ? msg::scDAENLJack2 : msg::scDAENLJack3, line);
    }
    return false;
}

template <typename T>
bool TFReader<T>::expandTransferFunctions(const TFStatements& tfs, td::UINT4& row, td::UINT4& nonZeros)
{
    for (std::size_t i = 0; i < tfs.size(); ++i)
    {
        if (!expandTransferFunction(tfs[i], row, nonZeros))
            return false;
    }
    return true;
}

template class TFReader<double>;
template class TFReader<std::complex<double>>;
} // namespace sl
