// Loader of one model text: the header pass, the structure pass with its declarations,
// the statement pass and the model-line reader, run by sc::TokenizedModel.
#pragma once

#include <cnt/PushBackVector.h>
#include <cnt/SafeFullVector.h>
#include <mu/LineLoader.h>
#include <sc/ILog.h>
#include <sc/Naming.h>
#include <sc/TokenRecords.h>
#include <sc/priv/Tokenizer.h>
#include <td/String.h>
#include <td/Variant.h>

namespace sc
{
class ContentReader;
class StructureReader;

class ModelLoader
{
public:
    using Translator = td::String (*)(const char* key);

    struct HeaderEnd
    {
        td::UINT4 bodyPosition = 0; // line-loader position behind the header's end line
        td::UINT4 headerLines = 0;  // lines read up to and including that line
        // The header's line, or where it should stand: the text's first line with a token.
        TextPlace start;
    };

    using Targets = LoaderTargets;

    // Stores of the statement pass.
    struct ContentStores
    {
        AttribTokens& attribTokens;
        ExprTokens& exprTokens;
        TokenLines& subLines;
        TokenLines& mainLines;
        GroupTable& subGroups;
        GroupTable& mainGroups;
        cnt::Array<td::UINT4, 2>& metGroups;
        cnt::Array<cnt::Array<td::UINT4, 20>, 2>& lastLines; // per group, its last line
    };

    // Location codes of getLineLocation and of the declaration groups.
    enum Location : td::BYTE
    {
        BeforeModel = 0,
        ModelLine = 1,
        MainBeforeDecls = 2,
        MainVars = 3,
        MainDistribs = 4,
        MainStats = 5,
        MainParams = 6,
        MainOther = 7,
        SubOther = 8,
        SubVars = 9,
        SubDistribs = 10,
        SubStats = 11,
        SubParams = 12,
        AfterModel = 14
    };

    ModelLoader() = default;
    // Without cleanFirst the symbol table keeps the names of an earlier load.
    ModelLoader(Naming& naming, TokenizerBase<1>& tokenizer, const Targets& targets, Translator translate,
                const td::String& complexWord, bool cleanFirst);
    ModelLoader(const ModelLoader&) = delete;
    ModelLoader& operator=(const ModelLoader&) = delete;

    void setLog(ILog* pLog) { _pLog = pLog; }
    ILog* getLog() const { return _pLog; }
    void setErrorLimit(int limit) { _errorLimit = limit; }
    void bindVocabulary(td::UINT2 namingIndex);

    // Fills the ten header values (defaults first) from the text's header block; both
    // results are 0 when the block is missing or broken. The later passes number their
    // lines on from the header's end line, so that every line is counted from the first
    // line of the text.
    HeaderEnd readHeader(cnt::SafeFullVector<td::Variant>& headerValues, HeaderPlaces& valuePlaces,
                         td::MutableString& line, mu::LineLoader& loader);

    // Locates the models and declaration groups and enters the declared names. With
    // declare false the names are kept from an earlier load and only the model lines
    // (domain, type, copyPars) and the time parameters are read again.
    bool readStructure(mu::LineLoader& loader, td::MutableString& line, bool declare = true);
    void readDeclarations(const TokenizerBase<1>& lexer, td::UINT4 line, td::UINT4 column, td::BYTE code);
    td::BYTE getLineLocation(td::UINT4 line) const;

    bool readContent(mu::LineLoader& loader, td::MutableString& line, ContentStores& stores, bool complex);
    bool readModelLine(const TokenLines& lines, const ExprTokens& exprTokens, const AttribTokens& attribTokens,
                       _MI& info, td::UINT2);

    // Copies the main model's parameters into the sub-model; false after an error.
    bool copyParentParams(td::INT4 requested, td::UINT4& copied, td::UINT4& initial);
    // Sub-model time-parameter indices: its own dT and t, -1 when absent.
    void findSubModelTimeParams();

    bool isComplex() const { return _isComplex; }
    bool isDynamic() const { return _isDynamic; }
    td::INT4 getCopyParsCount() const { return _copyParsCount; }
    // Errors found so far (shown or not).
    td::UINT4 getErrorCount() const { return _nErrors; }

    // Sends one message at its place in the text; errors are counted and, with limited set,
    // shown only while the logger's count is below the error limit. A name is shown as
    // "text (name)", a token text as "text:token".
    void report(const char* key, td::UINT4 line, td::UINT4 column, ILog::Type type = ILog::Error,
                const char* name = nullptr, bool limited = true, const char* tokenText = nullptr);
    void report(const char* key, const TextPlace& at) { report(key, at.line, at.column, ILog::Error, nullptr, false); }
    // A file that cannot be read has no text to place the message in.
    void reportUnreadableFile();
    // The first line of the body with a token, or the last line read when it has none.
    TextPlace bodyStart() const { return _bodyStart; }

private:
    Naming::SymbolMap* map(ModelLevel level, UserLabel kind) const { return _pMaps[idx(level)][idx(kind)]; }
    friend class ContentReader;
    friend class StructureReader;
    td::String translate(const char* key) const;
    // Binds the vocabulary maps of this load to a lexer and sets its value domain.
    void bindLexer(TokenizerBase<1>& lex, bool complex) const;
    // A copy of the text in the symbol table's pool.
    td::PoolString pooled(const char* text, td::UINT4 len) const;
    void findOrAddTimeParams(bool add);
    void closeGroup(int group, td::UINT4 line);
    LineLocation& groupLocation(int group, unsigned level);
    void startModelAttribs(unsigned level, const td::MutableString& rawLine);

    Naming* _pNaming = nullptr;
    Naming::SymbolMap* _pMaps[2][4] = {};
    Naming::Pool* _pStrings = nullptr;
    Naming::NameSet* _pDuplicates = nullptr;
    TokenizerBase<1>* _pTokenizer = nullptr;
    Targets _targets;
    Translator _translate = nullptr;
    td::String _strComplexAttribValue;
    const FunctionMap* _pRealFunctions = nullptr;
    const FunctionMap* _pComplexFunctions = nullptr;
    const ReservedMap* _pReserved = nullptr;
    const GroupMap* _pGroups = nullptr;
    const AttribMap* _pAttribs = nullptr;
    int _errorLimit = -1;
    ILog* _pLog = nullptr;
    td::UINT4 _nErrors = 0;
    // Lines of the text before the first line that the structure and statement passes
    // read: the header's lines, or 0 for a text without a header.
    td::UINT4 _linesBeforeBody = 0;
    TextPlace _bodyStart;
    // The messages shown, each once.
    struct Shown
    {
        const char* key;
        td::UINT4 line;
        td::UINT4 column;
    };
    cnt::PushBackVector<Shown> _shown;
    // Where each name of the sub-model was declared, by kind and position in its map.
    struct Place
    {
        td::UINT4 line = 0;
        td::UINT4 column = 0;
    };
    cnt::PushBackVector<Place> _subPlaces[4];
    td::INT4 _copyParsCount = 0;
    bool _isComplex = false;
    bool _isDynamic = false;
};
} // namespace sc
