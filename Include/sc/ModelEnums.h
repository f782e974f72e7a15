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

enum class HeaderParam : td::BYTE
{
    MaxIter = 0,
    StartTime,
    DTime,
    EndTime,
    Report,
    MaxReps,
    OutToTxt,
    TxtFile,
    NewTab,
    DrawPlots,
    NA
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
