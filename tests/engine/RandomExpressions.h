// A generator of random expressions over every operator and function the stack machine
// runs in a build: a reference tree, its infix token list with the fewest brackets, and
// a node-by-node evaluation through one-operation evaluators.
#pragma once

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "FunctionTraits.h"
#include "TreeSupport.h"

namespace test
{
// Calls whose second argument is a whole expression; the others take single tokens.
inline bool takesWholeSecond(td::BYTE id)
{
    using C = sl::TokenCodes;
    return id == C::ATG2 || id == C::MIN || id == C::MAX;
}

template <typename T> class RandomExpressions
{
public:
    using C = sl::TokenCodes;
    using K = sl::Token<T>;
    static constexpr bool isComplex = sl::ValueTraits<T>::isComplex;

    struct Node
    {
        K token;
        int left = -1;
        int right = -1;
    };

    // nParent 0: no symbols of a parent model (the text road has none).
    RandomExpressions(unsigned seed, td::UINT4 nVars, td::UINT4 nParams, td::UINT4 nParent)
        : _rng(seed), _nVars(nVars), _nParams(nParams), _nParent(nParent)
    {
    }

    // A new expression of at most maxDepth levels; returns its root.
    int generate(int maxDepth)
    {
        nodes.clear();
        return make(maxDepth, false);
    }

    // Infix tokens with the brackets precedence and left associativity require.
    void tokens(int at, std::vector<K>& out) const
    {
        const Node& n = nodes[static_cast<std::size_t>(at)];
        const td::BYTE type = n.token.type;
        if (n.left < 0)
        {
            out.push_back(n.token);
            return;
        }
        if (type == C::LOGIC_NEGATION)
        {
            out.push_back(n.token);
            bracketed(n.left, !isLeaf(n.left), out);
            return;
        }
        if (type == C::FUNCTION)
        {
            out.push_back(n.token);
            out.push_back(tok(C::OPEN_PARENTHESIS));
            tokens(n.left, out);
            for (int a = n.right; a >= 0; a = nodes[static_cast<std::size_t>(a)].right)
            {
                out.push_back(tok(C::COMMA));
                if (takesWholeSecond(n.token.functionID()))
                {
                    tokens(a, out);
                    break;
                }
                out.push_back(nodes[static_cast<std::size_t>(a)].token);
            }
            out.push_back(tok(C::CLOSE_PARENTHESIS));
            return;
        }
        const int p = precedence(type);
        bracketed(n.left, isBinary(n.left) && precedence(nodes[static_cast<std::size_t>(n.left)].token.type) < p, out);
        out.push_back(n.token);
        bracketed(n.right, isBinary(n.right) && precedence(nodes[static_cast<std::size_t>(n.right)].token.type) <= p,
                  out);
    }

    // The infix tokens as model text: symbols by the given names, functions by their
    // keywords, real literals with a decimal point, imaginary literals in brackets (so
    // that no real and imaginary part merge into one literal).
    static std::string text(const std::vector<K>& tokens, const std::vector<std::string>& names)
    {
        std::string out;
        for (const K& t : tokens)
        {
            if (!out.empty())
                out += ' ';
            out += tokenText(t, names);
        }
        return out;
    }

    // True when the built tree has the reference's shape and tokens.
    bool matches(int at, const sl::ETNode<T>* p) const
    {
        if (at < 0 || !p)
            return at < 0 && !p;
        const Node& n = nodes[static_cast<std::size_t>(at)];
        const K& a = n.token;
        const K& b = *p->pToken;
        if (a.type != b.type || a.index != b.index || a.symbolOrigin != b.symbolOrigin || !(a.value == b.value))
            return false;
        return matches(n.left, p->pLeftNode) && matches(n.right, p->pRightNode);
    }

    std::vector<Node> nodes;

private:
    static K tok(td::BYTE type, td::UINT4 index = 0, T value = T(0)) { return Tok<T>::make(type, index, value); }

    static std::string number(double v)
    {
        char buf[40];
        std::snprintf(buf, sizeof(buf), "%.17g", v);
        std::string s = buf;
        if (s.find('.') == std::string::npos)
            s.push_back('.');
        return s;
    }

    static std::string tokenText(const K& t, const std::vector<std::string>& names)
    {
        switch (t.type)
        {
        case C::SYMBOL: return names.at(t.index);
        case C::INT_LITERAL: return std::to_string(static_cast<int>(sl::realPart(t.value)));
        case C::REAL_LITERAL: return number(sl::realPart(t.value));
        case C::IMAG_LITERAL:
            if constexpr (isComplex)
            {
                std::string s(1, '(');
                s.append(number(t.value.imag()));
                s.append("i)");
                return s;
            }
            return "?";
        case C::OPEN_PARENTHESIS: return "(";
        case C::CLOSE_PARENTHESIS: return ")";
        case C::COMMA: return ",";
        case C::FUNCTION:
            // The keyword; only atg2 prints otherwise.
            return t.functionID() == C::ATG2 ? "atg2" : K::printName(t.functionID());
        default: return K::printName(t.type);
        }
    }

    static int precedence(td::BYTE type)
    {
        switch (type)
        {
        case C::ADD:
        case C::SUB: return 15;
        case C::MUL:
        case C::DIV: return 16;
        case C::POW: return 17;
        case C::LOGIC_OR:
        case C::LOGIC_XOR: return 5;
        case C::LOGIC_AND: return 6;
        case C::EQUAL:
        case C::NOT_EQUAL: return 10;
        default: return 11;
        }
    }

    bool isLeaf(int at) const { return nodes[static_cast<std::size_t>(at)].left < 0; }
    bool isBinary(int at) const
    {
        const Node& n = nodes[static_cast<std::size_t>(at)];
        return n.left >= 0 && n.token.type != C::FUNCTION && n.token.type != C::LOGIC_NEGATION;
    }

    void bracketed(int at, bool brackets, std::vector<K>& out) const
    {
        if (brackets)
            out.push_back(tok(C::OPEN_PARENTHESIS));
        tokens(at, out);
        if (brackets)
            out.push_back(tok(C::CLOSE_PARENTHESIS));
    }

    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(_rng); }

