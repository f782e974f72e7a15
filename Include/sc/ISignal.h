// Receiver of the branch and limit signals that statements raise while they run.
// Every solver implements it as a second interface; codes are below 6 (6 means none).
#pragma once

#include <sc/EqnKitAPI.h>
#include <td/Types.h>

namespace sc
{
class EQNKIT_API ISignal
{
public:
    static constexpr td::BYTE NoSignal = 6;

    virtual void signal(td::BYTE code) = 0;

protected:
    ~ISignal() = default;
};
} // namespace sc
