// One model text as token blocks per model level and group, with its header values,
// model information and time-parameter indices: the front end's result for the builder.
#pragma once

#include <cstring>

#include <cnt/Array.h>
#include <cnt/BlockVector.h>
#include <cnt/PushBackVector.h>
#include <cnt/SafeFullVector.h>
#include <mu/ILineLoader.h>
#include <mu/LineLoader.h>
#include <sc/EqnKitAPI.h>
#include <sc/ILog.h>
#include <sc/ModelEnums.h>
#include <sc/Naming.h>
#include <sc/Token.h>
#include <sc/TokenRecords.h>
#include <td/String.h>
#include <td/Variant.h>

namespace sc
{

class ModelLoader;

class EQNKIT_API TokenizedModel
{
public:
    using Translator = td::String (*)(const char* key);

    // Walks one group: current starts on the group's own line, end is one past its last line.
    struct iterator
    {
        const TokenLines* pLines = nullptr;
        const ExprTokens* pExprTokens = nullptr;
        const AttribTokens* pAttribTokens = nullptr;
        td::UINT4 current = 0;
        td::UINT4 end = 0;

        bool atEnd() const { return current >= end; }
        iterator& operator++()
        {
            if (current < end)
                ++current;
            return *this;
        }
        const _tl& line() const { return (*pLines)[current]; }
        // Expression token i of the current line. A line's tokens may span two blocks of
        // the token store: reach each through here, never by pointer steps from the first.
        const _TokV& exprToken(td::UINT4 i) const { return (*pExprTokens)[line().firstExpr + i]; }

        // A number or truth word; a number is true when it is not zero.
        bool getAttrib(AttribID id, bool& out) const
        {
            double value = 0.0;
            if (!getAttrib(id, value))
                return false;
            out = value != 0.0;
            return true;
        }

        bool getAttrib(AttribID id, double& out) const
        {
            TD_ASSERT(!sc::isColor(id));
            const _TokV* p = attrib(id);
            if (!p)
                return false;
            switch (p->kind)
            {
            case Token::Integer: out = p->getInt(); return true;
            case Token::Real:
            case Token::Imaginary: out = p->getReal(); return true;
            case Token::True: out = 1.0; return true;
            case Token::False: out = 0.0; return true;
            default: return false;
            }
        }

        // The text of a string or enumerated-word attribute; null otherwise.
        const td::PoolString* findAttrib(AttribID id) const
        {
            const _TokV* p = attrib(id);
            if (!p || (p->kind != Token::String && p->kind != Token::EnumWord))
                return nullptr;
            return p->getString();
        }

        // The first attribute token of the current line with that id.
        const _TokV* attrib(AttribID id) const
        {
            if (atEnd() || !pLines || !pAttribTokens)
                return nullptr;
            const _tl& l = line();
            for (td::UINT4 i = 0; i < l.nAttrib; ++i)
            {
                const _TokV& t = (*pAttribTokens)[l.firstAttrib + i];
                if (t.extra == static_cast<td::BYTE>(id))
                    return &t;
            }
            return nullptr;
        }
    };

    TokenizedModel(ILog* pLog, cnt::SafeFullVector<td::Variant>& headerValues, Translator translate, Naming& naming,
                   td::UINT2 namingIndex = 0);
    TokenizedModel(TokenizedModel&& other);
    TokenizedModel(const TokenizedModel&) = delete;
    TokenizedModel& operator=(const TokenizedModel&) = delete;
    ~TokenizedModel();

    // Each load starts from empty stores; true when the text was read without an error.
    // A path that is not a regular file of at most mu::cMaxInputFileSize bytes is refused
    // unread with the key of a file that cannot be opened.
    bool loadFromFile(const td::String& path);
    bool loadFromString(const td::String& text);
    bool loadFromEditor(mu::ILineLoader* pEditor, bool reloadNames, Domain domain);

