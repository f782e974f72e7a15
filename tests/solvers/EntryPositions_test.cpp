// Where a solver's error log says a problem stands: the line of the model text counted from
// its first line, in the main model and in a sub-model; and a document the XML entry
// refuses is the solver's to report, at its line, never the process's standard error.
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "SolverSupport.h"
#include "support/ScratchPath.h"

namespace
{
using test::Cmplx;

std::string domainOf(bool complex) { return complex ? ", domain = cmplx" : ""; }

template <typename T> void expectEntriesAtTheStatementsLine()
{
    const std::string domain = domainOf(sl::ValueTraits<T>::isComplex);
    struct Case
    {
        std::string header;
        td::UINT4 headerLines;
    } headers[] = {{"Header:\nmaxIter = 50\nend\n", 3}, {"Header:\n// positions\nmaxIter = 50\n\nend\n", 5}};
    for (const Case& h : headers)
    {
        // The statement that cannot be differentiated: the fifth line after the model line in
        // the main model, the seventh in the sub-model, whose log comes first behind a line
        // break; both begin in column 3, with round in column 7.
        const std::string main =
            h.header + "Model [type = NL" + domain + "]:\nVars:\nx = 1; y = 1\nNLEs:\nx = 2\n  y = round(x, 2)\nend\n";
        const std::string sub = h.header + "Model [type = NL" + domain +
                                "]:\nVars:\nx = 1\nSubModel [type = NL]:\nVars:\nu = 0\nNLEs:\n  u = round(u, 1)\n"
                                "end\nNLEs:\nx = 1\nend\n";
        const std::string entry =
            ",NLEqs):Function round cannot be differentiated and thus cannot be used as part of NLEqs!";
        for (const auto& [text, line, lead] :
             {std::tuple{main, h.headerLines + 6, ""}, std::tuple{sub, h.headerLines + 8, "\n"}})
        {
            test::BuiltSolver<T> b;
            EXPECT_FALSE(b.build(text)) << text;
            EXPECT_EQ(std::string(b.pSolver->getErrorLog().c_str()), lead + ("(" + std::to_string(line) + entry))
                << text;
            // The keys stand there too: the derivative's at round, the statement's at its
            // first token.
            ASSERT_GE(b.log.messages.size(), 2u) << text;
            EXPECT_EQ(b.log.messages[0].text, "@ET.CantDiff");
            EXPECT_EQ(b.log.messages[0].line, line) << text;
            EXPECT_EQ(b.log.messages[0].col, 7u) << text;
            EXPECT_EQ(b.log.messages[1].text, "@ET.ErrDifEqua");
            EXPECT_EQ(b.log.messages[1].line, line) << text;
            EXPECT_EQ(b.log.messages[1].col, 3u) << text;
        }
    }
}

TEST(EntryPositions, ErrorLogEntriesStandAtTheStatementsLine)
{
    expectEntriesAtTheStatementsLine<double>();
    expectEntriesAtTheStatementsLine<Cmplx>();
}

// A solver of each kind from its factory, with the logger given.
template <typename T> std::vector<std::function<sc::ISolver<T>*(sc::ILog*)>> factories()
{
    if constexpr (sl::ValueTraits<T>::isComplex)
        return {[](sc::ILog* p) { return sc::createCmplxNRSolver(p, 50); },
                [](sc::ILog* p) { return sc::createCmplxWLSSolver(p, 50); },
                [](sc::ILog* p) { return sc::createCmplxDAESolver(p, 50); },
                [](sc::ILog* p) { return sc::createCmplxODESolver(p); }};
    else
        return {[](sc::ILog* p) { return sc::createDblNRSolver(p, 50); },
                [](sc::ILog* p) { return sc::createDblWLSSolver(p, 50); },
                [](sc::ILog* p) { return sc::createDblDAESolver(p, 50); },
                [](sc::ILog* p) { return sc::createDblODESolver(p); }};
}

template <typename T> void expectXmlRefusalsOfTheSolverAlone()
{
    // The Var element is closed by Vars on the document's third line.
    const std::string broken =
        "<?xml version=\"1.0\"?>\n<Model type=\"NR\">\n<Vars><Var name=\"x\"></Vars>\n</Model>\n";
    // The entry stands at that line too.
    const std::string entry = "(3,Other):Line no=3: Unexpected closing element name: 'Vars'. Expected: 'Var'";
    const std::string path = test::scratchPath("brokenDocument.xml");
    std::ofstream(path, std::ios::binary) << broken;
    for (const auto& make : factories<T>())
    {
        for (bool withLogger : {true, false})
        {
            for (int kind : {1, 0})
            {
                test::RecordingLog log;
                sc::ISolver<T>* pSolver = make(withLogger ? &log : nullptr);
                testing::internal::CaptureStderr();
                EXPECT_FALSE(pSolver->initFromXML(td::String(kind == 1 ? broken : path), kind));
                EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << kind;
                const std::string errors = pSolver->getErrorLog().c_str();
                EXPECT_NE(errors.find(entry), std::string::npos) << kind << "\n" << errors;
                pSolver->release();
                if (!withLogger)
                    continue;
                // The parser's report reaches the solver's logger instead.
                bool reported = false;
                for (const test::RecordingLog::Message& m : log.messages)
                    reported = reported || m.text.find("Unexpected closing element name") != std::string::npos;
                EXPECT_TRUE(reported) << kind;
            }
        }
    }
    std::remove(path.c_str());
}

TEST(EntryPositions, AMalformedXmlDocumentIsTheSolversToReport)
{
    expectXmlRefusalsOfTheSolverAlone<double>();
    expectXmlRefusalsOfTheSolverAlone<Cmplx>();
}
} // namespace

