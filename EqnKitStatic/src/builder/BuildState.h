// What one model build shares between its text road and its XML road and their passes:
// the expression parser, the build context, the used-variable sets, the tree pool, the
// counts and the records of a DAE model. Made with the builder for one load.
#pragma once

#include <complex>
#include <vector>

#include <cnt/FixNumSet.h>
#include <cnt/SafeFullVector.h>
#include <mem/Manager.h>
#include <sc/TokenizedModel.h>
#include <td/Assert.h>
#include <td/String.h>
#include <td/Types.h>

#include "ExpressionTree.h"
#include "IUsedVariables.h"
#include "RPNParser.h"
#include "SolverData.h"
#include "TextPlace.h"
#include "TransferFunction.h"
#include "XmlNodes.h"
#include "XmlPositions.h"

namespace sl
{
// One TFs statement y / u = f(s): the symbols, orders and forms the realisation reads,
// and where the statement stands.
struct TFStatement
{
    TransferFunction tf;
    sc::TokenizedModel::iterator line;
    // tf.input counts from the first parameter until the declarations pass has run.
    bool inputIsParam = false;
};

// How many blocks (if, switch) a model text nests, statements and conditional equations
// alike: as deep as an XML document's conditions.
constexpr td::UINT4 cMaxTextNesting = xmlnodes::cMaxXmlNesting;

// One level more of the nesting counter it is given while it lives.
class NestingLevel
{
public:
    explicit NestingLevel(td::UINT4& depth) : _depth(++depth) {}
    ~NestingLevel() { --_depth; }
    NestingLevel(const NestingLevel&) = delete;
    NestingLevel& operator=(const NestingLevel&) = delete;

private:
    td::UINT4& _depth;
};

// The variable types the DAE build gives (SymbolInfo byte 0): the auxiliary variable of a
// transfer function, the state of an ODE and a state of a transfer function.
constexpr td::BYTE cTFAuxiliary = 2;
constexpr td::BYTE cODEState = 3;
constexpr td::BYTE cTFState = 4;

// The kinds of model whose equation groups (text) or sections (XML) a solver reads,
// numbered as the model line's type words.
enum class ModelKind : td::BYTE
{
    NL = 0,
    WLS = 1,
    ODE = 2,
    DAE = 3
};

// What the passes of a DAE model read ahead of its declarations and use after them.
struct DAERecords
{
    // The texts of an XML transfer function: output, input, f(s).
    struct XmlTFText
    {
        td::String output, input, fn;
    };
    // The state of an XML ODE, the text of its equation and its item number.
    struct XmlState
    {
        td::String name;
        const char* fx = nullptr;
        td::UINT4 eq = 0;
    };