    const ExprTokens& getExpressionTokens() const { return _exprTokens; }
    const AttribTokens& getAttribTokens() const { return _attribTokens; }
    iterator getGroup(Group g, ModelLevel level) const;
    td::UINT4 getNumberOfExpressions(Group g, ModelLevel level) const;
    // Expressions of the level over all its groups: a sizing hint for evaluator pools.
    td::UINT4 getNumberOfExpressionsInLevel(ModelLevel level) const;
    const _MI& getModelInfo(ModelLevel level) const { return _modelInfo[levelIndex(level)]; }
    bool isComplex() const { return _isComplex; }
    bool hasRepetitions() const { return getNumberOfExpressions(Group::Repeats, ModelLevel::Main) > 0; }
    td::UINT4 getNumberOfLimits(ModelLevel level) const;
    td::INT4 getIndexOfTimeParam(ModelLevel level) const { return _timeParamIndex[levelIndex(level)]; }
    td::INT4 getIndexOfDeltaTimeParam(ModelLevel level) const { return _dTParamIndex[levelIndex(level)]; }
    td::UINT4 getNumberOfOutVars() const { return _nOutVars; }
    td::UINT4 getNumberOfOutParams() const { return _nOutParams; }
    td::UINT4 getNumberOfHeaderLines() const { return _nHeaderLines; }
    // The vocabulary (naming) the model was read with.
    td::UINT2 getNamingIndex() const { return _namingIndex; }
    td::UINT4 getNumberOfInitialSubProblemParams() const { return _nInitialSubProblemParams; }
    td::UINT4 getCopyParamsFromParentToSubModelCopied() const { return _copyParsCopied; }
    bool getHeaderVariantValue(HeaderParam p, td::Variant& out) const;
    int getHeaderParamValue(HeaderParam p, int& out) const;
    int getHeaderParamValue(HeaderParam p, double& out) const;
    td::String getHeaderParamString(HeaderParam p);
    // Where the header wrote the value of p (line 0: the header does not name p).
    TextPlace getHeaderValuePlace(HeaderParam p) const;
    // The header's own line (line 0: the text has no header).
    TextPlace getHeaderPlace() const { return _headerPlace; }
    // The group's own line and the column of its name (line 0: the level has no such group).
    TextPlace getGroupPlace(Group g, ModelLevel level) const;
    Report getReportingType();
    td::UINT4 countOutSymbols();
    void populateOutSymbols(cnt::SafeFullVector<_SI>& symbols, unsigned int);
    // Indices of the output variables (and parameters, offset by the second argument);
    // the caller provides room for the counts of countOutSymbols.
    void populateOutVars(int* pOut);
    void populateOutParams(int* pOut, int offset);

    ExpressionType getExpressionType(const iterator& it, td::UINT2) const;
    td::UINT4 countChildren(const iterator& it, td::UINT2, Group group, ExpressionType type) const;
    td::UINT4 countSwitchCases(const iterator& it, td::UINT2, Group group, bool& hasDefault) const;

protected:
    void initModelLoader(ModelLoader* pLoader);
    bool loadVarsAndParams(ModelLoader* pLoader, td::MutableString& line, int& unused);
    bool loadContent(ModelLoader* pLoader, mu::LineLoader& loader, td::MutableString& line, int unused);
    bool countExpressions(GroupTable& groups, const TokenLines& lines, ModelLevel level);
    void addLogEntry(const ILog::LE& entry, ILog::Type type);

private:
    static unsigned levelIndex(ModelLevel level)
    {
        TD_ASSERT(level <= ModelLevel::Sub);
        return idx(level);
    }
    void resetStores();
    LoaderTargets targets();
    td::UINT4 readHeadAndStructure(ModelLoader& loader, mu::LineLoader& first, td::MutableString& line);
    bool finishLoad(ModelLoader& loader, bool ok);
    void setCopyCounts(ModelLoader& loader);
    // An error at the statement's first token (its first attribute when it has no
    // expression tokens).
    void logCounting(const char* key, const _tl& line) const;
    td::UINT4 countOutputs(Group g, td::UINT4 total) const;
    template <typename F> void forEachOutLine(Group g, F&& f) const;

    cnt::SafeFullVector<td::Variant>& _headerValues;
    Translator _translate;
    Naming& _naming;
    ExprTokens _exprTokens;
    AttribTokens _attribTokens;
    TokenLines _mainLines;
    TokenLines _subLines;
    GroupTable _subGroups;
    GroupTable _mainGroups;
    cnt::Array<cnt::PushBackVector<td::Variant>, 2> _modelAttribs;
    LocationPair _locationOfVars;
    LocationPair _locationOfParams;
    LocationPair _locationOfDistribs;
    LocationPair _locationOfStats;
    LocationPair _locationOfModels;
    cnt::Array<td::INT4, 2> _dTParamIndex;
    cnt::Array<td::INT4, 2> _timeParamIndex;
    cnt::Array<td::UINT4, 2> _nLimits;
    cnt::Array<_MI, 2> _modelInfo;
    ILog* _pLog;
    td::UINT4 _nVars = 0;
    td::UINT4 _nParams = 0;
    td::UINT4 _nOutVars = 0;
    td::UINT4 _nOutParams = 0;
    td::INT4 _copyParsRequested = 0;
    td::UINT4 _copyParsCopied = 0;
    td::UINT4 _nInitialSubProblemParams = 0;
    td::UINT4 _nHeaderLines = 0;
    td::UINT2 _namingIndex;
    bool _isComplex = false;
    // Groups met per level (bit g), since a group's own line may be index 0, and the
    // index of each group's last line.
    cnt::Array<td::UINT4, 2> _metGroups;
    cnt::Array<cnt::Array<td::UINT4, 20>, 2> _lastGroupLines;
    // Where the header stands and where it wrote each value.
    TextPlace _headerPlace;
    HeaderPlaces _headerValuePlaces;
};
} // namespace sc
