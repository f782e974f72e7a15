// Fails the n-th allocation (or every one from the n-th on) while a parse runs, for every
// n until a parse runs through: each entry must return false with a report, never throw.
#include "XmlSupport.h"

#include <cstdlib>
#include <new>

namespace
{
long s_countdown = -1; // allocations left before the failure; -1 disarmed
bool s_keepFailing = false;
bool s_fired = false;

void* allocate(std::size_t n)
{
    if (s_countdown == 0)
    {
        s_fired = true;
        if (!s_keepFailing)
            s_countdown = -1;
        throw std::bad_alloc();
    }
    if (s_countdown > 0)
        --s_countdown;
    void* p = std::malloc(n ? n : 1);
    if (!p)
        throw std::bad_alloc();
    return p;
}
} // namespace

void* operator new(std::size_t n) { return allocate(n); }
void* operator new[](std::size_t n) { return allocate(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace
{
void arm(long n, bool keepFailing)
{
    s_fired = false;
    s_keepFailing = keepFailing;
    s_countdown = n;
}

bool disarm()
{
    s_countdown = -1;
    return s_fired;
}

std::string sampleDocument()
{
    std::string doc = "<?xml version='1.0'?>\n<Model type='NR'>\n<Vars>";
    for (int i = 0; i < 40; ++i)
        doc += "<Var name='v" + std::to_string(i) + "' val='" + std::string(30, 'x') + "'/>";
    doc += "</Vars>\n<Text>" + std::string(2000, 't') + "</Text></Model>";
    return doc;
}

template <typename Parse> void failEveryAllocation(Parse&& parse, const std::string& expectedStart)
{
    for (bool keepFailing : {false, true})
        for (long n = 0;; ++n)
        {
            ASSERT_LT(n, 1000) << "the parse never ran through";
            test::RecordingReporter reporter;
            reporter.reports.reserve(4);
            bool ok = parse(reporter, n, keepFailing);
            if (!disarm())
            {
                EXPECT_TRUE(ok);
                EXPECT_TRUE(reporter.reports.empty());
                // Pools, name entries, the token buffer's growth and the texts all allocate.
                EXPECT_GE(n, 5);
                break;
            }
            EXPECT_FALSE(ok) << n;
            if (keepFailing)
                continue;
            ASSERT_EQ(reporter.reports.size(), 1u) << n;
            EXPECT_EQ(reporter.reports[0].message.rfind(expectedStart, 0), 0u) << reporter.reports[0].message;
        }
}

TEST(XmlEntries, OutOfMemoryIsAFailedParse)
{
    const std::string doc = sampleDocument();
    failEveryAllocation(
        [&](test::RecordingReporter& reporter, long n, bool keepFailing) {
            SAXParser parser;
            arm(n, keepFailing);
            bool ok = parser.parseMemory(doc.c_str(), &reporter, true);
            if (!ok && !keepFailing)
            {
                EXPECT_STREQ(parser.getLastError().getMessage().c_str(), "Error parsing xml text: std::bad_alloc");
            }
            return ok;
        },
        "Error parsing xml text: std::bad_alloc");
    test::TempFile file(doc);
    failEveryAllocation(
        [&](test::RecordingReporter& reporter, long n, bool keepFailing) {
            XmlFileParser parser(64);
            td::String path(file.path());
            arm(n, keepFailing);
            return parser.parseFile(path, &reporter);
        },
        "Error parsing xml file: " + file.path() + "\nstd::bad_alloc");
}
} // namespace
