// Runs a piece of a test in a child process under a time limit, so that an abort, a crash,
// a sanitizer report or a hang of the code under test becomes an outcome to report.
#pragma once

#include <chrono>
#include <csignal>
#include <cstring>
#include <functional>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace test
{
struct IsolatedOutcome
{
    enum class Kind
    {
        Exited,
        Signalled,
        TimedOut,
        NotStarted
    };

    Kind kind = Kind::NotStarted;
    // The exit code or the signal.
    int code = 0;
    // What the child wrote to its note channel: its last note names where it stopped.
    std::string notes;
    // What the child wrote to standard error.
    std::string errors;

    bool sanitizerReport() const
    {
        for (const char* mark : {"runtime error:", "AddressSanitizer", "LeakSanitizer", "UndefinedBehaviorSanitizer"})
        {
            if (errors.find(mark) != std::string::npos)
                return true;
        }
        return false;
    }

    // True when the child ended by itself with code 0 and no sanitizer report.
    bool clean() const { return kind == Kind::Exited && code == 0 && !sanitizerReport(); }

    std::string describe() const
    {
        std::string what;
        switch (kind)
        {
        case Kind::Exited: what = "exit code " + std::to_string(code); break;
        case Kind::Signalled: what = std::string("signal ") + strsignal(code); break;
        case Kind::TimedOut: what = "time-out"; break;
        case Kind::NotStarted: what = "no child process"; break;
        }
        if (sanitizerReport())
            what += ", sanitizer report";
        return what + "\nnotes: " + notes + "\nstandard error: " + errors.substr(0, 4000);
    }
};

// Writes a note for the parent; the child's last note tells where it was.
inline void isolatedNote(int fd, const std::string& note)
{
    std::string line = note + "\n";
    const char* p = line.data();
    std::size_t left = line.size();
    while (left > 0)
    {
        const ssize_t n = ::write(fd, p, left);
        if (n <= 0)
            return;
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

namespace detail
{
inline void drain(int& fd, std::string& into)
{
    char buf[4096];
    const ssize_t n = ::read(fd, buf, sizeof(buf));
    if (n > 0)
    {
        into.append(buf, static_cast<std::size_t>(n));
        return;
    }
    ::close(fd);
    fd = -1;
}

// Reads both channels until the child closes them or the deadline passes; false at the deadline.
inline bool collect(int notesFd, int errorsFd, IsolatedOutcome& out, std::chrono::steady_clock::time_point deadline)
{
    while (notesFd >= 0 || errorsFd >= 0)
    {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
        {
            if (notesFd >= 0)
                ::close(notesFd);
            if (errorsFd >= 0)
                ::close(errorsFd);
            return false;
        }
        pollfd fds[2] = {{notesFd, POLLIN, 0}, {errorsFd, POLLIN, 0}};
        if (::poll(fds, 2, static_cast<int>(left.count())) < 0)
            continue;
        if (notesFd >= 0 && fds[0].revents != 0)
            drain(notesFd, out.notes);
        if (errorsFd >= 0 && fds[1].revents != 0)
            drain(errorsFd, out.errors);
    }
    return true;
}
} // namespace detail

// body runs in the child with the write end of the note channel; its result is the child's
// exit code. The child ends with _exit, so nothing of the parent's (test records, buffers)
// is touched; a child that outlives the limit is killed.
inline IsolatedOutcome runIsolated(const std::function<int(int notesFd)>& body, double seconds)
{
    IsolatedOutcome out;
    int notes[2], errors[2];
    if (::pipe(notes) != 0)
        return out;
    if (::pipe(errors) != 0)
    {
        ::close(notes[0]);
        ::close(notes[1]);
        return out;
    }
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
    const pid_t pid = ::fork();
    if (pid == 0)
    {
        ::close(notes[0]);
        ::close(errors[0]);
        ::dup2(errors[1], STDERR_FILENO);
        ::close(errors[1]);
        int code = 0;
        try
        {
            code = body(notes[1]);
        }
        catch (...)
        {
            isolatedNote(notes[1], "an exception left the body");
            code = 3;
        }
        ::_exit(code);
    }
    ::close(notes[1]);
    ::close(errors[1]);
    if (pid < 0)
    {
        ::close(notes[0]);
        ::close(errors[0]);
        return out;
    }
    const bool inTime = detail::collect(notes[0], errors[0], out, deadline);
    int status = 0;
    if (!inTime)
    {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        out.kind = IsolatedOutcome::Kind::TimedOut;
        return out;
    }
    // The channels closed: the child is ending; a child that closed them early and goes on
    // is held to the same deadline.
    for (;;)
    {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (std::chrono::steady_clock::now() >= deadline)
        {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            out.kind = IsolatedOutcome::Kind::TimedOut;
            return out;
        }
        ::usleep(100);
    }
    if (WIFEXITED(status))
    {
        out.kind = IsolatedOutcome::Kind::Exited;
        out.code = WEXITSTATUS(status);
    }
    else if (WIFSIGNALED(status))
    {
        out.kind = IsolatedOutcome::Kind::Signalled;
        out.code = WTERMSIG(status);
    }
    return out;
}
} // namespace test
