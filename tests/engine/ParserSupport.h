// Helpers for the expression parser's tests: a parser bound to a solver double, a symbol
// store and an error log, and a short text form of token lists for golden comparisons.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include <cnt/PushBackVector.h>

#include "EngineSupport.h"
#include "ErrorLog.h"
#include "RPNParser.h"
#include "SymbolMap.h"
#include "support/RecordingLog.h"

namespace test
{
inline std::string numberText(double v)
{
    char buf[40];
    std::snprintf(buf, sizeof(buf), "%.17g", v);
    return buf;
}

inline std::string numberText(const std::complex<double>& v)
{
    if (v.imag() == 0.0)
        return numberText(v.real());
    return "(" + numberText(v.real()) + "," + numberText(v.imag()) + ")";
}

// One token as text: s<index> symbol, i/r/j/c<value> integer, real, imaginary and
// complex literals, pi, e, true, false, lap (Laplace), g<index> generator,
// st<index> statistic, print names for operators and functions, brackets and
// punctuation as written. A non-zero index where none belongs follows as #<index>, a
// parent-model origin leads as ^.
template <typename T> std::string describe(const sl::Token<T>& t)
{
    using C = sl::TokenCodes;
    auto signedIndex = [&t] { return std::to_string(static_cast<td::INT4>(t.index)); };
    std::string s;
    bool indexed = true;
    switch (t.type)
    {
    case C::SYMBOL: s = "s" + signedIndex(); break;
    case C::LAPLACE: s = "lap"; indexed = false; break;
    case C::RND_GEN: s = "g" + signedIndex(); break;
    case C::STATISTIC: s = "st" + signedIndex(); break;
    case C::FUNCTION: s = sl::Token<T>::printName(t.functionID()) + std::string(t.index > 0xFF ? "#bad" : ""); break;
    case C::INT_LITERAL: s = "i" + numberText(t.value); indexed = false; break;
    case C::REAL_LITERAL: s = "r" + numberText(t.value); indexed = false; break;
    case C::IMAG_LITERAL: s = "j" + numberText(t.value); indexed = false; break;
    case C::CMPLX_LITERAL: s = "c" + numberText(t.value); indexed = false; break;
    case C::PI: s = t.value == T(3.141592653589793) ? "pi" : "pi?"; indexed = false; break;
    case C::E: s = t.value == T(2.718281828459045) ? "e" : "e?"; indexed = false; break;
    case C::TRUE_LITERAL: s = t.value == T(1.0) ? "true" : "true?"; indexed = false; break;
    case C::FALSE_LITERAL: s = t.value == T(0.0) ? "false" : "false?"; indexed = false; break;
    case C::OPEN_PARENTHESIS: s = "("; indexed = false; break;
    case C::CLOSE_PARENTHESIS: s = ")"; indexed = false; break;
    case C::OPEN_BRACKET: s = "["; indexed = false; break;
    case C::CLOSE_BRACKET: s = "]"; indexed = false; break;
    case C::COMMA: s = ","; indexed = false; break;
    case C::COLON: s = ":"; indexed = false; break;
    case C::DOT: s = "."; indexed = false; break;
    case C::PRIME: s = "'"; indexed = false; break;
    case C::DOUBLE_PRIME: s = "''"; indexed = false; break;
    default:
        s = t.type >= C::cFirstOperator ? sl::Token<T>::printName(t.type) : "?" + std::to_string(t.type);
        indexed = false;
        break;
    }
    if (!indexed && t.index != 0)
        s += "#" + signedIndex();
    if (!t.isNumber() && t.type != C::FUNCTION && t.value != T(0))
        s += "=" + numberText(t.value);
    if (t.symbolOrigin == sc::SymbolOrigin::ParentModel)
        return std::string(1, '^') + s;
    return s;
}

template <typename T> std::string describe(const sl::TokenNode<T>* pNode)
{
    std::string s;
    for (; pNode; pNode = pNode->pNext)
    {
        if (!s.empty())
            s += ' ';
        s += describe(pNode->token);
    }
    return s;
}

// A parser with variables x, y and parameters a, b (indices 0 to 3), bound to a build
// context whose solver logs into a recording logger.
template <typename T> struct ParserRig
{
    ParserRig()
    {
        for (const char* name : {"x", "y", "a", "b"})
            parser.addSymbolName(name, symbols.getNumberOfNames());
        parser.setNumberOfSymbols(2, 2);
        data.pSolver = &solver;
        data.pErrorLog = &errors;
        data.pRndGenManager = &generators;
        data.pStatistics = &stats;
        solver.pLog = &log;
        parser.bindSolverData(data);
    }

    std::string tokens() const { return describe(parser.getFirstToken()); }
    std::string errorText() const { return errors.toString().c_str(); }

    sl::SymbolMap symbols;
    cnt::PushBackVector<T> values;
    FakeSolver<T> solver{2, 2};
    RecordingLog log;
    sl::ErrorLog errors;
    sl::RndGenManager generators;
    sl::StatisticsStore<T> stats;
    sl::SolverData<T> data;
    sl::RPNParser<T> parser{symbols, values};
};
} // namespace test