namespace
{
// The first entry of the error log after the document is handed to a fresh NR solver.
template <typename T> std::string firstEntry(const std::string& doc)
{
    test::RecordingLog log;
    sc::ISolver<T>* pSolver = factories<T>()[0](&log);
    EXPECT_FALSE(pSolver->initFromXML(td::String(doc), 1)) << doc;
    const std::string errors = pSolver->getErrorLog().c_str();
    pSolver->release();
    return errors.substr(0, errors.find('\n'));
}

// The line (from 1) of the one line of text that holds part.
td::UINT4 lineOf(const std::string& text, const std::string& part)
{
    const std::size_t at = text.find(part);
    EXPECT_NE(at, std::string::npos) << part;
    EXPECT_EQ(text.find(part, at + 1), std::string::npos) << "twice: " << part;
    td::UINT4 line = 1;
    for (std::size_t i = 0; i < at && at != std::string::npos; ++i)
        line += text[i] == '\n';
    return line;
}

// Each entry about one element of an XML document stands at that element's line; the
// element stands alone on its line in the document (its fourth or later).
template <typename T> void expectEntriesAtTheElementsLine()
{
    const std::string domain = sl::ValueTraits<T>::isComplex ? " domain=\"cmplx\"" : "";
    const std::string vars = sl::ValueTraits<T>::isComplex ? "<Vars conj=\"false\">\n" : "<Vars>\n";
    auto doc = [&](const std::string& params, const std::string& eqs, const std::string& sections) {
        return "<?xml version=\"1.0\"?>\n<Model type=\"NR\"" + domain + ">\n" + vars +
               "<Var name=\"x\" val=\"1\"/>\n<Var name=\"y\" val=\"1\"/>\n</Vars>\n<Params>\n" + params +
               "</Params>\n<NLEqs>\n" + eqs + "</NLEqs>\n" + sections + "</Model>\n";
    };
    const std::string eqs = "<Eq fx=\"x = 1\"/>\n<Eq fx=\"y = 2\"/>\n";
    const std::string p = "<Param name=\"p\" val=\"1\"/>\n";
    const struct Case
    {
        const char* what;
        std::string doc;
        std::string element; // the element's text, alone on its line
        const char* entry;   // the start of the entry's text after its line and section
    } cases[] = {
        {"an Eq without fx", doc(p, "<Eq fx=\"x = 1\"/>\n  <Eq/>\n", ""), "  <Eq/>", "Equation is neither condition"},
        {"a misspelled fx", doc(p, "<Eq fx=\"x = 1\"/>\n<Eq fX=\"y = 2\"/>\n", ""), "<Eq fX=\"y = 2\"/>",
         "Equation is neither condition"},
        {"an unknown name", doc(p, "<Eq fx=\"x = 1\"/>\n<Eq fx=\"y = q\"/>\n", ""), "<Eq fx=\"y = q\"/>",
         "Unknown variable or parameter: q"},
        {"a function without a derivative", doc(p, "<Eq fx=\"x = 1\"/>\n<Eq fx=\"y = round(x, 1)\"/>\n", ""),
         "<Eq fx=\"y = round(x, 1)\"/>", "Function round cannot be differentiated"},
        {"a comparison as an equation", doc(p, "<Eq fx=\"x = 1\"/>\n<Eq fx=\"y == 2\"/>\n", ""), "<Eq fx=\"y == 2\"/>",
         "Equation is a comparison"},
        {"a PreProc assignment to an undeclared name", doc(p, eqs, "<PreProc>\n<Eq fx=\"zz = 1\"/>\n</PreProc>\n"),
         "<Eq fx=\"zz = 1\"/>", "Variable was not declared:zz"},
        {"a limit bound that is not a number",
         doc("<Param name=\"ymax\" val=\"0/0\"/>\n", "<Eq fx=\"x = 1\"/>\n<Eq fx=\"y = lim(2, 0, ymax)\"/>\n", ""),
         "<Eq fx=\"y = lim(2, 0, ymax)\"/>", "Bound ymax of a limit function is not a number!"},
        {"a name declared twice", doc("<Param name=\"p\"/>\n <Param name=\"p\"/>\n", eqs, ""), " <Param name=\"p\"/>",
         "Param"},
    };
    for (const Case& c : cases)
    {
        const std::string first = firstEntry<T>(c.doc);
        const std::string at = "(" + std::to_string(lineOf(c.doc, "\n" + c.element + "\n") + 1) + ",";
        EXPECT_EQ(first.substr(0, at.size()), at) << c.what << "\n" << first << "\n" << c.doc;
        EXPECT_NE(first.find(c.entry), std::string::npos) << c.what << "\n" << first;
    }
}

TEST(EntryPositions, XmlEntriesStandAtTheElementsLine)
{
    expectEntriesAtTheElementsLine<double>();
    expectEntriesAtTheElementsLine<Cmplx>();
}
} // namespace
