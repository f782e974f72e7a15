// Message keys and texts of the model library, sent to the model's logger as they stand.
// Keys and texts are kept exactly as hosts see them.
#pragma once

namespace simHost::msg
{
// Keys of the value and name operations.
inline constexpr const char* symbNames = "SC.SymbNames";
inline constexpr const char* paramValues = "SC.ParamValues";
inline constexpr const char* symbValues = "SC.SymbValues";
inline constexpr const char* wrongParamIndex = "SC.WrongParamIndex";
inline constexpr const char* tooFewVarValues = "SC.TooFewVarValues";
inline constexpr const char* tooFewParamValues = "SC.TooFewParamValues";

// Keys of loading and solving.
inline constexpr const char* undefinedModelType = "MS.UndefindeModelType";
inline constexpr const char* modelNotLoaded = "MS.ModelNotLoaded";

// Texts of the solver configuration.
inline constexpr const char* maxIterNotInHeader =
    "Maxiter model attrib not specified in header! Using default value for maxIter!";
inline constexpr const char* maxIterNotInteger =
    "Maxiter model attrib not specified as integer! Using default value for maxIter!";
inline constexpr const char* maxIterTooSmall = "Too small value for maxIter! Using default value for maxIter!";
inline constexpr const char* dTimeTooSmall = "Too small value for dTime! Using the solver's own time step!";
inline constexpr const char* complexInRealSolver = "Cannot use complex domain model with real domain solver!";
inline constexpr const char* cannotInitSolver = "Cannot init the solver!";
} // namespace simHost::msg
