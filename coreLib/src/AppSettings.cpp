#include <mu/AppSettings.h>

#include <cstdio>

namespace mu
{
namespace
{
// Writes reports to standard error, one line each.
class StderrReporter final : public IErrorReporter
{
public:
    void report(int type, const td::String& source, const td::String& message) override
    {
        std::fprintf(stderr, "%s%s: %s\n", type == 2 ? "Error in " : "", source.c_str(), message.c_str());
    }
};

class DefaultSettings final : public IAppSettings
{
public:
    IErrorReporter* getErrorReporter() override { return &_reporter; }

private:
    StderrReporter _reporter;
};

DefaultSettings s_settings;
IAppSettings* s_pSettings = &s_settings;
} // namespace

IAppSettings* getAppSettings() { return s_pSettings; }

IAppSettings* setAppSettings(IAppSettings* pSettings)
{
    IAppSettings* pBefore = s_pSettings;
    s_pSettings = pSettings;
    return pBefore;
}
} // namespace mu
