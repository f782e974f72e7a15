// The symbolic form of one expression: a binary tree of expression tokens built from the
// parser's token list, emitted into evaluators, printed, differentiated and rewritten.
#pragma once

#include <complex>

#include <td/String.h>
#include <td/Types.h>

#include "CompileContext.h"
#include "ETNode.h"
#include "Evaluator.h"
#include "FnLimit.h"
#include "ParserPools.h"
#include "Token.h"

namespace sl
{
template <typename T> class ConditionalDerivatives;
template <typename T> class Differentiator;

// The passes over a tree in files of their own take it by reference: Polynomials,
// TFStateSpace, DAEStages, Differentiator and ConditionalDerivatives.
template <typename T> class ExpressionTree
{
    using C = TokenCodes;
    // The rules build a derivative sharing this tree's subtrees within a node budget and
    // report at the operation that has none; the records take their runs from its pool.
    friend class Differentiator<T>;
    friend class ConditionalDerivatives<T>;

public:
    using Node = ETNode<T>;
    using Tok = Token<T>;
    using TokNode = TokenNode<T>;
    using NodeStack = typename ParserPools<T>::NodeStack;
    using BracketStack = typename ParserPools<T>::BracketStack;
    using Bracket = BracketEntry<T>;

    enum class Type : td::BYTE
    {
        Plain = 0,
        IfThenElse = 1,
        SwitchCase = 2
    };

    // The empty form of a pooled tree (reset with the simplify flag set); bind it with init.
    ExpressionTree();
    // A tree bound to the build context, whose pools it takes; limits null takes the
    // solver's list.
    ExpressionTree(CompileContext<T>* pContext, FnLimits<T>* pLimits, td::UINT4 nVars, bool simplify);
    // A fresh, empty tree over the pools, context, limits, variable count and print mode
    // of other, with the simplify flag set.
    ExpressionTree(const ExpressionTree& other);
    ExpressionTree& operator=(const ExpressionTree&) = delete;

    // Rebinds a pooled tree to a build context and clears its statistics.
    void init(CompileContext<T>* pContext, FnLimits<T>* pLimits, td::UINT4 nVars);
    // The empty form: no pools, no context, empty stacks, zero counts.
    void reset(bool simplify);

    // ---- building ----

    // Calls nested in the second argument of atg2, min or max, or in the argument of lim,
    // are built apart, each level by a tree of its own; deeper nesting is refused with
    // "@ET.ExprTooDeep" (the stack machine could not run nested second arguments that
    // deep anyway).
    static constexpr td::UINT4 cMaxNestedCalls = 64;

    // Builds the tree from the parser's token list; false after a message to the log.
    bool build(TokNode* pFirst);
    // Pushes node as the new root; the statistics are of it from then on.
    void pushRoot(Node* pNode);
    // Node takes the place of the root (is pushed when there is none); the statistics are
    // of it from then on.
    void replaceRoot(Node* pNode);
    Node* getRoot() const;
    // The node statistics are of the root from then on: counted when next asked (while
    // the tree's nodes live), so trees nobody asks about are never walked for them.
    void recount() { _countsStale = true; }

    // ---- emission ----

    // Compiles the tree into out; false for an empty plain tree or after a message
    // (an operation without a run-time routine, a symbol outside the value arrays, an
    // expression deeper than the stack machine).
    bool createEvaluator(Evaluator<T>* out);
    // A row: an equation (root 0) and its Jacobian entries (the other roots), compiled
    // between beginRow and endRow, with no other emission in between. beginRow merges the
    // parts the roots have in common (their trees change in place, each part computing
    // what it did) and checks them; false after a message. compileRowEntry compiles root k
    // into out on its own (false after a message); compileRowProgram compiles one program
    // of every root, result k the value of root k, each common part computed once in the
    // temporary cells its caller lends it (CU::run); draws tells whether it draws random
    // numbers.
    bool beginRow(Node** pRoots, td::UINT4 nRoots);
    bool compileRowEntry(td::UINT4 k, Evaluator<T>* out);
    bool compileRowProgram(Evaluator<T>* out, bool& draws);
    void endRow();
    // Feeds the postfix walk of node to the current evaluator.
    bool emitPostfix(Node* pNode);
    // Cells of the stack machine the emitted code of node needs.
    static td::UINT4 stackNeed(const Node* pNode);
    // A token the stack machine runs, a symbol within the values it indexes; false after
    // the message.
    bool canEmit(const Tok& token) const;

    // ---- differentiation ----

    // The derivative of the root by variable v, pushed as out's root; true with out
    // unchanged when it is zero; false after "@ET.CantDiff", or after "@ET.DerivTooLarge"
    // when making it takes more nodes than the node budget allows (Differentiator).
    bool differentiate(ExpressionTree& out, td::UINT4 v);

    // ---- simplifying construction ----

    // A binary node op(l, r) with identities applied and literals folded; an operand whose
    // copy flag is set is copied where the result uses it.
    Node* makeBinary(Node* pLeft, Node* pRight, bool copyLeft, bool copyRight, td::BYTE op);
    Node* simplify(Node* pLeftNode, Node* pRightNode, bool copyLeft, bool copyRight, td::BYTE op);
    // A copy of e minus one.
    Node* minusOne(const Node* pExponent);
    // Takes a literal out of the chain below rootLink.
    static void removeTerm(Node*& rootLink, Node* pLiteral);
    // tree ^ k; a power's exponent is multiplied by k. copy leaves tree unchanged.
    Node* power(Node* pTree, td::INT4 k, bool copy);

    // ---- queries ----

    static td::UINT4 countFunctionTokens(const TokNode* pFirst, td::BYTE functionID);
    static bool hasNoSymbolTokens(const TokNode* pFirst);
    // The tree of an equation whose top operation is a comparison (>, >=, <, <=, ==, !=):
    // this plain tree, or a branch of an if or the body of a switch's case, nested ones
    // included; null when there is none.
    const ExpressionTree* findComparisonEquation() const;
    // No own-model variable and no symbol nVars + i outside the subtree excluded.
    bool isFreeOfVars(const Node* pExcluded, td::INT4 i) const;
    // The node under from whose left or right child is node; null when not found.
    static Node* findParent(const Node* pNode, Node* pFrom);
    // Replaces node by its left child.
    void detachNode(Node* pNode);
    // Clears the link of parent that points at node.
    static void clearChildLink(Node* pParent, const Node* pNode);
    // Structural equality: token types, symbol and function indices, symbol origins,
    // values and both subtrees.
    static bool equal(const Node* pA, const Node* pB);
    // A deep copy with new nodes and tokens.
    Node* copy(const Node* pNode);
    // A deep copy with replacement (not copied) in place of the node target.
    Node* copy(const Node* pNode, const Node* pTarget, Node* pReplacement);
    // Replaces the root r by x(nVars + i) + ((x(k) * r) - x(i)).
    void makeStageUpdate(td::UINT4 i, td::UINT4 k);
    // Arguments of a function of this build.
    static td::BYTE functionArity(td::BYTE functionID);

    // ---- services of the rewriting steps ----

    // A node from the node pool with a fresh token of type 0 and value 0, no children.
    Node* newNode();
    Node* newLiteral(td::BYTE type, const T& value);
    Node* newSymbol(td::UINT4 index, sc::SymbolOrigin origin = sc::SymbolOrigin::ThisModel);
    // A plain operator or function node; its tags are the larger tag of each child.
    Node* newOperator(td::BYTE code, Node* pLeft, Node* pRight);
    // In a chain of '*' and '/' (of '+' and '-'), the first node with a literal operand;
    // inverted flips below the right operand of a '/' (a '-').
    static Node* findLiteralFactor(Node* pNode, bool& inverted);
    static Node* findLiteralTerm(Node* pNode, bool& inverted);
    // The int node at the root or under '*' (both operands) and '/' (left operand).
    Node* findIntegralFn() const;
    // A token of tokenType below nVars whose symbol is a state variable.
    bool containsStateVariable(const Node* pNode, td::BYTE tokenType) const;

    // ---- messages ----
    // To the solver's logger (held while keys are silenced) in the column of the token
    // being built or differentiated, on the tree's line; else at the build context's key
    // line and column.

    void reportAt(const char* key) const;
    // At the node's token (a term of the statement) when it has a column, else as reportAt.
    void reportAtNode(const char* key, const Node* pNode) const;

    // ---- printing ----

    // The whole tree as text; mode 0 symbols by name, 1 by index.
    void toString(td::MutableString& out, td::BYTE mode);
    void nodeToString(td::MutableString& out, const Node* pNode) const;
    static td::String numberText(const T& value, td::BYTE type);
    static const char* getFunctionName(td::BYTE code) { return Tok::printName(code); }
    static const char* getOperatorName(td::BYTE code) { return Tok::printName(code); }

    // ---- fields the builder sets and reads ----

    Type getType() const { return _type; }
    void setType(Type type) { _type = type; }
    // The model-text line of the statement the tree is built from (0: none), where its
    // messages stand when the key line is another (a branch of an if equation).
    td::UINT4 getLine() const { return _line; }
    void setLine(td::UINT4 line) { _line = line; }
    // Conditional parts; for a switch case the else slot holds the next case.
    void setConditional(ExpressionTree* pCondition, ExpressionTree* pThen, ExpressionTree* pElse)
    {
        _pCondET = pCondition;
        _pThenET = pThen;
        _pElseET = pElse;
    }
    ExpressionTree* getCondition() const { return _pCondET; }
    ExpressionTree* getThen() const { return _pThenET; }
    ExpressionTree* getElse() const { return _pElseET; }
    void setTarget(td::INT4 index, bool isParent, char op)
    {
        _targetIndex = index;
        _targetIsParent = isParent;
        _assignOp = op;
    }
    td::INT4 getTargetIndex() const { return _targetIndex; }
    // Complex build: 0 the whole value, 1 the real part, 2 the imaginary part.
    void setTargetPart(td::BYTE part) { _targetPart = part; }
    bool getSimplify() const { return _simplify; }
    void setSimplify(bool simplify) { _simplify = simplify; }
    td::UINT4 getNumberOfVariables() const { return _nVars; }
    CompileContext<T>* getContext() const { return _pContext; }
    FnLimits<T>* getLimits() const { return _pLimits; }
    // A new limit with the bounds of limit fnLimitID over another argument (a copy of its
    // own with substituted symbols); its fnLimitID, 0 when the argument cannot be compiled.
    td::UINT4 copyLimit(td::UINT4 fnLimitID, Node* pArgument);
    Evaluator<T>* getCurrentEvaluator() const { return _pEvaluator; }

    td::UINT4 getNumberOfNodes() const { return freshCounts()._nTokens; }
    td::UINT4 getNumberOfConstants() const { return freshCounts()._nConsts; }
    td::UINT4 getNumberOfVariableRefs() const { return freshCounts()._nVarRefs; }
    td::UINT4 getNumberOfParameterRefs() const { return freshCounts()._nParamRefs; }

private:
    // Which end a walk has: the whole list, the ')' after the second argument of a
    // call, or the ')' that closes a lim call.
    enum class Walk : td::BYTE
    {
        Whole,
        SecondArgument,
        Limit
    };
    enum class State : td::BYTE
    {
        Start = 0,
        FunctionStart = 1,
        AfterOperator = 2,
        AfterOperand = 3
    };
    struct WalkState
    {
        State state = State::Start;
        bool operandExpected = true;
        bool pendingNot = false;
        td::BYTE previousOperator = Tok::NO_PREVIOUS;
        // The previous operator is the minus an equation's sign stands for.
        bool previousIsSign = false;
        // Operands this walk has pushed and not yet linked.
        td::UINT4 nOperands = 0;
        // Where the bracket that the last ')' closed opened.
        td::UINT4 lastClosedColumn = 0;
    };

    void bindContext(CompileContext<T>* pContext, FnLimits<T>* pLimits, td::UINT4 nVars);
    void zeroCounts();
    const ExpressionTree& freshCounts() const;
    void countNode(const Node* pNode) const;

    // building
    bool walk(TokNode*& p, Walk kind, WalkState& st);
    Node* tokenNode(Tok& token);
    static void applyNot(Node* pNot, Node*& pOperand);
    bool walkOperand(Node* pNode, WalkState& st);
    bool walkOperator(Tok& token, WalkState& st);
    bool walkOpen(WalkState& st);
    bool walkClose(Walk kind, WalkState& st, bool& ends);
    bool walkComma(TokNode*& p, Walk kind, WalkState& st);
    bool walkFunction(TokNode*& p, WalkState& st);
    bool walkReference(TokNode*& p, WalkState& st);
    bool walkLimit(TokNode*& p, WalkState& st);
    bool readSingleArguments(TokNode*& p, Bracket& entry);
    // Gives sub, which builds a call's argument apart, its nesting depth; false after
    // "@ET.ExprTooDeep" beyond cMaxNestedCalls.
    bool nestBuild(ExpressionTree& sub);
    bool isBoundVariable(const Tok& token, bool limit) const;
    bool precedenceStep(td::BYTE code, WalkState& st);
    bool reduceOne(WalkState& st);
    bool reduceToOpen(WalkState& st);
    void openCall(Node* pFunction, WalkState& st);
    bool checkBound(const Node* pBound) const;
    void setBound(const Node* pBound, double& value, td::UINT4& paramIndex) const;
    void buildLimitDerivatives(ExpressionTree& argument, td::UINT4 fnLimitID);
    bool limitDerivativeWanted() const;

    // emission
    bool createPlain(Evaluator<T>* out);
    bool createIfThenElse(Evaluator<T>* out);
    bool createSwitch(Evaluator<T>* out);
    bool compileInto(ExpressionTree* pTree, Evaluator<T>*& pRecord);
    // A symbol within the values of its model (this one or the parent); false after
    // "@ET.SymbolOutOfIndex". checkSymbol reads the value counts first; symbolInRange takes
    // those read last.
    bool checkSymbol(const Tok& token) const;
    bool symbolInRange(const Tok& token) const;
    void readValueCounts() const;
    void setEvaluatorTarget(Evaluator<T>* out) const;

    // simplification: simplify runs the rule groups over its operands until one makes the
    // result; a group that rewrites the operands starts the rules again.
    struct Operands;
    enum class Step : td::BYTE
    {
        Next,  // no rule of the group applies
        Again, // the operands were rewritten
        Done   // the result is made
    };
    Step quotientRules(Operands& o);
    Step productRules(Operands& o);
    Step literalRightRules(Operands& o);
    Step literalLeftRules(Operands& o);
    Step negationRules(Operands& o);
    Step equalOperandRules(Operands& o);
    Node* plainBinary(Operands& o);
    Node* intLiteral(int value) { return newLiteral(C::INT_LITERAL, T(value)); }
    // An operand the result uses: a copy when asked, unless derivatives share subtrees.
    Node* takeOperand(Node* pNode, bool copy) { return copy && !_sharing ? this->copy(pNode) : pNode; }
    Node* chainToFold(Node* pChain, bool copyChain, td::BYTE op);
    template <typename Hit> void foldedLiteral(Hit& hit, const T& value, td::BYTE type);
    Node* foldIntoLeft(Node* pChain, const Node* pLiteral, bool copyChain, td::BYTE op);
    Node* foldIntoRight(const Node* pLiteral, Node* pChain, bool copyChain, td::BYTE op);
    static void replaceNode(Node*& rootLink, Node* pOld, Node* pNew);

    // printing
    void symbolToString(td::MutableString& out, const Tok& token, td::BYTE mode) const;
    // Prints a function's name and leaf form, and hands the parts of its arguments to
    // the print walk: then(node) and text(piece), in reverse order.
    template <typename Then, typename Text>
    void functionToString(td::MutableString& out, const Node* pNode, Then& then, Text& text) const;
    static bool printsBracketFirst(const Node* pNode);
    void referenceToString(td::MutableString& out, const Tok& token) const;

    // where messages stand, and those with arguments
    td::UINT4 reportColumn() const;
    td::UINT4 reportLine() const;
    // The build has reached the token: later messages stand at its column, when it has one.
    void walkAt(const Tok& token)
    {
        if (token.column != 0)
            _walkColumn = token.column;
    }
    void reportFormatted(const char* key, const char* arg) const;
    // As reportFormatted, at the token's own column when it has one.
    void reportFormattedAt(const Tok& token, const char* key, const char* arg) const;
    void reportFormatted(const char* key, const char* arg1, const char* arg2) const;
    void reportUnexpectedToken(td::BYTE type) const;
    td::String symbolName(const Tok& token) const;

    typename ParserPools<T>::NodePool* _pMemMgr = nullptr;
    typename ParserPools<T>::TokenPool* _pTokenPool = nullptr;
    cnt::List<Evaluator<T>>* _pEvaluatorPool = nullptr;
    CompileContext<T>* _pContext = nullptr;
    Evaluator<T>* _pEvaluator = nullptr;
    FnLimits<T>* _pLimits = nullptr;
    ExpressionTree* _pCondET = nullptr;
    ExpressionTree* _pThenET = nullptr;
    ExpressionTree* _pElseET = nullptr;
    NodeStack _operatorStack;
    NodeStack _rootStack;
    BracketStack _multiParamFnStack;
    // Column of the last token with one that the build has walked, or of the operation a
    // derivative fails at; 0 otherwise.
    td::UINT2 _walkColumn = 0;
    // The model-text line the tree's tokens stand on; 0: the build context's key line.
    td::UINT4 _line = 0;
    // Node statistics, counted from the root when stale.
    mutable td::UINT4 _nConsts = 0;
    mutable td::UINT4 _nVarRefs = 0;
    mutable td::UINT4 _nParamRefs = 0;
    mutable td::UINT4 _nTokens = 0;
    mutable bool _countsStale = false;
    td::UINT4 _nVars = 0;
    td::INT4 _targetIndex = -1;
    td::BYTE _targetPart = 0;
    Type _type = Type::Plain;
    td::BYTE _printMode = 0;
    bool _simplify = true;
    bool _targetIsParent = false;
    char _assignOp = '=';
    // While a derivative is made it shares the subtrees of this tree, and no node that
    // exists is changed: a rewrite makes new nodes.
    bool _sharing = false;
    // Nodes newNode may still make; counts down only while a derivative is made.
    static constexpr td::UINT4 cNoNodeLimit = 0xFFFFFFFFu;
    struct NodeLimitReached
    {
    };
    td::UINT4 _nodesLeft = cNoNodeLimit;
    // Calls this tree's build is nested in (0 for a statement's own tree), and whether the
    // build failed because a call was nested too deep.
    td::UINT4 _buildDepth = 0;
    bool _nestingRefused = false;
    // Values the symbols of this model and of its parent index, read once per emission.
    static constexpr td::UINT4 cNoValueLimit = 0xFFFFFFFFu;
    mutable td::UINT4 _nOwnValues = cNoValueLimit;
    mutable td::UINT4 _nParentValues = cNoValueLimit;
    // Levels of the simplifying constructor now running, and how many may run.
    static constexpr td::UINT4 cMaxSimplifyDepth = 200;
    td::UINT4 _simplifyDepth = 0;
};

// ExpressionTreeDbl.cpp and ExpressionTreeCmplx.cpp instantiate them over the members of
// ExpressionTree.inl, which includes those of every phase (TreeBuild.inl, TreeEmit.inl,
// TreePrint.inl, TreeSimplify.inl).
extern template class ExpressionTree<double>;
extern template class ExpressionTree<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using ExpressionTree = sl::ExpressionTree<double>;
}

namespace slCmplx
{
using ExpressionTree = sl::ExpressionTree<std::complex<double>>;
}
