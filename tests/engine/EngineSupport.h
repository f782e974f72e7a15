// Test doubles and helpers for the expression engine: a solver with plain value arrays,
// pools bound to a compile context, token makers and a compiler for postfix token lists.
#pragma once

#include <complex>
#include <initializer_list>
#include <string>
#include <vector>

#include <cnt/List.h>

#include "CU.h"
#include "CompileContext.h"
#include "Evaluator.h"
#include "FnLimit.h"
#include "ISolverServices.h"
#include "RndGenManager.h"
#include "StatisticsStore.h"
#include "Token.h"

namespace test
{
using Cmplx = std::complex<double>;

// A solver reduced to what compiled expressions read and write.
template <typename T> class FakeSolver final : public sl::ISolverServices<T>
{
public:
    struct Update
    {
        T value;
        td::INT4 index;
        char op;
        sl::ValuePart part;
    };

    FakeSolver(td::UINT4 nVars, td::UINT4 nParams) : values(nVars + nParams, T(0)), nVars(nVars), nParams(nParams) {}

    td::UINT4 getNumberOfVariables() override { return nVars; }
    td::UINT4 getNumberOfParameters() override { return nParams; }
    T* getVariableValuesPtr() override { return values.data(); }
    sl::ISolverServices<T>* getParentSolver() override { return pParent; }
    sc::ILog* getLog() override { return pLog; }
    const char* getSymbolName(td::INT4 index) override
    {
        std::size_t i = static_cast<std::size_t>(index);
        return i < names.size() ? names[i].c_str() : "sym";
    }
    td::INT4 getSymbolIndex(const char* name) override
    {
        for (std::size_t i = 0; i < names.size(); ++i)
            if (names[i] == name)
                return static_cast<td::INT4>(i);
        return -1;
    }
    void updateSymbolValue(const T* value, td::INT4 symbIndex, char op, sl::ValuePart part) override
    {
        updates.push_back({*value, symbIndex, op, part});
        T& target = values.at(static_cast<std::size_t>(symbIndex));
        if constexpr (sl::ValueTraits<T>::isComplex)
        {
            if (part != sl::ValuePart::Whole)
            {
                double p = part == sl::ValuePart::Real ? target.real() : target.imag();
                sl::Evaluator<double>::applyAssignment(p, value->real(), op);
                part == sl::ValuePart::Real ? target.real(p) : target.imag(p);
                return;
            }
        }
        sl::Evaluator<T>::applyAssignment(target, *value, op);
    }
    bool hasConjugatePartners() override { return conjugatePartners; }
    sl::StatisticsStore<T>* getStatisticsStore() override { return &stats; }
    sl::FnLimits<T>* getFnLimits() override { return &limits; }
    sl::RndGenManager* getRndGenManager() override { return &generators; }
    td::UINT4 getNumberOfValues() override { return static_cast<td::UINT4>(values.size()); }

    T& var(td::UINT4 i) { return values.at(i); }
    T& par(td::UINT4 i) { return values.at(nVars + i); }

    std::vector<T> values;
    // Symbol names by index; "sym" beyond them.
    std::vector<std::string> names;
    td::UINT4 nVars;
    td::UINT4 nParams;
    FakeSolver* pParent = nullptr;
    sc::ILog* pLog = nullptr;
    bool conjugatePartners = false;
    std::vector<Update> updates;
    sl::StatisticsStore<T> stats;
    sl::FnLimits<T> limits;
    sl::RndGenManager generators;
};

// Pools of a solver bound to a compile context.
template <typename T> struct Pools
{
    Pools()
    {
        data.pEvaluatorPool = &evaluators;
        data.pInstructionPool = &instructions;
    }

    cnt::List<sl::Evaluator<T>> evaluators{64};
    cnt::List<typename sl::CompileContext<T>::Routine> instructions{64};
    sl::CompileContext<T> data;
};

template <typename T> struct Tokens
{
    using Tok = sl::Token<T>;
    using C = sl::TokenCodes;

    static Tok num(T v)
    {
        Tok t;
        t.type = C::REAL_LITERAL;
        t.value = v;
        return t;
    }
    static Tok sym(td::UINT4 index, sc::SymbolOrigin origin = sc::SymbolOrigin::ThisModel)
    {
        Tok t;
        t.type = C::SYMBOL;
        t.index = index;
        t.symbolOrigin = origin;
        return t;
    }
    static Tok op(td::BYTE code)
    {
        Tok t;
        t.type = code;
        return t;
    }
    static Tok fn(td::BYTE functionID, T operand = T(0))
    {
        Tok t;
        t.type = C::FUNCTION;
        t.index = functionID;
        t.value = operand;
        return t;
    }
};

// Sizes an evaluator as the tree does for a postfix list and compiles it; returns
// whether every token was taken.
template <typename T> bool compile(sl::Evaluator<T>& e, sl::CompileContext<T>& data,
                                   const std::vector<sl::Token<T>>& postfix, td::UINT4 nVars)
{
    td::INT4 nInstr = 0, nConst = 0, nVar = 0, nPar = 0;
    for (const sl::Token<T>& t : postfix)
    {
        ++nInstr;
        if (t.isNumber())
            ++nConst;
        else if (t.type == sl::TokenCodes::SYMBOL)
            (t.symbolOrigin == sc::SymbolOrigin::ThisModel && t.index < nVars) ? ++nVar : ++nPar;
        else if (t.type == sl::TokenCodes::FUNCTION && sl::TokenCodes::takesTokenOperand(t.functionID()))
        {
            ++nInstr;
            ++nConst;
        }
    }
    e.init(data, nInstr, nConst, nVar, nPar);
    for (const sl::Token<T>& t : postfix)
        if (!e.compileToken(t, nVars))
            return false;
    return true;
}

// A new pooled evaluator compiled from postfix.
template <typename T> sl::Evaluator<T>* make(Pools<T>& pools, const std::vector<sl::Token<T>>& postfix, td::UINT4 nVars)
{
    sl::Evaluator<T>* e = pools.data.newEvaluator();
    compile(*e, pools.data, postfix, nVars);
    return e;
}

// A run of consecutive pooled records, each compiled from its postfix list.
template <typename T>
sl::Evaluator<T>* makeRun(Pools<T>& pools, const std::vector<std::vector<sl::Token<T>>>& lists, td::UINT4 nVars)
{
    sl::Evaluator<T>* first = pools.evaluators.alloc(static_cast<td::UINT4>(lists.size()));
    for (std::size_t i = 0; i < lists.size(); ++i)
        compile(first[i], pools.data, lists[i], nVars);
    return first;
}

// A generator that counts up from a start value.
class CountingGen final : public rnd::Gen
{
public:
    explicit CountingGen(double start) : _next(start) {}
    void generate(double& out) override { out = _next++; }

private:
    double _next;
};
} // namespace test
