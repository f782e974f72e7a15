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
void showText(sc::ILog* pLog, const char* text, sc::ILog::Type type)
{
    if (pLog)
        pLog->showText(td::String(text), type);
}
} // namespace

template <typename T, typename I, typename S>
int BaseModel<T, I, S>::headerMaxIter(const sc::TokenizedModel& model, sc::ILog* pLog)
{
    int value = 0;
    int answer = model.getHeaderParamValue(sc::HeaderParam::MaxIter, value);
    if (answer == 0)
    {
        showText(pLog, simHost::msg::maxIterNotInHeader, sc::ILog::Warning);
        return 0;
    }
    if (answer < 0)
    {
        showText(pLog, simHost::msg::maxIterNotInteger, sc::ILog::Warning);
        return 0;
    }
    if (value < 2)
    {
        showText(pLog, simHost::msg::maxIterTooSmall, sc::ILog::Warning);
        return 0;
    }
    return value;
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
        reportKey(simHost::msg::undefinedModelType);
        return false;
    }
    int maxIter = info.type == cODE ? 0 : headerMaxIter(model, pLog);
    double step = 0.0;
    model.getHeaderParamValue(sc::HeaderParam::DTime, step);
    if (!std::is_same_v<T, std::complex<double>> && info.complex)
    {
        showText(pLog, simHost::msg::complexInRealSolver, sc::ILog::Error);
        return false;
    }
    _solverUsed = true;
    if (!_pSolver->init(&_naming, model, true))
    {
        showText(pLog, simHost::msg::cannotInitSolver, sc::ILog::Error);
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
