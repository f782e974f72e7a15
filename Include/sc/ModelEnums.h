// Enumerations of the model language shared by the loader, the builder and the hosts:
// model levels, groups, declared-name kinds, header parameters, attributes, reserved words.
#pragma once

#include <td/Types.h>

namespace sc
{
enum class ModelLevel : td::BYTE
{
    Main = 0,
    Sub = 1
};

enum class Group : td::BYTE
{
    Model = 0,
    SubModel,
    Vars,
    Params,
    Distribs,
    Stats,
    ReInit,
    PreProc,
    NLEs,
    WLSEs,
    ECs,
    ODEs,
    PDEs,
    TFs,
    IterPostP,
    BasePostP,
    PostProc,
    Limits,
    Repeats,
    Plots,
    NA
};

enum class UserLabel : td::BYTE
{
    Var = 0,
    Param = 1,
    Distrib = 2,
    Stat = 3,
    Last = 4
};

// The settings of a model's header, one row each: its name, its word in the header, the
// kind of value it takes (a value token of sc::Token: Integer, Real, Boolean, String, or
// EnumWord for the words of Report), its default and who acts on it. The values run from
// 0 in the order of the rows; the front end's name, kind and default lists come from here,
// and the build fails on a row whose default does not fit its kind or whose word is not
// its own.
// clang-format off
#define EQNKIT_HEADER_PARAMS(X)                                                         \
    /* name      word         kind      default        acted on by */                   \
    X(MaxIter,   "maxIter",   Integer,  200,           ModelLibrary)                    \
    X(StartTime, "startTime", Real,     0.0,           Nobody)                          \
    X(DTime,     "dTime",     Real,     0.001,         ModelLibrary)                    \
    X(EndTime,   "endTime",   Real,     2.0,           Nobody)                          \
    X(Report,    "report",    EnumWord, Report::Other, Nobody)                          \
    X(MaxReps,   "maxReps",   Integer,  -1,            ModelLibrary)                    \
    X(OutToTxt,  "outToTxt",  Boolean,  false,         Nobody)                          \
    X(TxtFile,   "txtFile",   String,   "",            Nobody)                          \
    X(NewTab,    "newTab",    Boolean,  false,         Nobody)                          \
    X(DrawPlots, "drawPlots", Boolean,  true,          Nobody)
// clang-format on

enum class HeaderParam : td::BYTE
{
#define EQNKIT_HEADER_PARAM_ENUMERATOR(name, ...) name,
    EQNKIT_HEADER_PARAMS(EQNKIT_HEADER_PARAM_ENUMERATOR)
#undef EQNKIT_HEADER_PARAM_ENUMERATOR
    // past the last setting
    NA
};

// Who acts on a header setting: the model library when it sets up a model's solver
// (BaseModel::configureSolver), or nobody (the value is read and kept for a host).
enum class HeaderActor : td::BYTE
{
    Nobody,
    ModelLibrary
};

enum class Report : td::BYTE
{
    Solved = 0,
    All = 1,
    Other = 2
};

enum class AttribID : td::BYTE
{
    Domain = 0,
    Type,
    Method,
    Eps,
    DT,
    Out,
    W,
    Conj,
    Enabled,
    Signal,
    CopyPars,
    Min,
    Max,
    Mean,
    Dev,
    Integer,
    K,
    P,
    N,
    Alpha,
    Beta,
    Lambda,
    ReInit,
    AlwaysOn,
    InitMain,
    Simplify,
    Pivot,
    MaxIter,
    Width,
    Name,
    MinX,
    MaxX,
    MinY,
    MaxY,
    ColorL,
    ColorD,
    BackColor,
    Legend,
    Step,
    Pattern,
    XLabel,
    YLabel,
    NA
};

// Colour attributes are read through their own tokens, never as numbers.
constexpr bool isColor(AttribID id)
{
    return id == AttribID::ColorL || id == AttribID::ColorD || id == AttribID::BackColor;
}

enum class ReservedID : td::BYTE
{
    Main = 0,
    Repeat,
    S,
    Group,
    If,
    Else,
    Switch,
    Case,
    Default,
    End,
    LinePlot,
    BarPlot,
    PiePlot,
    HLine,
    VLine,
    HBand,
    VBand,
    Cond,
    X,
    Y,
    NA
};

// Reserved words that open a block closed by `end`.
constexpr bool opensBlock(ReservedID id)
{
    return id == ReservedID::Group || id == ReservedID::If || id == ReservedID::Switch || id == ReservedID::LinePlot ||
           id == ReservedID::BarPlot || id == ReservedID::PiePlot;
}

enum class FunctionSet : td::BYTE
{
    Real = 0,
    Complex = 1,
    NA = 2
};

enum class SpecialConstant : td::UINT2
{
    Pi = 0,
    E = 1,
    SolutionOK = 2
};

enum class SolutionOKReportStringType : td::BYTE
{
    OK = 0,
    ThumbsUp = 1,
    OKHand = 2,
    OKButton = 3
};

// What a statement line is, by its first token.
enum class ExpressionType : td::BYTE
{
    None = 0,
    Plain = 1,
    If = 2,
    Else = 3,
    End = 6,
    Group = 7,
    Repeat = 8
};

// Value domain a host may pass to an editor load; the loader takes the domain from the model line.
enum class Domain : td::BYTE
{
    Real = 0,
    Complex = 1
};

template <typename E> constexpr auto idx(E e) { return static_cast<unsigned>(e); }
} // namespace sc
