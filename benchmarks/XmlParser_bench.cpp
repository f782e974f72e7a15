// Megabytes per second of the XML parser over generated model documents of 1, 4 and 16 MB,
// through the text entry and the file entry; equal rates mean time linear in size.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include <benchmark/benchmark.h>

#include <xml/DOMParser.h>

namespace
{
// A model document with Vars, Params and NLEqs sections of thousands of elements each,
// grown until it holds at least the given number of bytes.
std::string modelDocument(std::size_t bytes)
{
    std::string vars, params, eqs;
    for (int i = 0; vars.size() + params.size() + eqs.size() < bytes; ++i)
    {
        std::string n = std::to_string(i);
        vars += "    <Var name=\"v" + n + "\" val=\"1." + n + "\"/>\n";
        if (i % 4 == 0)
            params += "    <Param name=\"p" + n + "\" val=\"0.5\"/>\n";
        eqs += "    <Eq fx=\"v" + n + "^2 + 2*v" + std::to_string(i + 1) + " - p" + std::to_string(i / 4 * 4) +
               " * cos(v" + n + ") &lt; 1e-3\"/>\n";
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Model type=\"NR\" domain=\"real\" desc=\"generated\">\n"
           "  <Vars out=\"true\">\n" +
           vars + "  </Vars>\n  <Params>\n" + params + "  </Params>\n  <NLEqs>\n" + eqs + "  </NLEqs>\n</Model>\n";
}

const std::string& document(std::size_t megabytes)
{
    static std::map<std::size_t, std::string> s_documents;
    std::string& doc = s_documents[megabytes];
    if (doc.empty())
        doc = modelDocument(megabytes << 20);
    return doc;
}

class TempDocument
{
public:
    explicit TempDocument(const std::string& text)
        : _path(
              (std::filesystem::temp_directory_path() / ("xml_bench_" + std::to_string(text.size()) + ".xml")).string())
    {
        std::ofstream(_path, std::ios::binary).write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    ~TempDocument() { std::remove(_path.c_str()); }
    const std::string& path() const { return _path; }

private:
    std::string _path;
};

void setRates(benchmark::State& state, std::size_t bytes)
{
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes));
    state.counters["MB/s"] =
        benchmark::Counter(static_cast<double>(bytes) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void parseMemory(benchmark::State& state)
{
    const std::string& doc = document(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state)
    {
        SAXParser parser;
        if (!parser.parseMemory(doc.c_str(), nullptr, true))
            state.SkipWithError("the document did not parse");
        benchmark::DoNotOptimize(parser.getDocument().getFirstChild().getRecord());
    }
    setRates(state, doc.size());
}

void parseFile(benchmark::State& state)
{
    const std::string& doc = document(static_cast<std::size_t>(state.range(0)));
    TempDocument file(doc);
    td::String path(file.path());
    for (auto _ : state)
    {
        XmlFileParser parser;
        if (!parser.parseFile(path, nullptr))
            state.SkipWithError("the document did not parse");
        benchmark::DoNotOptimize(parser.getDocument().getFirstChild().getRecord());
    }
    setRates(state, doc.size());
}
} // namespace

BENCHMARK(parseMemory)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);
BENCHMARK(parseFile)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);
