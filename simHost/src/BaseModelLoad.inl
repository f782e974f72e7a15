// Model loading: read a model text with the front end, check its kind, hand it to the
// solver and configure the solver from the model's header and model line.
#include <algorithm>
#include <type_traits>

#include <td/Variant.h>

#include "BaseModel.h"
#include "ModelKeys.h"

td::String translateKey(const char* key) { return td::String(key); }

template <typename T, typename I, typename S> bool BaseModel<T, I, S>::initFromFile(const td::String& fileName)
{
    return load(fileName, true);
}

template <typename T, typename I, typename S> bool BaseModel<T, I, S>::initFromString(const td::String& content)
{
    return load(content, false);
}

template <typename T, typename I, typename S> void BaseModel<T, I, S>::renewSolver()
{
    S* pFresh = _makeSolver(_pSolver->getLog(), _maxIter);
    if (!pFresh)
        return;
    _pSolver->release();
    _pSolver = pFresh;
    _solverUsed = false;
}

// A load replaces the model held before: it starts from a fresh solver and an empty symbol
// table, and a failed load leaves a fresh, empty solver behind, so that every operation
// until the next load answers as for an empty model.
template <typename T, typename I, typename S> bool BaseModel<T, I, S>::load(const td::String& source, bool fromFile)
{
    _loaded = false;
    if (_solverUsed)
        renewSolver();
    _naming.clean();
    _loaded = readAndConfigure(source, fromFile);
    if (!_loaded && _solverUsed)
    {
        renewSolver();
        _naming.clean();
    }
    return _loaded;
}

template <typename T, typename I, typename S>
bool BaseModel<T, I, S>::readAndConfigure(const td::String& source, bool fromFile)
{
    // Both temporaries end with this call, whatever its result.
    cnt::SafeFullVector<td::Variant> headerValues;
    sc::TokenizedModel model(_pSolver->getLog(), headerValues, &translateKey, _naming, 0);
    bool read = fromFile ? model.loadFromFile(source) : model.loadFromString(source);
    return read && configureSolver(model);
}

namespace
{
// Every message of a load stands at its place in the text: a text through showEntry, a key
// through showKeyAt.
void showTextAt(sc::ILog* pLog, const char* text, const sc::TextPlace& at, sc::ILog::Type type)
{
    if (pLog)
        pLog->showEntry(sc::ILog::LE{td::String(text), at.line, at.column}, type);
}

void showKeyAt(sc::ILog* pLog, const char* key, const sc::TextPlace& at)
{
    if (pLog)
        pLog->showKeyAt(key, at.line, at.column, sc::ILog::Error);
}

sc::TextPlace modelLinePlace(const sc::TokenizedModel& model)
{
    return model.getGroupPlace(sc::Group::Model, sc::ModelLevel::Main);
}

// Where the header wrote a setting; the header's line, or the model's, when it names none.
sc::TextPlace settingPlace(const sc::TokenizedModel& model, sc::HeaderParam p)
{
    const sc::TextPlace value = model.getHeaderValuePlace(p);
    if (value.isSet())
        return value;
    return model.getHeaderPlace().isSet() ? model.getHeaderPlace() : modelLinePlace(model);
}

// The model line's value of an attribute; the line itself without one.
sc::TextPlace attribPlace(const sc::TokenizedModel& model, sc::AttribID id)
{
    const sc::TokenizedModel::iterator line = model.getGroup(sc::Group::Model, sc::ModelLevel::Main);
    const sc::_TokV* pValue = line.attrib(id);
    return pValue ? sc::TextPlace{line.line().line, pValue->column} : modelLinePlace(model);
}
} // namespace

template <typename T, typename I, typename S>
int BaseModel<T, I, S>::headerMaxIter(const sc::TokenizedModel& model, sc::ILog* pLog)
{
    int value = 0;
    int answer = model.getHeaderParamValue(sc::HeaderParam::MaxIter, value);
    const sc::TextPlace at = settingPlace(model, sc::HeaderParam::MaxIter);
    if (answer == 0)
    {
        showTextAt(pLog, simHost::msg::maxIterNotInHeader, at, sc::ILog::Warning);
        return 0;
    }
    if (answer < 0)
    {
        showTextAt(pLog, simHost::msg::maxIterNotInteger, at, sc::ILog::Warning);
        return 0;
    }
    if (value < 2)
    {
        showTextAt(pLog, simHost::msg::maxIterTooSmall, at, sc::ILog::Warning);
        return 0;
    }
    return value;
}

// The header's time step; 0 (with a warning at the value) when it is not above 0, so that
// the solver keeps its own.
template <typename T, typename I, typename S>
double BaseModel<T, I, S>::headerStep(const sc::TokenizedModel& model, sc::ILog* pLog)
{
    double step = 0.0;
    if (model.getHeaderParamValue(sc::HeaderParam::DTime, step) != 1)
        return 0.0;
    if (step > 0)
        return step;
    showTextAt(pLog, simHost::msg::dTimeTooSmall, settingPlace(model, sc::HeaderParam::DTime), sc::ILog::Warning);
    return 0.0;
}

template <typename T, typename I, typename S> bool BaseModel<T, I, S>::configureSolver(const sc::TokenizedModel& model)
{
    constexpr td::BYTE cODE = 2;
    constexpr td::BYTE cNoType = 4;
    sc::ILog* pLog = _pSolver->getLog();
    const sc::_MI& info = model.getModelInfo(sc::ModelLevel::Main);
    // Also a tolerance that is not a number gives the default.
    double eps = info.eps > 0 ? info.eps : 1e-6;
    if (info.type == cNoType)
    {
        showKeyAt(pLog, simHost::msg::undefinedModelType, modelLinePlace(model));
        return false;
    }
    int maxIter = info.type == cODE ? 0 : headerMaxIter(model, pLog);
    const double step = headerStep(model, pLog);
    if (!std::is_same_v<T, std::complex<double>> && info.complex)
    {
        showTextAt(pLog, simHost::msg::complexInRealSolver, attribPlace(model, sc::AttribID::Domain), sc::ILog::Error);
        return false;
    }
    _solverUsed = true;
    if (!_pSolver->init(&_naming, model, true))
    {
        showTextAt(pLog, simHost::msg::cannotInitSolver, modelLinePlace(model), sc::ILog::Error);
        return false;
    }
    _pSolver->setEps(eps);
    if (step > 0)
        _pSolver->setStepSize(step);
    // The solver's limit is 16 bits wide: a larger one saturates rather than wraps.
    if (maxIter > 0)
        _pSolver->setMaxIter(static_cast<td::UINT2>(std::min(maxIter, 0xFFFF)));
    int maxReps = -1;
    if (model.getHeaderParamValue(sc::HeaderParam::MaxReps, maxReps) == 1)
        _pSolver->setMaxReps(maxReps);
    return true;
}
