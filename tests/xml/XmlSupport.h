// Test helpers of the XML parser: a recording reporter, installed settings, temporary
// files, outcomes of parses through every entry, and an iterative dump of the tree.
#pragma once

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include <mu/AppSettings.h>
#include <xml/DOMParser.h>

namespace test
{
class RecordingReporter final : public mu::IErrorReporter
{
public:
    struct Report
    {
        int type;
        std::string source;
        std::string message;
    };
    void report(int type, const td::String& source, const td::String& message) override
    {
        reports.push_back({type, source.c_str(), std::string(message.c_str(), message.length())});
    }
    std::vector<Report> reports;
};

// Installs settings with the given reporter (or no settings at all) for the scope.
class SettingsScope final : public mu::IAppSettings
{
public:
    explicit SettingsScope(mu::IErrorReporter* pReporter, bool installNone = false) : _pReporter(pReporter)
    {
        _pBefore = mu::setAppSettings(installNone ? nullptr : this);
    }
    ~SettingsScope() { mu::setAppSettings(_pBefore); }
    mu::IErrorReporter* getErrorReporter() override { return _pReporter; }

private:
    mu::IErrorReporter* _pReporter;
    mu::IAppSettings* _pBefore;
};

// A file of the given bytes in a memory file system when there is one (else the test's
// temporary folder), removed with the object.
class TempFile
{
public:
    explicit TempFile(const std::string& bytes = {})
    {
        static int s_counter = 0;
        std::string folder = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm/" : testing::TempDir();
        _path = folder + "xml_" + std::to_string(::getpid()) + "_" + std::to_string(++s_counter) + ".xml";
        write(bytes);
    }
    ~TempFile() { std::remove(_path.c_str()); }
    // A new file each time: truncating one in place can force it to disk first.
    void write(const std::string& bytes) const
    {
        std::remove(_path.c_str());
        std::ofstream out(_path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    const std::string& path() const { return _path; }

private:
    std::string _path;
};

inline std::string withDecl(const std::string& body) { return "<?xml version='1.0'?>" + body; }

// The tree as text: element name, [attributes], 'text', (children); the document's own
// text first as #'text'. Iterative, so that deep trees do not exhaust the stack.
inline std::string dump(const xml::Node& doc)
{
    std::string out;
    auto quoted = [&out](const td::PoolString& text) {
        out += '\'';
        out.append(text.c_str(), text.length());
        out += '\'';
    };
    if (!doc.getText().isEmpty())
    {
        out += '#';
        quoted(doc.getText());
        out += ' ';
    }
    std::vector<const xml::NodeRecord*> resume;
    const xml::NodeRecord* p = doc.getRecord() ? doc.getRecord()->pFirstChild : nullptr;
    bool first = true;
    for (;;)
    {
        if (!p)
        {
            if (resume.empty())
                break;
            out += ')';
            p = resume.back();
            resume.pop_back();
            first = false;
            continue;
        }
        if (!first)
            out += ' ';
        first = false;
        out += p->pName->pName->c_str();
        for (td::LUINT8 i = 0; i < p->nAttribs; ++i)
        {
            out += i == 0 ? "[" : ",";
            out.append(p->pAttribs[i].pName->pName->c_str()).append("=");
            out.append(p->pAttribs[i].value.c_str(), p->pAttribs[i].value.length());
        }
        if (p->nAttribs > 0)
            out += "]";
        if (!p->text.isEmpty())
            quoted(p->text);
        if (p->pFirstChild)
        {
            out += '(';
            resume.push_back(p->pNextSibling);
            p = p->pFirstChild;
            first = true;
        }
        else
            p = p->pNextSibling;
    }
    return out;
}

struct Outcome
{
    bool ok = false;
    std::string tree; // the dump after a success
    std::string message;
    int line = -1;
    int column = -1;
    int kind = -1;
    bool operator==(const Outcome&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Outcome& o)
{
    if (o.ok)
        return os << "ok {" << o.tree << "}";
    return os << "error '" << o.message << "' line " << o.line << " column " << o.column << " kind " << o.kind;
}

inline Outcome outcomeOf(const xml::DOMReader& parser, bool ok)
{
    Outcome o;
    o.ok = ok;
    if (ok)
    {
        o.tree = dump(parser.getDocument());
        return o;
    }
    const mu::ParserException& e = parser.getLastError();
    o.message.assign(e.getMessage().c_str(), e.getMessage().length());
    o.line = e.getLine();
    o.column = e.getColumn();
    o.kind = e.getKind();
    return o;
}

// Parses quietly (a reporter of its own) so that tests do not write to standard error.
inline Outcome parseText(const std::string& text, bool readHeader = true)
{
    RecordingReporter quiet;
    SAXParser parser;
    return outcomeOf(parser, parser.parseMemory(text.c_str(), &quiet, readHeader));
}

inline Outcome parseAsFile(const std::string& bytes, int window)
{
    RecordingReporter quiet;
    TempFile file(bytes);
    XmlFileParser parser(window);
    return outcomeOf(parser, parser.parseFile(td::String(file.path()), &quiet));
}

// The text through parseMemory (with the declaration) and through parseFile with windows
// of 10, 13 and 4096 bytes; all four must agree.
inline Outcome parseEverywhere(const std::string& text)
{
    Outcome o = parseText(text);
    for (int window : {10, 13, 4096})
        EXPECT_EQ(parseAsFile(text, window), o) << "window " << window << " of: " << text;
    return o;
}
} // namespace test
