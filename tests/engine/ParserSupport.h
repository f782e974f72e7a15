// Helpers for the expression parser's tests: a parser bound to a solver double, a symbol
// store and an error log, a loaded model for the front-end road, and a short text form
// of token lists for golden comparisons.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <cnt/PushBackVector.h>
#include <sc/TokenizedModel.h>

#include "EngineSupport.h"
#include "ErrorLog.h"
#include "RPNParser.h"
#include "SymbolMap.h"
#include "frontend/Vocabulary.h"
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
// punctuation as written. A non-zero index where none belongs follows as #<index> (a
// function's index above its low byte as well), a value as =<value>, a parent-model
// origin leads as ^.
template <typename T> std::string describe(const sl::Token<T>& t)
{
    using C = sl::TokenCodes;
    const std::string index = std::to_string(static_cast<td::INT4>(t.index));
    auto named = [&t](const char* name, double v) {
        return t.value == T(v) ? std::string(name) : std::string(name) + "?";
    };
    std::string s;
    bool indexed = true;
    switch (t.type)
    {
    case C::SYMBOL: s = "s" + index; break;
    case C::RND_GEN: s = "g" + index; break;
    case C::STATISTIC: s = "st" + index; break;
    case C::FUNCTION:
        s = sl::Token<T>::printName(t.functionID());
        indexed = t.index <= 0xFF;
        break;
    default:
        indexed = false;
        switch (t.type)
        {
        case C::INT_LITERAL: s = "i" + numberText(t.value); break;
        case C::REAL_LITERAL: s = "r" + numberText(t.value); break;
        case C::IMAG_LITERAL: s = "j" + numberText(t.value); break;
        case C::CMPLX_LITERAL: s = "c" + numberText(t.value); break;
        case C::PI: s = named("pi", 3.141592653589793); break;
        case C::E: s = named("e", 2.718281828459045); break;
        case C::TRUE_LITERAL: s = named("true", 1.0); break;
        case C::FALSE_LITERAL: s = named("false", 0.0); break;
        case C::LAPLACE: s = "lap"; break;
        case C::OPEN_PARENTHESIS: s = "("; break;
        case C::CLOSE_PARENTHESIS: s = ")"; break;
        case C::OPEN_BRACKET: s = "["; break;
        case C::CLOSE_BRACKET: s = "]"; break;
        case C::COMMA: s = ","; break;
        case C::COLON: s = ":"; break;
        case C::DOT: s = "."; break;
        case C::PRIME: s = "'"; break;
        case C::DOUBLE_PRIME: s = "''"; break;
        default: s = t.type >= C::cFirstOperator ? sl::Token<T>::printName(t.type) : "?" + std::to_string(t.type);
        }
    }
    if (!indexed && t.index != 0)
        s += "#" + index;
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

// Records the variables an expression reports and refuses those from refuseFrom on.
template <typename T> class CollectingParser : public sl::RPNParser<T>
{
public:
    using sl::RPNParser<T>::RPNParser;
    bool collectsUsedVars() override { return collecting; }
    bool markVariableUsed(td::UINT4 index) override
    {
        marked.push_back(index);
        return index < refuseFrom;
    }
    bool collecting = true;
    td::UINT4 refuseFrom = 0;
    std::vector<td::UINT4> marked;
};

// A parser with variables x, y and parameters a, b (indices 0 to 3), bound to a compile
// context over a solver double that reports into a recording logger.
template <typename T, typename P = sl::RPNParser<T>> struct ParserRig
{
    ParserRig()
    {
        for (const char* name : {"x", "y", "a", "b"})
            parser.addSymbolName(name, symbols.getNumberOfNames());
        parser.setNumberOfSymbols(2, 2);
        data.pSolver = &solver;
        data.pErrorLog = &errors;
        data.pLog = &log;
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
    sl::CompileContext<T> data;
    P parser{symbols, values};
};
inline td::String passKey(const char* key) { return td::String(key); }

// The messages of a logger as "key @line:column/type", one per line.
inline std::string keyText(const RecordingLog& log)
{
    std::string out;
    for (const RecordingLog::Message& m : log.messages)
        out +=
            m.text + " @" + std::to_string(m.line) + ":" + std::to_string(m.col) + "/" + std::to_string(m.type) + "\n";
    return out;
}

// A model text loaded into a tokenized model, and a parser over its main or sub-model
// whose counts follow the model's symbol table.
template <typename T, typename P = sl::RPNParser<T>> struct ModelRig : ParserRig<T, P>
{
    // Loads the body (everything after the header); false with the loader's messages.
    bool load(const std::string& body)
    {
        ensureDefaultVocabulary();
        model = std::make_unique<sc::TokenizedModel>(&modelLog, header, &passKey, naming, 0);
        std::string text = "Header:\nmaxIter = 10\nend\n" + body;
        return model->loadFromString(td::String(text));
    }

    // Sets the parser's counts for a level; variables twice over with conjugate partners.
    void useLevel(sc::ModelLevel level, td::UINT4 varFactor = 1)
    {
        this->parser.setNumberOfSymbols(varFactor * naming.getNumberOfVars(level), naming.getNumberOfParams(level));
        this->parser.setNumberOfParentVariables(naming.getNumberOfVars(sc::ModelLevel::Main));
    }

    // The statements of a group after its own line.
    std::vector<sc::TokenizedModel::iterator> statements(sc::Group g, sc::ModelLevel level = sc::ModelLevel::Main) const
    {
        std::vector<sc::TokenizedModel::iterator> out;
        sc::TokenizedModel::iterator it = model->getGroup(g, level);
        for (++it; !it.atEnd(); ++it)
            out.push_back(it);
        return out;
    }

    // Compiles one statement into a fresh token list.
    bool compile(const sc::TokenizedModel::iterator& it, td::BYTE& kind, td::UINT4 first = 0,
                 td::UINT4 end = sl::RPNParser<T>::cLineEnd)
    {
        this->parser.clearTokens();
        return this->parser.compileTokens(it, first, kind, end);
    }

    std::string keys() const { return keyText(this->log); }

    RecordingLog modelLog;
    cnt::SafeFullVector<td::Variant> header;
    sc::Naming naming;
    std::unique_ptr<sc::TokenizedModel> model;
};
} // namespace test
