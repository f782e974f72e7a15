// Application settings of the utility library: the error reporter that parsers fall
// back on when their caller gives none.
#pragma once

#include <td/CoreLibAPI.h>
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

// The process's settings; may be null. Until setAppSettings is called they are the
// library's own, whose reporter writes one line per report to standard error.
CORELIB_API IAppSettings* getAppSettings();

// Installs other settings (the caller keeps them alive while they are installed), or none
// with null; returns the settings that were installed before.
IAppSettings* setAppSettings(IAppSettings* pSettings);
} // namespace mu
