// The logger interface every deliverable reports through, and its entry record.
// The slot order of the eleven operations is part of the interface between deliverables.
#pragma once

#include <sc/EqnKitAPI.h>
#include <td/String.h>
#include <td/Types.h>

namespace sc
{
class EQNKIT_API ILog
{
public:
    // One message: its text and its position in the model text (line 0: no position).
    struct LE
    {
        td::String msg;
        td::UINT4 line = 0;
        td::UINT4 col = 0;
    };

    enum Type : td::BYTE
    {
        Info = 0,
        Warning = 1,
        Error = 2
    };

    using Translator = td::String (*)(const char* key);

    virtual void reserved0() = 0;
    virtual void reserved1() = 0;
    virtual void reserved2() = 0;
    virtual void showEntry(const LE& entry, Type type) = 0;
    virtual void setTranslator(Translator translator) = 0;
    virtual void showText(const td::String& text, Type type) = 0;
    // nStrings C strings follow; each "@" of the translated key takes the next one.
    virtual void showFormatted(const char* key, td::UINT4 line, td::UINT4 col, Type type, int nStrings, ...) = 0;
    virtual void showKeyAt(const char* key, td::UINT4 line, td::UINT4 col, Type type) = 0;
    virtual void showKey(const char* key, Type type) = 0;
    virtual void reserved9() = 0;
    // Number of entries shown so far (loaders stop reporting at their limit).
    virtual td::UINT4 reserved10() = 0;

protected:
    ~ILog() = default;
};
} // namespace sc
