// One input through every kind of the whole road: a model text into each model of the model
// library, an XML model document into each solver factory's XML entry, real and complex; each
// built model is solved, or reset and stepped. Stages and findings go to a note channel.
#pragma once

#include <cmath>
#include <complex>
#include <cstdio>
#include <fstream>
#include <string>
#include <type_traits>

#include <sc/ModelFactories.h>
#include <sc/SolverFactories.h>
#include <support/Isolated.h>
#include <support/RecordingLog.h>

#include "LateStatements.h"

namespace test
{
// The mark of a finding in the notes.
inline constexpr const char* cFindingMark = "FINDING ";

class WholeRoad
{
public:
    // scratch: a file this run may write (for the file entries) and remove.
    WholeRoad(int notesFd, std::string scratch) : _fd(notesFd), _scratch(std::move(scratch)) {}

    // Returns the number of findings.
    int text(const std::string& text)
    {
        using Cmplx = std::complex<double>;
        const bool written = writeScratch(text);
        model<double, sc::IStatic>(
            "real NLE", [](sc::ILog* p) { return sc::createRealStaticModel(sc::IStatic::NLE, p, 50); }, text, written);
        model<double, sc::IStatic>(
            "real WLS", [](sc::ILog* p) { return sc::createRealStaticModel(sc::IStatic::WLS, p, 50); }, text, false);
        model<Cmplx, sc::IStatic>(
            "complex NLE", [](sc::ILog* p) { return sc::createCmplxStaticModel(sc::IStatic::NLE, p, 50); }, text,
            false);
        model<Cmplx, sc::IStatic>(
            "complex WLS", [](sc::ILog* p) { return sc::createCmplxStaticModel(sc::IStatic::WLS, p, 50); }, text,
            false);
        model<double, sc::IDynamic>(
            "ODE", [](sc::ILog* p) { return sc::createRealDynamicModel(sc::IDynamic::ODE, p, 50); }, text, false);
        model<double, sc::IDynamic>(
            "DAE", [](sc::ILog* p) { return sc::createRealDynamicModel(sc::IDynamic::DAE, p, 50); }, text, false);
        std::remove(_scratch.c_str());
        return _findings;
    }

    int xml(const std::string& doc)
    {
        using Cmplx = std::complex<double>;
        const bool written = writeScratch(doc);
        solver<double>(
            "XML real NR", [](sc::ILog* p) { return sc::createDblNRSolver(p, 50); }, doc, written);
        solver<double>(
            "XML real WLS", [](sc::ILog* p) { return sc::createDblWLSSolver(p, 50); }, doc, false);
        solver<double>(
            "XML real ODE", [](sc::ILog* p) { return sc::createDblODESolver(p); }, doc, false);
        solver<double>(
            "XML real DAE", [](sc::ILog* p) { return sc::createDblDAESolver(p, 50); }, doc, false);
        solver<Cmplx>(
            "XML complex NR", [](sc::ILog* p) { return sc::createCmplxNRSolver(p, 50); }, doc, false);
        solver<Cmplx>(
            "XML complex WLS", [](sc::ILog* p) { return sc::createCmplxWLSSolver(p, 50); }, doc, false);
        solver<Cmplx>(
            "XML complex ODE", [](sc::ILog* p) { return sc::createCmplxODESolver(p); }, doc, false);
        solver<Cmplx>(
            "XML complex DAE", [](sc::ILog* p) { return sc::createCmplxDAESolver(p, 50); }, doc, false);
        std::remove(_scratch.c_str());
        return _findings;
    }

private:
    static constexpr int cSteps = 3;

    static bool finite(double v) { return std::isfinite(v); }
    static bool finite(const std::complex<double>& v) { return std::isfinite(v.real()) && std::isfinite(v.imag()); }

    template <typename T> static bool allFinite(const T* p, td::UINT4 n)
    {
        for (td::UINT4 i = 0; i < n; ++i)
        {
            if (!finite(p[i]))
                return false;
        }
        return true;
    }

    bool writeScratch(const std::string& text)
    {
        std::ofstream out(_scratch, std::ios::binary | std::ios::trunc);
        out << text;
        return static_cast<bool>(out);
    }

    static std::string firstError(const RecordingLog& log)
    {
        for (const RecordingLog::Message& m : log.messages)
        {
            if (m.type == sc::ILog::Error)
                return m.text + " @" + std::to_string(m.line) + ":" + std::to_string(m.col);
        }
        return {};
    }

    void note(const std::string& kind, const std::string& stage) { isolatedNote(_fd, kind + ": " + stage); }

    void finding(const std::string& kind, const std::string& what)
    {
        ++_findings;
        isolatedNote(_fd, cFindingMark + kind + ": " + what);
    }

