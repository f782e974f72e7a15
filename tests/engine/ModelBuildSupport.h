// Compiles every statement of a model text as the model builder does: each statement's
// tokens through the parser, the tree, the evaluator, one evaluation and the derivative by
// every variable it uses; records every step that fails without a message of its own.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <cnt/FixNumSet.h>
#include <cnt/List.h>
#include <cnt/PushBackVector.h>
#include <sc/MessageKeys.h>
#include <sc/TokenizedModel.h>

#include "CU.h"
#include "EngineSupport.h"
#include "ErrorLog.h"
#include "ExpressionTree.h"
#include "RPNParser.h"
#include "SymbolMap.h"
#include "frontend/Vocabulary.h"
#include "support/RecordingLog.h"

namespace test
{
// A whole model text (header included) loaded into a tokenized model.
struct ModelText
{
    RecordingLog log;
    cnt::SafeFullVector<td::Variant> header;
    sc::Naming naming;
    std::unique_ptr<sc::TokenizedModel> model;
    // Lines of the text, a lone CR counting as a line end.
    td::UINT4 nLines = 0;
    bool loaded = false;
    // Steps that failed without a message: "what at line".
    std::vector<std::string> silentFailures;
    // Statements that went through evaluation.
    td::UINT4 nEvaluated = 0;

    static td::String keepKey(const char* key) { return td::String(key); }

    bool load(const std::string& text)
    {
        ensureDefaultVocabulary();
        nLines = 1;
        for (std::size_t i = 0; i < text.size(); ++i)
            nLines += text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'));
        model = std::make_unique<sc::TokenizedModel>(&log, header, &keepKey, naming, 0);
        const std::size_t before = errorCount();
        loaded = model->loadFromString(td::String(text));
        if (!loaded && errorCount() == before)
            silentFailures.push_back("load");
        return loaded;
    }

    std::size_t errorCount() const { return log.countOfType(sc::ILog::Error); }

    // Messages placed after the last line, or at line 0 without being about the whole text.
    std::vector<std::string> misplacedMessages() const
    {
        std::vector<std::string> out;
        for (const RecordingLog::Message& m : log.messages)
        {
            if (m.line > nLines || (m.line == 0 && !isWholeTextKey(m.text)))
                out.push_back(m.text + " @" + std::to_string(m.line) + ":" + std::to_string(m.col));
        }
        return out;
    }

