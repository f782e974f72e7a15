// Loads whose equation groups or sections do not fit the model's type or the solver's kind:
// every solver factory, both value types, the model-text road and the XML road.
#include <complex>
#include <string>

#include <gtest/gtest.h>

#include <sc/MessageKeys.h>
#include <sc/SolverFactories.h>

#include "SolverSupport.h"

namespace
{
namespace msg = sc::msg;
using test::Cmplx;

enum class Kind
{
    NR,
    WLS,
    ODE,
    DAE
};

template <typename T> sc::ISolver<T>* makeSolver(Kind kind, sc::ILog* pLog)
{
    if constexpr (sl::ValueTraits<T>::isComplex)
    {
        switch (kind)
        {
        case Kind::NR: return sc::createCmplxNRSolver(pLog, 50);
        case Kind::WLS: return sc::createCmplxWLSSolver(pLog, 50);
        case Kind::ODE: return sc::createCmplxODESolver(pLog);
        default: return sc::createCmplxDAESolver(pLog, 50);
        }
    }
    else
    {
        switch (kind)
        {
        case Kind::NR: return sc::createDblNRSolver(pLog, 50);
        case Kind::WLS: return sc::createDblWLSSolver(pLog, 50);
        case Kind::ODE: return sc::createDblODESolver(pLog);
        default: return sc::createDblDAESolver(pLog, 50);
        }
    }
}

// One solver of a kind from its factory, with its messages recorded.
template <typename T> struct Factory
{
    explicit Factory(Kind kind) : pSolver(makeSolver<T>(kind, &log)) {}
    ~Factory() { pSolver->release(); }
    Factory(const Factory&) = delete;
    Factory& operator=(const Factory&) = delete;

    // The text after a three-line header, loaded and built by init.
    bool build(const std::string& body)
    {
        if (!loaded.fromString("Header:\nmaxIter = 50\nend\n" + body))
        {
            ADD_FAILURE() << "load failed:\n" << loaded.errors();
            return false;
        }
        return pSolver->init(&loaded.naming, *loaded.model, true);
    }
    bool fromXml(const std::string& text) { return pSolver->initFromXML(td::String(text.c_str()), 1); }

    // The first positioned key, as "key @line:col".
    std::string firstKeyAt() const
    {
        for (const test::RecordingLog::Message& m : log.messages)
        {
            if (m.slot == test::RecordingLog::Slot::KeyAt)
                return m.text + " @" + std::to_string(m.line) + ":" + std::to_string(m.col);
        }
        return "(none)";
    }
    std::string errorLog() const { return pSolver->getErrorLog().c_str(); }

    test::RecordingLog log;
    test::LoadedModel loaded;
    sc::ISolver<T>* pSolver;
};

std::string at(const char* key, td::UINT4 textLine, td::UINT4 col)
{
    return std::string(key) + " @" + std::to_string(textLine) + ":" + std::to_string(col);
}

template <typename T> class GroupFit : public ::testing::Test
{
};
using Builds = ::testing::Types<double, Cmplx>;
TYPED_TEST_SUITE(GroupFit, Builds);

// Text lines below count from the header's first line: the Model line is line 4.
TYPED_TEST(GroupFit, AGroupOutsideTheModelTypeOrTheSolverKindIsRefusedAtItsHeader)
{
    const std::string nlWithODEs = "Model [type = NL]:\nVars:\nx = 0\nODEs:\nx' = 1\nend\n";
    const std::string wlsWithODEs = "Model [type = WLS]:\nVars:\nx = 0\nWLSEs:\nx = 1\n  ODEs:\nx' = 1\nend\n";
    const struct Case
    {
        std::string body;
        Kind kind;
        const char* key;
        td::UINT4 textLine, col;
        const char* entry;
    } cases[] = {
        {nlWithODEs, Kind::ODE, msg::scGroupNotInModelType, 7, 1,
         "Group ODEs (line @, column 1) does not fit the model's type NL"},
        {nlWithODEs, Kind::DAE, msg::scGroupNotInModelType, 7, 1,
         "Group ODEs (line @, column 1) does not fit the model's type NL"},
        {wlsWithODEs, Kind::WLS, msg::scGroupNotInModelType, 9, 3,
         "Group ODEs (line @, column 3) does not fit the model's type WLS"},
        {wlsWithODEs, Kind::ODE, msg::scGroupNotForSolver, 7, 1,
         "Group WLSEs (line @, column 1) is not read by the ODE solver"},
        // A model line without a type gives no time parameters: it holds no ODEs.
        {"Model:\nVars:\nx = 0\nODEs:\nx' = 1\nend\n", Kind::ODE, msg::scGroupNotInModelType, 7, 1,
         "does not fit the model's type (none)"},
        {"Model [type = ODE]:\nVars:\ny = 0\nu = 1\nTFs:\ny / u = 1/(s + 1)\nend\n", Kind::DAE,
         msg::scGroupNotInModelType, 8, 1, "Group TFs"},
        {"Model [type = NL]:\nVars:\nx = 0\nPDEs:\nx = 1\nend\n", Kind::NR, msg::scGroupNotInModelType, 7, 1,
         "Group PDEs"},
        {"Model [type = NL]:\nVars:\nx = 0\nWLSEs:\nx = 1\nend\n", Kind::NR, msg::scGroupNotInModelType, 7, 1,
         "Group WLSEs"},
        // The type holds the group, the solver does not read it.
        {"Model [type = ODE]:\nVars:\nx = 0\nODEs:\nx' = 1\nend\n", Kind::NR, msg::scGroupNotForSolver, 7, 1,
         "Group ODEs (line @, column 1) is not read by the NR solver"},
        {"Model [type = DAE]:\nVars:\nx = 0\ny = 0\nODEs:\nx' = y\nNLEs:\ny = 1\nend\n", Kind::ODE,
         msg::scGroupNotForSolver, 10, 1, "Group NLEs (line @, column 1) is not read by the ODE solver"},
        {"Model [type = NL]:\nVars:\nx = 0\nNLEs:\nx = 1\nend\n", Kind::WLS, msg::scGroupNotForSolver, 7, 1,
         "is not read by the WLS solver"},
        // The first group of the text that does not fit is named.
        {"Model [type = NL]:\nVars:\ny = 0\nu = 0\nTFs:\ny / u = 1/(s + 1)\nODEs:\nu' = 1\nend\n", Kind::NR,
         msg::scGroupNotInModelType, 8, 1, "Group TFs"},
        // A sub-model's groups are checked against its own line and its own solver.
        {"Model [type = NL]:\nVars:\nx = 0\nSubModel [type = NL]:\nVars:\ny = 0\nNLEs:\ny = 1\n ODEs:\ny' = 1\n"
         "end\nNLEs:\nx = 1\nend\n",
         Kind::NR, msg::scGroupNotInModelType, 12, 2, "Group ODEs (line @, column 2)"},
    };
    for (const Case& c : cases)
    {
        Factory<TypeParam> f(c.kind);
        EXPECT_FALSE(f.build(c.body)) << c.body;
        EXPECT_EQ(f.firstKeyAt(), at(c.key, c.textLine, c.col)) << c.body;
        std::string entry = c.entry;
        if (const std::size_t p = entry.find('@'); p != std::string::npos)
            entry.replace(p, 1, std::to_string(c.textLine));
        EXPECT_NE(f.errorLog().find(entry), std::string::npos) << c.body << "\n" << f.errorLog();
    }

    // Groups that fit build: an ODE model steps in a DAE solver too.
    Factory<TypeParam> dae(Kind::DAE);
    EXPECT_TRUE(dae.build("Model [type = ODE]:\nVars:\nx = 1\nODEs:\nx' = -x\nend\n")) << dae.firstKeyAt();
    Factory<TypeParam> wls(Kind::WLS);
    EXPECT_TRUE(wls.build("Model:\nVars:\nx = 0\nWLSEs:\nx = 1\nx = 2\nECs:\nx = 1.5\nend\n")) << wls.firstKeyAt();
}

TYPED_TEST(GroupFit, AnXmlSectionThatTheDocumentTypeDoesNotReadIsRefused)
{
    const std::string domain = sl::ValueTraits<TypeParam>::isComplex ? "cmplx" : "real";
    auto doc = [&domain](const char* type, const std::string& body) {
        return std::string("<?xml version=\"1.0\"?>\n<Model type=\"") + type + "\" domain=\"" + domain + "\">" +
               "<Vars conj=\"false\"><Var name=\"x\" val=\"1\"/></Vars><Params/>" + body + "</Model>";
    };
    const std::string nl = "<NLEqs><Eq fx=\"x = 1\"/></NLEqs>";
    const std::string ode = "<ODEqs><Eq fx=\"x' = -x\"/></ODEqs>";
    const std::string meas = "<MeasEqs><Eq fx=\"x = 1\"/></MeasEqs>";
    const struct Case
    {
        Kind kind;
        std::string text;
        const char* entry;
    } cases[] = {
        {Kind::NR, doc("NR", nl + ode), "Section ODEqs is not read in a model of type NR!"},
        {Kind::NR, doc("NR", nl + meas), "Section MeasEqs is not read in a model of type NR!"},
        {Kind::ODE, doc("ODE", ode + nl), "Section NLEqs is not read in a model of type ODE!"},
        {Kind::ODE, doc("ODE", ode + "<Limits><Group><Eq fx=\"x = 0\"/></Group></Limits>"),
         "Section Limits is not read in a model of type ODE!"},
        {Kind::WLS, doc("WLS", meas + "<TFs><Eq fx=\"x/x = 1/(s+1)\"/></TFs>"),
         "Section TFs is not read in a model of type WLS!"},
        {Kind::WLS, doc("WLS", meas + "<Init/>"), "Section Init is not read in a model of type WLS!"},
        {Kind::DAE, doc("DAE", ode + "<ECs><Eq fx=\"x = 1\"/></ECs>"),
         "Section ECs is not read in a model of type DAE!"},
        // A child model is an NR model.
        {Kind::NR,
         doc("NR", nl + "<Init><Model name=\"c\" type=\"NR\" domain=\"" + domain +
                       "\"><Vars conj=\"false\"><Var name=\"u\"/></Vars><NLEqs><Eq fx=\"u = 1\"/></NLEqs>" + ode +
                       "</Model></Init>"),
         "Section ODEqs is not read in a model of type NR!"},
    };
    for (const Case& c : cases)
    {
        Factory<TypeParam> f(c.kind);
        EXPECT_FALSE(f.fromXml(c.text)) << c.text;
        EXPECT_NE(f.errorLog().find(c.entry), std::string::npos) << c.text << "\n" << f.errorLog();
    }
    // The sections of the kind build; a document's Stats is only names, which NR passes by.
    Factory<TypeParam> nr(Kind::NR);
    EXPECT_TRUE(nr.fromXml(doc("NR", "<Stats name=\"st\"/>" + nl))) << nr.errorLog();
    Factory<TypeParam> dae(Kind::DAE);
    EXPECT_TRUE(dae.fromXml(doc("DAE", ode + "<Init/>"))) << dae.errorLog();
}
} // namespace