    // An OK status with a value that is not finite is a finding unless the model's own late
    // statements made it: then the model without them must not show it.
    template <typename Run> void checkFinite(const std::string& kind, const std::string& input, bool xml, Run run)
    {
        if (!run(input, true))
            return;
        const std::string early = xml ? withoutLateElements(input) : withoutLateGroups(input);
        if (early != input)
        {
            note(kind, "again without its late statements");
            if (!run(early, false))
                return note(kind, "its late statements made a value that is not finite");
        }
        finding(kind, "status OK with a value that is not finite");
    }

    template <typename T> static bool okButNotFinite(sc::Solution st, const T* p, td::UINT4 n)
    {
        return st == sc::Solution::OK && !allFinite(p, n);
    }

    template <typename T, typename I, typename Make>
    void model(const std::string& kind, Make make, const std::string& text, bool fromFile)
    {
        checkFinite(kind, text, false, [&](const std::string& input, bool first) {
            return runModel<T, I>(kind, make, input, first && fromFile);
        });
    }

    // True for an OK status with a value that is not finite. The text is loaded twice into the
    // same model (the second load replaces the first), each load run.
    template <typename T, typename I, typename Make>
    bool runModel(const std::string& kind, Make make, const std::string& text, bool fromFile)
    {
        RecordingLog log;
        sc::IModel<T, I>* p = make(&log);
        if (!p)
        {
            finding(kind, "no model made");
            return false;
        }
        bool notFinite = false;
        for (int load = 0; load < 2; ++load)
        {
            const bool file = fromFile && load == 0;
            note(kind, file ? "load from a file" : load == 0 ? "load" : "load again");
            const std::size_t errors = log.countOfType(sc::ILog::Error);
            const bool loaded = file ? p->initFromFile(td::String(_scratch)) : p->initFromString(td::String(text));
            if (!loaded)
            {
                if (log.countOfType(sc::ILog::Error) == errors)
                    finding(kind, "a failed load without an error message");
                else if (load == 0)
                    note(kind, "refused: " + firstError(log));
                break;
            }
            notFinite = runLoaded<T>(kind, p) || notFinite;
        }
        note(kind, "release");
        p->release();
        return notFinite;
    }

    // Two solves of a static model, or a reset and a few steps of a dynamic one.
    template <typename T, typename I> bool runLoaded(const std::string& kind, sc::IModel<T, I>* p)
    {
        bool notFinite = false;
        if constexpr (std::is_same_v<I, sc::IStatic>)
        {
            for (const char* stage : {"solve", "solve again"})
            {
                note(kind, stage);
                const sc::Solution st = p->getSolverInterface()->solve();
                cnt::SafeFullVector<T> values;
                p->getVariableValues(values);
                notFinite = okButNotFinite(st, values.begin(), values.size()) || notFinite;
            }
        }
        else
        {
            note(kind, "reset");
            if (!p->getSolverInterface()->reset(0.0))
                return false;
            note(kind, "step");
            const sc::Solution st = p->getSolverInterface()->step(cSteps);
            cnt::SafeFullVector<T> values;
            p->getVariableValues(values);
            notFinite = okButNotFinite(st, values.begin(), values.size());
        }
        return notFinite;
    }

    template <typename T, typename Make>
    void solver(const std::string& kind, Make make, const std::string& doc, bool fromFile)
    {
        checkFinite(kind, doc, true, [&](const std::string& input, bool first) {
            return runSolver<T>(kind, make, input, first && fromFile);
        });
    }

    template <typename T, typename Make>
    bool runSolver(const std::string& kind, Make make, const std::string& doc, bool fromFile)
    {
        RecordingLog log;
        sc::ISolver<T>* p = make(&log);
        if (!p)
        {
            finding(kind, "no solver made");
            return false;
        }
        note(kind, fromFile ? "build from a file" : "build");
        bool notFinite = false;
        if (!p->initFromXML(td::String(fromFile ? _scratch : doc), fromFile ? 0 : 1))
        {
            const td::String errors = p->getErrorLog();
            if (errors.length() == 0 && log.countOfType(sc::ILog::Error) == 0)
                finding(kind, "a failed build without an error entry or message");
            else
                note(kind, "refused: " + std::string(errors.c_str()).substr(0, 200));
        }
        else if (p->getSolverType() == sc::SolverType::ODE || p->getSolverType() == sc::SolverType::DAE)
        {
            note(kind, "reset");
            if (p->reset(0.0))
            {
                note(kind, "step");
                const sc::Solution st = p->step(cSteps);
                notFinite = okButNotFinite(st, p->getVariableValuesPtr(), p->getNumberOfVariables());
            }
        }
        else
        {
            for (const char* stage : {"solve", "solve again"})
            {
                note(kind, stage);
                const sc::Solution st = p->solve();
                notFinite = notFinite || okButNotFinite(st, p->getVariableValuesPtr(), p->getNumberOfVariables());
            }
        }
        note(kind, "release");
        p->release();
        return notFinite;
    }

    int _fd;
    std::string _scratch;
    int _findings = 0;
};
} // namespace test
