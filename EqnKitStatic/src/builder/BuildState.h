// What every pass of one model build shares, on the text road and on the XML road: the
// expression parser, the build context it works on and the pool of the trees it makes.
// Made with the builder for one load; each pass holds what only it uses.
#pragma once

#include <complex>

#include <mem/Manager.h>
#include <sc/TokenizedModel.h>
#include <td/Assert.h>
#include <td/String.h>
#include <td/Types.h>

#include "ExpressionTree.h"
#include "RPNParser.h"
#include "SolverData.h"
#include "TextPlace.h"
#include "XmlNodes.h"
#include "XmlPositions.h"

namespace sl
{
// How many blocks (if, switch) a model text nests, statements and conditional equations
// alike: as deep as an XML document's conditions.
constexpr td::UINT4 cMaxTextNesting = xmlnodes::cMaxXmlNesting;

// The first line of the Model (main) or SubModel group of a level.
sc::TokenizedModel::iterator modelLine(const sc::TokenizedModel& model, sc::ModelLevel level);

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

template <typename T> class BuildState final
{
public:
    using Parser = RPNParser<T>;
    using Tree = ExpressionTree<T>;
    using Iterator = sc::TokenizedModel::iterator;
    using ValueArray = typename Parser::ValueArray;

    // Binds the solver's symbol store and symbol values; both outlive the build.
    BuildState(SymbolMap& names, ValueArray& values) : parser(names, values) {}
    BuildState(const BuildState&) = delete;
    BuildState& operator=(const BuildState&) = delete;

    // The parser's pools into the build context, which the build works on from now.
    void bindSolverData(SolverData<T>& data)
    {
        parser.bindSolverData(data);
        _pData = &data;
    }
    // Binds a build: the context as above, its stores emptied for the new build and bound
    // to its solver, whose logger the context takes; with a tokenized model the model
    // line's simplify and pivot attributes of the level, and the complex build without
    // conjugate partners.
    void bindSolverData(SolverData<T>& data, const sc::TokenizedModel* pModel, sc::ModelLevel level);
    bool isBound() const { return _pData != nullptr; }
    SolverData<T>& data() const
    {
        TD_ASSERT(_pData);
        return *_pData;
    }
    // Variables and parameters of the build so far, generated ones included.
    td::UINT4 getNumVariables() const { return parser.getNumberOfVariables(); }
    td::UINT4 getNumParameters() const { return parser.getNumberOfParameters(); }
    td::UINT4 symbolCount() const { return getNumVariables() + getNumParameters(); }
    ValueArray& values() { return parser.values(); }
    const ValueArray& values() const { return parser.values(); }

    // A tree of the tree pool bound to the context.
    Tree* newTree();
    // Gives the token and tree pools back; nothing of the trees made so far is used again.
    void releaseTrees();
    // Blocks the pool of trees has made (each equation gives its trees back).
    td::UINT4 treePoolBlocks() const { return _treePool.blockCount(); }
    // The variable type of a symbol's kind record: a state type (3, 4) or another one.
    void setStateVarType(td::INT4 varID, td::BYTE varType);
    void setVarType(td::INT4 varID, td::BYTE varType);
    // A generated name: mapped to index and kept in the name store.
    void copyName(const td::String& name, td::UINT4 index) { parser.addSymbolName(name, index); }
    // Stages of the model's method: 2 for RK4, 3 for RK6, else 0.
    td::UINT2 getNumberOfStages() const;
    // Complex build: whether variables get conjugate partners, in the parser and the
    // stores.
    void setConjugatePartners(bool on)
    {
        if constexpr (ValueTraits<T>::isComplex)
            parser.setConjugatePartners(on);
        if (_pData)
            _pData->stores.settings.conjugatePartners = on ? 1 : 0;
    }
    // The complex build names conjugate partners of the variables.
    bool hasConjugatePartners() const
    {
        if constexpr (ValueTraits<T>::isComplex)
            return parser.hasConjugatePartners();
        return false;
    }

    // ---- the text road: keys at a statement ----

    // Every key of the text road stands at its place in the text: a statement (placeOf),
    // a token of one (tokenPlace), a group's line (groupPlace) or the model's (modelPlace).
    // A key at the statement or place, as an error; false for chaining.
    bool lineError(const char* key, const Iterator& it) const { return lineError(key, placeOf(it)); }
    bool lineError(const char* key, const Place& at) const;
    // A key as a warning.
    void lineWarning(const char* key, const Place& at) const;
    // A count that does not match, at the line of the group whose count it is, with the
    // counts ("<n> variables", "<m> equations"); false.
    bool countError(const char* key, const Place& at, td::UINT4 nVariables, td::UINT4 nEquations) const;
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

private:
    // The build context; the parser holds it as its compile context.
    SolverData<T>* _pData = nullptr;
    // The conditional parts of equations and the conditions of statements, per statement.
    mem::priv::Manager<Tree, 22> _treePool;
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
