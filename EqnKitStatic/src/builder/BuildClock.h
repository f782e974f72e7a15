// Time an equation build spends in its phases (parse, differentiate, compile), summed
// over the equations built on this thread while a clock is installed; the benchmarks read it.
#pragma once

#include <chrono>

namespace sl
{
// Owned by whoever installs it; only the builder of the same thread adds to it.
struct BuildClock
{
    double parseMs = 0;
    double differentiateMs = 0;
    double compileMs = 0;

    // The clock the builds of this thread add to; null: nothing is timed.
    static BuildClock*& active()
    {
        thread_local BuildClock* s_pActive = nullptr;
        return s_pActive;
    }
};

// Adds the time from its construction (or the last lap) to a phase of the active clock.
class BuildPhaseTimer
{
public:
    using Phase = double BuildClock::*;

    BuildPhaseTimer() : _pClock(BuildClock::active())
    {
        if (_pClock)
            _start = std::chrono::steady_clock::now();
    }
    BuildPhaseTimer(const BuildPhaseTimer&) = delete;
    BuildPhaseTimer& operator=(const BuildPhaseTimer&) = delete;

    // The time since the start or the last lap goes to phase.
    void lap(Phase phase)
    {
        if (!_pClock)
            return;
        const auto now = std::chrono::steady_clock::now();
        _pClock->*phase += std::chrono::duration<double, std::milli>(now - _start).count();
        _start = now;
    }

private:
    BuildClock* _pClock;
    std::chrono::steady_clock::time_point _start;
};
} // namespace sl