    int add(const K& t, int left = -1, int right = -1)
    {
        nodes.push_back({t, left, right});
        return static_cast<int>(nodes.size()) - 1;
    }

    double literalValue() { return pick(41) / 8.0; }

    int leaf()
    {
        int kind = pick(isComplex ? 6 : 5);
        if (kind == 2 && _nParent == 0)
            kind = 0;
        switch (kind)
        {
        case 0: return add(tok(C::SYMBOL, static_cast<td::UINT4>(pick(static_cast<int>(_nVars)))));
        case 1: return add(tok(C::SYMBOL, _nVars + static_cast<td::UINT4>(pick(static_cast<int>(_nParams)))));
        case 2:
        {
            K t = tok(C::SYMBOL, static_cast<td::UINT4>(pick(static_cast<int>(_nParent))));
            t.symbolOrigin = sc::SymbolOrigin::ParentModel;
            return add(t);
        }
        case 3: return add(tok(C::INT_LITERAL, 0, T(pick(10))));
        case 4: return add(tok(C::REAL_LITERAL, 0, T(literalValue())));
        default:
            if constexpr (isComplex)
                return add(tok(C::IMAG_LITERAL, 0, T(0.0, literalValue())));
            return add(tok(C::REAL_LITERAL, 0, T(literalValue())));
        }
    }

    // A parameter or a literal, the further arguments of round and disc.
    int singleArgument(bool nonZero)
    {
        if (pick(2) == 0)
            return add(tok(C::SYMBOL, _nVars + static_cast<td::UINT4>(pick(static_cast<int>(_nParams)))));
        return add(tok(C::INT_LITERAL, 0, T(pick(3) + (nonZero ? 1 : 0))));
    }

