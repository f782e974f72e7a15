// Trees as text: operators fully bracketed, functions by their print names, symbols by
// name (mode 0) or by index (mode 1), conditionals as if and switch blocks.
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <string>

#include "ETNodeKinds.h"
#include "ExpressionTree.h"
#include "ISolverServices.h"
#include "RndGenManager.h"
#include "StatisticsStore.h"
#include "TreeWalk.h"

namespace sl
{
using namespace nodes;

namespace
{
void appendTruncated(td::MutableString& out, const char* fmt, td::UINT4 value)
{
    // At most 15 characters.
    char text[16];
    std::snprintf(text, sizeof(text), fmt, value);
    out.append(text);
}

// Drops the outer brackets of a text that has them.
void stripBrackets(td::MutableString& out)
{
    td::UINT4 n = out.length();
    if (n <= 2 || out.at(0) != '(' || out.at(n - 1) != ')')
        return;
    td::MutableString inner;
    inner.append(out.c_str() + 1, n - 2);
    out = std::move(inner);
}
} // namespace

template <typename T> void ExpressionTree<T>::toString(td::MutableString& out, td::BYTE mode)
{
    _printMode = mode;
    out.clear();
    td::MutableString part;
    auto appendTree = [&out, &part](ExpressionTree* pTree) {
        pTree->toString(part, 0);
        out.append(part.c_str(), part.length());
    };
    switch (_type)
    {
    case Type::IfThenElse:
        out.reserve(2048);
        out.append("if ");
        if (_pCondET)
            appendTree(_pCondET);
        out.append(":\n\t");
        if (_pThenET)
            appendTree(_pThenET);
        if (_pElseET)
        {
            out.append("else\n\t");
            appendTree(_pElseET);
        }
        out.append("\nend");
        break;
    case Type::SwitchCase:
        out.reserve(2048);
        out.append("switch:");
        for (ExpressionTree* pCase = this; pCase; pCase = pCase->_pElseET)
        {
            if (pCase->_pCondET)
            {
                out.append("\n\tcase ");
                appendTree(pCase->_pCondET);
            }
            else
                out.append("\n\tdefault");
            out.append(" -> ");
            if (pCase->_pThenET)
                appendTree(pCase->_pThenET);
        }
        out.append("\nend");
        break;
    default: nodeToString(out, getRoot()); break;
    }
    if (mode != 0)
        stripBrackets(out);
}

template <typename T> void ExpressionTree<T>::nodeToString(td::MutableString& out, const Node* pRoot) const
{
    // A subtree to print, or (pText set) a piece of text.
    struct Task
    {
        const Node* p;
        const char* pText;
    };
    WalkStack<Task> todo;
    todo.push({pRoot, nullptr});
    // Pushed in reverse: the first to print is pushed last.
    auto thenNode = [&todo](const Node* p) { todo.push({p, nullptr}); };
    auto thenText = [&todo](const char* pText) { todo.push({nullptr, pText}); };
    // The text grows geometrically here and goes to out at once (out grows to the exact
    // length at every append).
    std::string printed;
    td::MutableString piece;
    while (!todo.isEmpty())
    {
        const Task task = todo.top();
        todo.pop();
        if (task.pText)
        {
            printed += task.pText;
            continue;
        }
        const Node* pNode = task.p;
        if (!pNode)
        {
            printed += "NDEF";
            continue;
        }
        const Tok& t = *pNode->pToken;
        piece.clear();
        if (t.type == C::SYMBOL)
            symbolToString(piece, t, _printMode);
        else if (t.type == C::FUNCTION || t.type == C::LOGIC_NEGATION)
            functionToString(piece, pNode, thenNode, thenText);
        else if (t.type >= C::ADD && t.type <= C::ADD_ASSIGN)
        {
            // Word operators stand between blanks so the text reads back as it was meant.
            const bool word = t.type >= C::LOGIC_OR && t.type <= C::LOGIC_XOR;
            thenText(")");
            thenNode(pNode->pRightNode);
            if (word)
                thenText(" ");
            thenText(Tok::printName(t.type));
            if (word)
                thenText(" ");
            thenNode(pNode->pLeftNode);
            thenText("(");
        }
        else
            piece.append(numberText(t.value, t.type).c_str());
        printed.append(piece.c_str(), piece.length());
    }
    out.append(printed.data(), printed.size());
}

template <typename T> void ExpressionTree<T>::symbolToString(td::MutableString& out, const Tok& t, td::BYTE mode) const
{
    const bool own = isOwn(t);
    if (mode == 0 && _pContext)
    {
        if (const char* name = _pContext->findSymbolName(t.index, own))
        {
            out.append(name);
            return;
        }
        // No name to be had: the index form.
    }
    if (!own)
        appendTruncated(out, "main_s[%u]", t.index);
    else if (t.index < _nVars)
        appendTruncated(out, "x[%u]", t.index);
    else
        appendTruncated(out, "u[%u]", t.index - _nVars);
}

template <typename T> void ExpressionTree<T>::referenceToString(td::MutableString& out, const Tok& t) const
{
    const double position = realPart(t.value);
    const td::UINT4 i = position >= 0.0 && position < 4294967296.0 ? static_cast<td::UINT4>(position) : 0xFFFFFFFFu;
    const td::String* pName = nullptr;
    ISolverServices<T>* pSolver = _pContext ? _pContext->pSolver : nullptr;
    if (pSolver && _printMode == 0)
    {
        if (t.functionID() == C::RND)
        {
            if (RndGenManager* pGens = pSolver->getRndGenManager())
                pName = pGens->getName(i);
        }
        else if (StatisticsStore<T>* pStats = pSolver->getStatisticsStore(); pStats && i < pStats->size())
            pName = &pStats->record(i).name;
    }
    out.append('(');
    if (pName && !pName->isEmpty())
        out.append(pName->c_str());
    else
        appendTruncated(out, "%u", i);
    out.append(')');
}

// Whether the text of a subtree begins with '(': operators, and complex literals.
template <typename T> bool ExpressionTree<T>::printsBracketFirst(const Node* pNode)
{
    if (!pNode)
        return false;
    const td::BYTE type = pNode->pToken->type;
    if (type >= C::ADD && type <= C::ADD_ASSIGN)
        return type != C::LOGIC_NEGATION;
    if (type == C::SYMBOL || type == C::FUNCTION)
        return false;
    return numberText(pNode->pToken->value, type).c_str()[0] == '(';
}

template <typename T> template <typename Then, typename Text>
void ExpressionTree<T>::functionToString(td::MutableString& out, const Node* pNode, Then& then, Text& text) const
{
    const Tok& t = *pNode->pToken;
    const td::BYTE code = t.type == C::FUNCTION ? t.functionID() : t.type;
    out.append(Tok::printName(code));
    if (!pNode->pLeftNode && !pNode->pRightNode)
    {
        if (code == C::LIMIT)
        {
            td::LUINT8 word = unpackLimitWord(realPart(t.value));
            out.appendFormat("(%u,%u)", static_cast<td::UINT4>(word & 0xFFFFFFFFu), static_cast<td::UINT4>(word >> 32));
        }
        else if (t.type == C::FUNCTION && C::takesTokenOperand(code))
            referenceToString(out, t);
        else
            out.append("(NDEF)");
        return;
    }
    if (const Node* pSecond = pNode->pRightNode)
    {
        text(")");
        // The second argument's node carries the third as its right child.
        if (functionArity(code) == 3 && pSecond->pRightNode)
        {
            then(pSecond->pRightNode);
            text(",");
        }
        then(pSecond);
        text(",");
        then(pNode->pLeftNode);
        text("(");
        return;
    }
    // One operand: its own brackets do.
    if (printsBracketFirst(pNode->pLeftNode))
    {
        then(pNode->pLeftNode);
        return;
    }
    text(")");
    then(pNode->pLeftNode);
    text("(");
}

template <typename T> td::String ExpressionTree<T>::numberText(const T& value, td::BYTE type)
{
    char buffer[64];
    const double re = realPart(value);
    switch (type)
    {
    case C::INT_LITERAL:
        if (std::isfinite(re) && re >= -9223372036854775808.0 && re < 9223372036854775808.0)
        {
            std::snprintf(buffer, sizeof(buffer), "%" PRId64, static_cast<std::int64_t>(re));
            return td::String(buffer);
        }
        return td::String(td::toString(re, buffer));
    case C::REAL_LITERAL: return td::String(td::toString(re, buffer));
    case C::PI: return td::String("pi");
    case C::E: return td::String("e");
    case C::TRUE_LITERAL: return td::String("true");
    case C::FALSE_LITERAL: return td::String("false");
    default: break;
    }
    if constexpr (ValueTraits<T>::isComplex)
    {
        td::MutableString text;
        if (type == C::IMAG_LITERAL)
        {
            text.append(td::toString(value.imag(), buffer));
            text.append('i');
            return text.toString();
        }
        if (type == C::CMPLX_LITERAL)
        {
            text.append('(');
            text.append(td::toString(value.real(), buffer));
            if (!(value.imag() < 0.0))
                text.append('+');
            text.append(td::toString(value.imag(), buffer));
            text.append("i)");
            return text.toString();
        }
    }
    return td::String("NEDEF");
}

template <typename T> td::String ExpressionTree<T>::symbolName(const Tok& token) const
{
    td::MutableString text;
    symbolToString(text, token, 0);
    return text.toString();
}
} // namespace sl
