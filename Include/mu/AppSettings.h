// Application settings of the utility library: the error reporter that parsers fall
// back on when their caller gives none.
#pragma once

#include <td/String.h>

namespace mu
{
class IErrorReporter
{
public:
    virtual void report(int type, const td::String& source, const td::String& message) = 0;

protected:
    ~IErrorReporter() = default;
};

class IAppSettings
{
public:
    // The application's error reporter; may be null.
    virtual IErrorReporter* getErrorReporter() = 0;

protected:
    ~IAppSettings() = default;
};

// The process's settings; may be null.
IAppSettings* getAppSettings();
} // namespace mu