    // Keys about the text as a whole, which have no line.
    static bool isWholeTextKey(const std::string& text)
    {
        for (const char* key : {sc::msg::mlEmptyModel, sc::msg::mlHeaderIncorrectOrMissing, sc::msg::mlCannotOpenFile})
        {
            if (text.rfind(key, 0) == 0)
                return true;
        }
        return false;
    }
};

// The build context, parser and solver values of one model level.
template <typename T> class LevelBuild
{
public:
    LevelBuild(ModelText& text, sc::ModelLevel level, FakeSolver<T>* pParent)
        : _text(text), _level(level), _nVars(text.naming.getNumberOfVars(level)),
          _solver(_nVars, text.naming.getNumberOfParams(level) + cSpareValues)
    {
        const td::UINT4 nParams = text.naming.getNumberOfParams(level);
        for (std::size_t i = 0; i < _solver.values.size(); ++i)
            _solver.values[i] = T(0.5 + 0.25 * static_cast<double>(i % 7));
        _solver.pLog = &text.log;
        _solver.pParent = pParent;
        _solver.stats.reserve(text.naming.getNumberOfUserLabels(sc::UserLabel::Stat, level));
        _solver.generators.reserve(text.naming.getNumberOfUserLabels(sc::UserLabel::Distrib, level));
        for (td::UINT4 i = 0; i < text.naming.getNumberOfUserLabels(sc::UserLabel::Distrib, level); ++i)
        {
            char name[16];
            std::snprintf(name, sizeof(name), "g%u", i);
            _genNames.push_back(td::String(name));
        }
        for (const td::String& name : _genNames)
            _solver.generators.add(name, new CountingGen(1.0));
        _used.reset(_nVars > 0 ? _nVars : 1);
        _usedForLimits.reset(_nVars > 0 ? _nVars : 1);
        sl::CompileContext<T>& d = _pools.data;
        d.pSolver = &_solver;
        d.pLog = &text.log;
        d.pErrorLog = &_errors;
        d.pUsedVars = &_used;
        d.pLastUsedVarsForLimits = &_usedForLimits;
        d.currentSection = static_cast<td::BYTE>(sl::ErrorSection::NLEqs);
        _parser.pUsed = &_used;
        _parser.setNumberOfSymbols(_nVars, nParams);
        _parser.setNumberOfParentVariables(text.naming.getNumberOfVars(sc::ModelLevel::Main));
        if constexpr (sl::ValueTraits<T>::isComplex)
            _parser.setConjugatePartners(false);
        _parser.bindSolverData(d);
    }

    FakeSolver<T>& solver() { return _solver; }

    // Every statement of the level's declaration and statement groups.
    void buildAll()
    {
        for (sc::Group g : {sc::Group::Vars, sc::Group::Params})
            buildGroup(g, 2);
        for (int g = static_cast<int>(sc::Group::ReInit); g <= static_cast<int>(sc::Group::Plots); ++g)
            buildGroup(static_cast<sc::Group>(g), 0);
    }

    // Values of the statements that were evaluated, and of their derivatives.
    std::vector<T> values;
    std::vector<T> derivatives;

private:
    static constexpr td::UINT4 cSpareValues = 64;

    // Records the variables a statement reads.
    class Parser final : public sl::RPNParser<T>
    {
    public:
        using sl::RPNParser<T>::RPNParser;
        bool collectsUsedVars() override { return true; }
        bool markVariableUsed(td::UINT4 index) override
        {
            if (index >= pUsed->size())
                return false;
            pUsed->insert(index);
            return true;
        }
        cnt::FixNumSet* pUsed = nullptr;
    };

    // Declarations compile from their third token (name = value); statements whole.
    void buildGroup(sc::Group g, td::UINT4 first)
    {
        sc::TokenizedModel::iterator it = _text.model->getGroup(g, _level);
        if (it.atEnd())
            return;
        for (++it; !it.atEnd(); ++it)
        {
            if (it.line().nExpr > first)
                buildStatement(it, first);
        }
    }

    // Notes a failed step that left no error message.
    bool failed(const char* step, std::size_t errorsBefore, td::UINT4 line)
    {
        if (_text.errorCount() == errorsBefore)
            _text.silentFailures.push_back(std::string(step) + " at line " + std::to_string(line));
        return false;
    }

    bool buildStatement(const sc::TokenizedModel::iterator& it, td::UINT4 first)
    {
        const sc::_tl& line = it.line();
        sl::CompileContext<T>& d = _pools.data;
        d.keyLine = line.line;
        d.keyColumn = (*it.pExprTokens)[line.firstExpr + first].column;
        d.currentLine = static_cast<td::UINT2>(line.line);
        _used.clear();
        _parser.clearTokens();
        const std::size_t before = _text.errorCount();
        td::BYTE kind = 0;
        if (!_parser.compileTokens(it, first, kind))
            return failed("parse", before, line.line);
        // A line of a keyword alone (end, else) has nothing to build.
        if (!_parser.getFirstToken())
            return true;
        Tree tree(&d, nullptr, _nVars, true);
        if (!tree.build(_parser.getFirstToken()))
            return failed("tree", before, line.line);
        sl::Evaluator<T>* pEvaluator = d.newEvaluator();
        if (!tree.createEvaluator(pEvaluator))
            return failed("evaluator", before, line.line);
        sl::CU<T> cu(&_solver);
        values.push_back(pEvaluator->evaluate(cu));
        ++_text.nEvaluated;
        for (td::UINT4 v : _used)
        {
            Tree derivative(&d, nullptr, _nVars, true);
            if (!tree.differentiate(derivative, v))
            {
                failed("derivative", before, line.line);
                continue;
            }
            if (!derivative.getRoot())
                continue;
            sl::Evaluator<T>* pSlope = d.newEvaluator();
            if (!derivative.createEvaluator(pSlope))
            {
                failed("derivative evaluator", before, line.line);
                continue;
            }
            derivatives.push_back(pSlope->evaluate(cu));
        }
        return true;
    }

    using Tree = sl::ExpressionTree<T>;

    ModelText& _text;
    sc::ModelLevel _level;
    td::UINT4 _nVars;
    FakeSolver<T> _solver;
    std::vector<td::String> _genNames;
    cnt::FixNumSet _used;
    cnt::FixNumSet _usedForLimits;
    Pools<T> _pools;
    sl::ErrorLog _errors;
    sl::SymbolMap _symbols;
    cnt::PushBackVector<T> _values;
    Parser _parser{_symbols, _values};
};

// Builds the statements of both levels of a loaded text; the sub-model's parent is the
// main model.
template <typename T> void buildLevels(ModelText& text)
{
    LevelBuild<T> main(text, sc::ModelLevel::Main, nullptr);
    main.buildAll();
    LevelBuild<T> sub(text, sc::ModelLevel::Sub, &main.solver());
    sub.buildAll();
}

// Loads a text and builds it in the value domain its model line names; false when the
// text does not load.
inline bool buildModelText(ModelText& text, const std::string& source)
{
    if (!text.load(source))
        return false;
    if (text.model->isComplex())
        buildLevels<Cmplx>(text);
    else
        buildLevels<double>(text);
    return true;
}
} // namespace test
