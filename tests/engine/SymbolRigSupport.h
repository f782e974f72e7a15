// Helpers for transfer-function and DAE tests: named variables and parameters read by the
// expression parser (with the Laplace operator s), symbol records and the per-variable DAE
// records a model builder fills, and evaluation of single nodes through the stack machine.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <cnt/PushBackVector.h>
#include <cnt/SafeFullVector.h>

#include "DAEVarRecord.h"
#include "RPNParser.h"
#include "SymbolMap.h"
#include "TreeSupport.h"

namespace test
{
template <typename T> struct SymbolRig
{
    using Tree = sl::ExpressionTree<T>;
    using Node = sl::ETNode<T>;

    // Variables first, then parameters; names are those the builder would give.
    SymbolRig(const std::vector<std::string>& vars, const std::vector<std::string>& params)
        : ctx(static_cast<td::UINT4>(vars.size()), static_cast<td::UINT4>(params.size())), names(vars)
    {
        names.insert(names.end(), params.begin(), params.end());
        for (std::size_t i = 0; i < names.size(); ++i)
            parser.addSymbolName(td::String(names[i].c_str()), static_cast<td::UINT4>(i));
        parser.setNumberOfSymbols(static_cast<td::UINT4>(vars.size()), static_cast<td::UINT4>(params.size()));
        parser.bindSolverData(ctx.data());
        parser.addShortName("s", sl::TokenCodes::LAPLACE);
        ctx.solver.names = names;
        info.reserve(vars.size());
        records.reserve(vars.size());
        ctx.data().pSymbolInfo = &info;
    }

    td::UINT4 nVars() const { return ctx.nVars(); }
    td::UINT4 index(const std::string& name) const
    {
        for (std::size_t i = 0; i < names.size(); ++i)
        {
            if (names[i] == name)
                return static_cast<td::UINT4>(i);
        }
        ADD_FAILURE() << "no symbol " << name;
        return 0;
    }
    // Index counted from the first parameter.
    td::INT4 paramIndex(const std::string& name) const { return static_cast<td::INT4>(index(name) - nVars()); }

    // A state of SymbolInfo type 3 with its history parameter and first stage variable
    // (empty: none).
    void state(const std::string& x, const std::string& history, const std::string& firstStage = "")
    {
        const td::UINT4 i = index(x);
        info[i].varType = 3;
        records[i].histParam = history.empty() ? -1 : paramIndex(history);
        records[i].firstStage = firstStage.empty() ? -1 : static_cast<td::INT4>(index(firstStage));
    }

    // The text built into t; false when the parser or the tree refuses it.
    bool build(Tree& t, const std::string& text)
    {
        if (parser.parse(text.c_str()) != sl::TokenCodes::END_OF_TEXT)
            return false;
        return t.build(parser.getFirstToken());
    }

    // A node as text, symbols by name.
    std::string text(Tree& t, const Node* p) const
    {
        td::MutableString s;
        t.nodeToString(s, p);
        return s.c_str();
    }

    // The value of a node over the solver's values, through an evaluator.
    T value(const Node* p)
    {
        Tree t = ctx.tree();
        t.pushRoot(const_cast<Node*>(p));
        sl::Evaluator<T>* e = ctx.compile(t);
        EXPECT_NE(e, nullptr) << text(t, p);
        return e ? ctx.evaluate(*e) : T(0);
    }

    T& at(const std::string& name) { return ctx.solver.values.at(index(name)); }

    TreeContext<T> ctx;
    std::vector<std::string> names;
    sl::SymbolMap symbols;
    cnt::PushBackVector<T> values;
    sl::RPNParser<T> parser{symbols, values};
    cnt::SafeFullVector<sl::SymbolInfo> info;
    sl::DAEVarRecords records;
};
} // namespace test
