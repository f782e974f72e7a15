// Helpers for expression-tree tests: a compile context over a fake solver with parser
// pools, token lists made by hand, and evaluation of trees through the stack machine.
#pragma once

#include <cmath>
#include <complex>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "EngineSupport.h"
#include "ExpressionTree.h"
#include "ParserPools.h"
#include "support/RecordingLog.h"

namespace test
{
// The token makers of the engine tests (sym, op, fn) and those of infix lists.
template <typename T> struct Tok : Tokens<T>
{
    using K = sl::Token<T>;
    using C = sl::TokenCodes;

    static K make(td::BYTE type, td::UINT4 index = 0, T value = T(0))
    {
        K t;
        t.type = type;
        t.index = index;
        t.value = value;
        return t;
    }
    static K parent(td::UINT4 index) { return Tokens<T>::sym(index, sc::SymbolOrigin::ParentModel); }
    static K integer(int v) { return make(C::INT_LITERAL, 0, T(v)); }
    static K real(double v) { return make(C::REAL_LITERAL, 0, T(v)); }
    static K open() { return make(C::OPEN_PARENTHESIS); }
    static K close() { return make(C::CLOSE_PARENTHESIS); }
    static K comma() { return make(C::COMMA); }
    static K stat(td::UINT4 i) { return make(C::STATISTIC, i); }
    static K gen(td::UINT4 i) { return make(C::RND_GEN, i); }
};

// Short makers of real tokens for a model of three variables: v(i) variable i, p(i)
// parameter i.
namespace realTokens
{
using Mk = Tok<double>;
using K = sl::Token<double>;
inline K v(td::UINT4 i) { return Mk::sym(i); }
inline K p(td::UINT4 i) { return Mk::sym(3 + i); }
inline K o(td::BYTE code) { return Mk::op(code); }
inline K f(td::BYTE id) { return Mk::fn(id); }
inline K n(int value) { return Mk::integer(value); }
inline const K lp = Mk::open();
inline const K rp = Mk::close();
inline const K cm = Mk::comma();
} // namespace realTokens

// A solver of nVars variables and nParams parameters with a parent of four variables,
// its compile context, the parser pools and a recording logger.
template <typename T> struct TreeContext
{
    using Tree = sl::ExpressionTree<T>;
    using Node = sl::ETNode<T>;

    explicit TreeContext(td::UINT4 nVars = 3, td::UINT4 nParams = 3) : solver(nVars, nParams), parent(4, 0)
    {
        sl::CompileContext<T>& d = data();
        d.pSolver = &solver;
        d.pLog = &log;
        d.pParserPools = &parserPools;
        d.pMemMgrETN = &parserPools.nodeLinks;
        d.keyLine = 7;
        d.keyColumn = 3;
        d.pErrorLog = &errorLog;
        d.currentLine = 12;
        d.currentSection = static_cast<td::BYTE>(sl::ErrorSection::NLEqs);
        solver.pLog = &log;
        solver.pParent = &parent;
    }

    sl::CompileContext<T>& data() { return pools.data; }
    td::UINT4 nVars() const { return solver.nVars; }

    // A token list in the parser's form.
    sl::TokenNode<T>* list(std::initializer_list<sl::Token<T>> tokens)
    {
        return list(std::vector<sl::Token<T>>(tokens));
    }
    sl::TokenNode<T>* list(const std::vector<sl::Token<T>>& tokens)
    {
        sl::TokenNode<T>* first = nullptr;
        sl::TokenNode<T>* last = nullptr;
        for (const sl::Token<T>& t : tokens)
            last = append(first, last, t);
        return first;
    }

    sl::TokenNode<T>* append(sl::TokenNode<T>*& first, sl::TokenNode<T>* last, const sl::Token<T>& t)
    {
        sl::TokenNode<T>* node = parserPools.tokenNodes.alloc();
        node->token = t;
        node->pNext = nullptr;
        (last ? last->pNext : first) = node;
        return node;
    }

    Tree tree(bool simplify = true) { return Tree(&data(), nullptr, nVars(), simplify); }

    // Builds t from the tokens; fails the test when the build fails.
    void build(Tree& t, std::initializer_list<sl::Token<T>> tokens)
    {
        bool built = t.build(list(tokens));
        EXPECT_TRUE(built);
        EXPECT_TRUE(log.messages.empty());
    }

    // The tree compiled into a new record; null when createEvaluator refuses.
    sl::Evaluator<T>* compile(Tree& t)
    {
        sl::Evaluator<T>* e = data().newEvaluator();
        return t.createEvaluator(e) ? e : nullptr;
    }

    T evaluate(const sl::Evaluator<T>& e)
    {
        sl::CU<T> cu(&solver);
        return e.evaluate(cu);
    }

    std::string text(Tree& t, td::BYTE mode = 0)
    {
        td::MutableString s;
        t.toString(s, mode);
        return s.c_str();
    }

    // The one message the logger received; fails the test when there is not exactly one.
    RecordingLog::Message only() const
    {
        EXPECT_EQ(log.messages.size(), 1u);
        return log.messages.empty() ? RecordingLog::Message{} : log.messages.front();
    }

    sl::ParserPools<T> parserPools;
    Pools<T> pools;
    FakeSolver<T> solver;
    FakeSolver<T> parent;
    RecordingLog log;
    sl::ErrorLog errorLog;
};

// A value of the build; the real build drops the imaginary part.
template <typename T> T valueOf(double re, double im)
{
    if constexpr (sl::ValueTraits<T>::isComplex)
        return T(re, im);
    else
        return re + 0.0 * im;
}

// Equal bits, or both not a number.
inline bool sameValue(double a, double b)
{
    if (std::isnan(a) && std::isnan(b))
        return true;
    return std::memcmp(&a, &b, sizeof(a)) == 0;
}
inline bool sameValue(const Cmplx& a, const Cmplx& b)
{
    return sameValue(a.real(), b.real()) && sameValue(a.imag(), b.imag());
}
} // namespace test
