// What a host attaches to a solver to follow a solve or a simulation: progress calls,
// as many as the trace level asks for, and the end of a pass, a solve or a run.
#pragma once

#include <sc/EqnKitAPI.h>
#include <td/Types.h>

namespace sc
{
// Implemented by hosts; a solver keeps only a pointer (setConsumer, simulate).
class EQNKIT_API ISolverConsumer
{
public:
    // Codes of finished.
    enum Finish : td::BYTE
    {
        Failed = 0,
        PassConverged = 2,
        Ended = 3
    };

    virtual void progress() = 0;
    virtual void finished(td::BYTE code) = 0;

protected:
    ~ISolverConsumer() = default;
};
} // namespace sc
