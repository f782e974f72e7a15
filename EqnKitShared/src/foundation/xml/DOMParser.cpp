#include <xml/DOMParser.h>

#include <cstring>
#include <exception>
#include <memory>
#include <string>

#include <mu/InputFile.h>

namespace xml
{
namespace
{
constexpr char cFileSource[] = "XmlFileParser::parseFile";
constexpr char cMemorySource[] = "SAXParser::parseMemory";

td::String joined(const char* head, const td::String& path, const char* tail = nullptr)
{
    std::string text(head);
    text.append(path.c_str(), path.length());
    if (tail && *tail)
        text.append("\n").append(tail);
    return td::String(text);
}
} // namespace

template <Input IN> DOMParser<IN>::DOMParser() requires(IN == Input::Memory) : DOMReader(cBuckets, 0) {}

template <Input IN> DOMParser<IN>::DOMParser(td::INT4 windowSize) requires(IN == Input::File)
    : DOMReader(cBuckets, windowSize)
{
}

template <Input IN>
bool DOMParser<IN>::parseFile(const td::String& path, mu::IErrorReporter* pReporter) requires(IN == Input::File)
{
    pReporter = reporterFor(pReporter);
    if (_file.is_open())
        _file.close();
    resetParse();
    try
    {
        _file.clear();
        if (!mu::openInputFile(_file, path.c_str()))
        {
            td::String text = joined("Cannot open xml file: ", path);
            report(pReporter, cFileSource, text);
            // No place in a document: line and column -1.
            keepError(mu::ParserException(-1, -1, getLastError().getKind(), text));
            return false;
        }
        std::unique_ptr<char[]> pBuffer(new char[static_cast<std::size_t>(getWindowSize()) + 1]);
        mu::InputSource source{pBuffer.get(), &_file, 0, 0};
        bindInput(&source);
        parseHeader();
        parseDocument();
        bindInput(nullptr);
        _file.close();
        return true;
    }
    catch (const mu::ParserException& e)
    {
        bindInput(nullptr);
        _file.close();
        if (endsCleanly(e))
            return true;
        keepError(e);
        try
        {
            report(pReporter, cFileSource, joined("Cannot parse xml file: ", path, e.getMessage().c_str()));
        }
        catch (...)
        {
        }
    }
    catch (const std::exception& e)
    {
        try
        {
            td::String text = joined("Error parsing xml file: ", path, e.what());
            keepFailure(text);
            report(pReporter, cFileSource, text);
        }
        catch (...)
        {
        }
    }
    catch (...)
    {
        try
        {
            td::String text = joined("Unexpected exception while parsing while parsing xml file: ", path);
            keepFailure(text);
            report(pReporter, cFileSource, text);
        }
        catch (...)
        {
        }
    }
    bindInput(nullptr);
    _file.close();
    return false;
}

template <Input IN> bool DOMParser<IN>::parseMemory(const char* text, mu::IErrorReporter* pReporter,
                                                    bool readHeader) requires(IN == Input::Memory)
{
    pReporter = reporterFor(pReporter);
    resetParse();
    if (!text)
        text = "";
    try
    {
        mu::InputSource source{const_cast<char*>(text), nullptr, std::strlen(text), 0};
        bindInput(&source);
        if (readHeader)
            parseHeader();
        parseDocument();
        bindInput(nullptr);
        return true;
    }
    catch (const mu::ParserException& e)
    {
        bindInput(nullptr);
        if (endsCleanly(e))
            return true;
        keepError(e);
        report(pReporter, cMemorySource, e.getMessage());
        return false;
    }
    catch (const std::exception& e)
    {
        try
        {
            td::String message(std::string("Error parsing xml text: ") + e.what());
            keepFailure(message);
            report(pReporter, cMemorySource, message);
        }
        catch (...)
        {
        }
    }
    catch (...)
    {
        try
        {
            td::String message("Unexpected exception while parsing xml text");
            keepFailure(message);
            report(pReporter, cMemorySource, message);
        }
        catch (...)
        {
        }
    }
    bindInput(nullptr);
    return false;
}

template class DOMParser<Input::File>;
template class DOMParser<Input::Memory>;
} // namespace xml