    // The functions of the build that run on the stack machine, of one argument or of
    // more, in table order; statistics, limits and draws, which take their operand from
    // the token, are left out.
    static std::vector<td::BYTE> functions(bool oneArgument)
    {
        std::vector<td::BYTE> ids;
        for (td::BYTE id = C::cFirstFunction; id < sl::ValueTraits<T>::cPushInt; ++id)
        {
            const sl::FunctionTraits& f = sl::functionTraits<T>(id);
            if (f.hasOperation && (f.arity == 1) == oneArgument && !C::takesTokenOperand(id))
                ids.push_back(id);
        }
        return ids;
    }

    std::vector<td::BYTE> unaryFunctions() const { return functions(true); }

    int make(int depth, bool inSecond)
    {
        if (depth <= 1 || pick(4) == 0)
            return leaf();
        static const td::BYTE binary[] = {C::ADD,      C::SUB,        C::MUL,       C::DIV,      C::POW,
                                          C::LOGIC_OR, C::LOGIC_AND,  C::LOGIC_XOR, C::GREATER,  C::GREATER_EQUAL,
                                          C::LESS,     C::LESS_EQUAL, C::EQUAL,     C::NOT_EQUAL};
        const int kind = pick(10);
        if (kind < 5)
        {
            td::BYTE code = binary[pick(kind < 3 ? 5 : 14)];
            int l = make(depth - 1, inSecond);
            int r = make(depth - 1, inSecond);
            return add(tok(code), l, r);
        }
        if (kind == 5)
            return add(tok(C::LOGIC_NEGATION), make(depth - 1, inSecond));
        if (kind <= 7 || inSecond)
        {
            std::vector<td::BYTE> ids = unaryFunctions();
            return add(tok(C::FUNCTION, ids[static_cast<std::size_t>(pick(static_cast<int>(ids.size())))]),
                       make(depth - 1, inSecond));
        }
        // Calls with further arguments; a second argument holds no further such call.
        static const std::vector<td::BYTE> ids = functions(false);
        td::BYTE id = ids[static_cast<std::size_t>(pick(static_cast<int>(ids.size())))];
        int first = make(depth - 1, inSecond);
        int second;
        if (takesWholeSecond(id))
            second = make(depth - 1, true);
        else if (sl::functionTraits<T>(id).arity == 3)
        {
            int o = singleArgument(false);
            int q = singleArgument(true);
            nodes[static_cast<std::size_t>(o)].right = q;
            second = o;
        }
        else
            second = singleArgument(false);
        return add(tok(C::FUNCTION, id), first, second);
    }

    std::mt19937 _rng;
    td::UINT4 _nVars;
    td::UINT4 _nParams;
    td::UINT4 _nParent;
};

// The value of a built tree, node by node: each operation runs alone on the stack
// machine over the values of its operands, in source order.
template <typename T> T evaluateByNodes(TreeContext<T>& ctx, const sl::ETNode<T>* p)
{
    using C = sl::TokenCodes;
    const sl::Token<T>& t = *p->pToken;
    if (t.type == C::SYMBOL)
    {
        if (t.symbolOrigin == sc::SymbolOrigin::ParentModel)
            return ctx.parent.values.at(t.index);
        return ctx.solver.values.at(t.index);
    }
    if (t.isNumber())
        return t.value;
    std::vector<sl::Token<T>> postfix;
    postfix.push_back(Tokens<T>::num(evaluateByNodes(ctx, p->pLeftNode)));
    if (const sl::ETNode<T>* pSecond = p->pRightNode)
    {
        // A whole second argument, or single tokens (the third hangs on the second).
        postfix.push_back(Tokens<T>::num(evaluateByNodes(ctx, pSecond)));
        const bool whole = t.type != C::FUNCTION || takesWholeSecond(t.functionID());
        if (!whole && pSecond->pRightNode)
            postfix.push_back(Tokens<T>::num(evaluateByNodes(ctx, pSecond->pRightNode)));
    }
    postfix.push_back(t);
    sl::Evaluator<T> e;
    EXPECT_TRUE(compile(e, ctx.data(), postfix, 0));
    return ctx.evaluate(e);
}
} // namespace test
