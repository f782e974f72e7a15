// Names of colours, line patterns and dot patterns as read from model texts.
// Unknown names give the default colour, LinePattern::NotSet or DotPattern::NotSet.
#pragma once

#include <td/CoreLibAPI.h>
#include <td/String.h>
#include <td/Types.h>

namespace td
{
using ColorID = BYTE;
constexpr ColorID cDefaultColor = 167;

enum class LinePattern : BYTE
{
    Solid = 0,
    Dash = 1,
    Dot = 2,
    DashDot = 3,
    DashDotDot = 4,
    NotSet = 5
};

enum class DotPattern : BYTE
{
    Circle = 0,
    Square = 1,
    Triangle = 2,
    Diamond = 3,
    Cross = 4,
    Plus = 5,
    Star = 6,
    Point = 7,
    None = 8,
    NotSet = 9
};

CORELIB_API ColorID toColorID(const char* text, int length, ColorID defaultColor);
CORELIB_API LinePattern toLinePattern(const String& name);
CORELIB_API DotPattern toDotPattern(const String& name);
} // namespace td