    // The ODE states (sorted) and, on the text road, the line of the ODE of each.
    cnt::SafeFullVector<td::INT4> stateVars;
    cnt::SafeFullVector<Place> stateLines;
    // The transfer functions in statement order.
    cnt::SafeFullVector<TFStatement> tfs;
    // XML documents: the texts of each transfer function and the sorted state names of a
    // stage method.
    std::vector<XmlTFText> xmlTFs;
    std::vector<XmlState> xmlStateNames;
};

template <typename T> class BuildState final : public IUsedVariables
{
public:
    using Parser = RPNParser<T>;
    using Tree = ExpressionTree<T>;
    using Iterator = sc::TokenizedModel::iterator;
    using ValueArray = typename Parser::ValueArray;

    // Binds the solver's symbol store and symbol values; both outlive the build.
    BuildState(SymbolMap& names, ValueArray& values);
    BuildState(const BuildState&) = delete;
    BuildState& operator=(const BuildState&) = delete;

    bool collectsUsedVars() override { return collecting != 0; }
    // Collects a variable of the expression being compiled; false outside the variables.
    bool markVariableUsed(td::UINT4 index) override;

    // The parser's pools into the build context, which the build works on from now.
    void bind(SolverData<T>& data)
    {
        parser.bindSolverData(data);
        pData = &data;
    }
    SolverData<T>& data() const
    {
        TD_ASSERT(pData);
        return *pData;
    }
    td::UINT4 nVars() const { return parser.getNumberOfVariables(); }
    td::UINT4 nParams() const { return parser.getNumberOfParameters(); }
    td::UINT4 symbolCount() const { return nVars() + nParams(); }
    ValueArray& values() { return parser.values(); }
    const ValueArray& values() const { return parser.values(); }

    // Empties the used-variable set and collects again.
    void beginUsedVars();
    // A tree of the tree pool bound to the context.
    Tree* newTree();
    // Gives the token and tree pools back; nothing of the trees made so far is used again.
    void releaseTrees();
    // The variable type of a symbol's kind record: a state type (3, 4) or another one.
    void setStateVarType(td::INT4 varID, td::BYTE varType);
    void setVarType(td::INT4 varID, td::BYTE varType);
    // Stages of the model's method: 2 for RK4, 3 for RK6, else 0.
    td::UINT2 getNumberOfStages() const;
    // Complex build: whether variables get conjugate partners, in the parser and the
    // stores.
    void setConjugatePartners(bool on)
    {
        if constexpr (ValueTraits<T>::isComplex)
            parser.setConjugatePartners(on);
        if (pData)
            pData->stores.settings.conjugatePartners = on ? 1 : 0;
    }
    // The complex build names conjugate partners of the variables.
    bool hasPartners() const
    {
        if constexpr (ValueTraits<T>::isComplex)
            return parser.hasConjugatePartners();
        return false;
    }

    // ---- the text road: keys at a statement ----

    // A key at the statement, or at a line and column, as an error; false for chaining.
    bool lineError(const char* key, const Iterator& it) const { return lineError(key, placeOf(it)); }
    bool lineError(const char* key, const Place& at) const { return lineError(key, at.line, at.column); }
    bool lineError(const char* key, td::UINT4 line, td::UINT4 column) const;
    // The parser's tokens into tree, with the statement's place given to the keys of the
    // tree.
    bool buildTree(Tree& tree, const Iterator& it);
    // An equation whose top operation is a comparison (also a branch's or a case's) is
    // refused with a key at the comparison, on the line of its statement; true when it is.
    bool refusesComparison(const Tree& tree) const;
    // The parser's tokens of the line from first (to end) into tree; false without a key
    // when the parser refuses them, with keyOnTree when the tree does.
    bool compileInto(Tree& tree, const Iterator& it, td::UINT4 first, td::BYTE& kind, const char* keyOnTree,
                     td::UINT4 end = Parser::cLineEnd);

    // ---- the XML road: entries of the error log ----

    // An entry, then false.
    bool xmlError(const char* text) const;
    // Parses an expression text into the parser's tokens, whose columns become positions
    // in the text written (as at says); the key held so far is forgotten first.
    bool parseXml(const char* text, const XmlPositions& at = XmlPositions());
    // An entry of text (its "@" the written text shown) at the line of the element being
    // read, ending in the reason the engine held for refusing the expression and, unless
    // the position is in another text, where in shown it stands:
    // " (<key>: <arguments> at position <n>)"; then false.
    bool xmlExpressionError(const char* text, const char* shown, bool withPosition = true) const;
    // An equation whose top operation is a comparison is refused with an entry naming it
    // and its position in shown, at the line of the element being read; true when it is.
    bool xmlRefusesComparison(const Tree& tree, const char* shown) const;
    template <typename... A> bool xmlError(const char* text, const A&... args) const
    {
        data().addError(text, args...);
        return false;
    }

    // The expression parser of the build; made first and gone last, as the trees of the
    // pool use its node pools.
    Parser parser;
    // The build context; the parser holds it as its compile context.
    SolverData<T>* pData = nullptr;
    // The variables the equation being compiled uses, and those of the last statement that
    // a limit reads.
    cnt::FixNumSet usedVars;
    cnt::FixNumSet lastUsedVarsForLimits;
    // The roots of the row being compiled: the equation's, then its entries'.
    std::vector<typename Tree::Node*> roots;
    std::vector<td::UINT4> rootVariables;
    // The conditional parts of equations and the conditions of statements, per statement.
    mem::priv::Manager<Tree, 22> treePool;
    DAERecords dae;
    td::UINT4 nEquations = 0;
    td::UINT4 parentVarCount = 0;
    // The line (from 1) of the XML element whose texts are being read; 0: none.
    td::UINT4 xmlLine = 0;
    // Depth of the statement being compiled; the pools go back when the outermost ends.
    td::UINT4 statementDepth = 0;
    // Blocks of a model text around the one being read (statements or equations).
    td::UINT4 blockDepth = 0;
    td::BYTE declarationsDone = 0;
    // The parser collects the variables of the expression it reads.
    td::BYTE collecting = 1;
};

extern template class BuildState<double>;
extern template class BuildState<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using BuildState = sl::BuildState<double>;
}

namespace slCmplx
{
using BuildState = sl::BuildState<std::complex<double>>;
}
