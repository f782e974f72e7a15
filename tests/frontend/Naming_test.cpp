#include <sc/Naming.h>

#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace
{
using sc::ModelLevel;
using sc::Naming;
using sc::UserLabel;

// Enters a name the way the declarations reader does: pooled text, next index.
void declare(Naming& naming, UserLabel kind, ModelLevel level, const char* name)
{
    Naming::SymbolMap* pMap =
        level == ModelLevel::Main ? naming.getUserSymbolMap(kind) : naming.getUserSymbolSubModelMap(kind);
    td::PoolString key;
    td::PoolString::allocateIn(*naming.getStringMemManager(), key, static_cast<unsigned>(std::strlen(name)), name);
    unsigned pos = static_cast<unsigned>(pMap->size());
    pMap->emplace(key, pos);
}

struct Probe
{
    Naming& naming;
    td::PoolString text;
    const td::PoolString* operator()(const char* name)
    {
        text = td::PoolString();
        td::PoolString::allocateIn(*naming.getStringMemManager(), text, static_cast<unsigned>(std::strlen(name)), name);
        return &text;
    }
};

unsigned chunkCount(Naming& naming)
{
    unsigned n = 0;
    naming.getStringMemManager()->forEachChunk([&n](td::UINT4) { ++n; });
    return n;
}

TEST(Naming, FreshTableAnswersEmpty)
{
    Naming naming;
    Probe probe{naming, {}};
    for (ModelLevel level : {ModelLevel::Main, ModelLevel::Sub})
    {
        EXPECT_EQ(naming.getNumberOfVars(level), 0u);
        EXPECT_EQ(naming.getNumberOfParams(level), 0u);
        for (UserLabel kind : {UserLabel::Var, UserLabel::Param, UserLabel::Distrib, UserLabel::Stat})
        {
            EXPECT_EQ(naming.getNumberOfUserLabels(kind, level), 0u);
            EXPECT_EQ(naming.getUserLabelPos(kind, probe("x"), level), -1);
        }
        EXPECT_EQ(naming.getNumberOfUserLabels(UserLabel::Last, level), 0u);
        EXPECT_EQ(naming.getUserLabelName(UserLabel::Last, 0, level), nullptr);
    }
    EXPECT_EQ(naming.getVarPos(nullptr, ModelLevel::Main), -1);
}

TEST(Naming, PositionsAndLevelsAreIndependent)
{
    Naming naming;
    Probe probe{naming, {}};
    declare(naming, UserLabel::Var, ModelLevel::Main, "x");
    declare(naming, UserLabel::Var, ModelLevel::Main, "y");
    declare(naming, UserLabel::Param, ModelLevel::Main, "a");
    declare(naming, UserLabel::Stat, ModelLevel::Main, "st");
    declare(naming, UserLabel::Var, ModelLevel::Sub, "y");
    naming.buildNamePositions();

    struct Case
    {
        UserLabel kind;
        ModelLevel level;
        const char* name;
        int pos;
    } cases[] = {
        {UserLabel::Var, ModelLevel::Main, "x", 0},    {UserLabel::Var, ModelLevel::Main, "y", 1},
        {UserLabel::Param, ModelLevel::Main, "a", 0},  {UserLabel::Stat, ModelLevel::Main, "st", 0},
        {UserLabel::Var, ModelLevel::Sub, "y", 0},     {UserLabel::Var, ModelLevel::Sub, "x", -1},
        {UserLabel::Param, ModelLevel::Main, "x", -1}, {UserLabel::Param, ModelLevel::Sub, "a", -1},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(naming.getUserLabelPos(c.kind, probe(c.name), c.level), c.pos) << c.name;
        if (c.pos >= 0)
        {
            EXPECT_STREQ(naming.getUserLabelName(c.kind, static_cast<unsigned>(c.pos), c.level)->c_str(), c.name);
        }
    }
    EXPECT_STREQ(naming.getVarName(1, ModelLevel::Main)->c_str(), "y");
    EXPECT_STREQ(naming.getParamName(0, ModelLevel::Main)->c_str(), "a");
    EXPECT_EQ(naming.getNumberOfVars(ModelLevel::Sub), 1u);
    EXPECT_EQ(naming.getVarPos(probe(""), ModelLevel::Main), -1);
    EXPECT_DEATH(naming.getVarName(2, ModelLevel::Main), "pos < _size");
}

TEST(Naming, CleanEmptiesEverything)
{
    Naming naming;
    Probe probe{naming, {}};
    declare(naming, UserLabel::Var, ModelLevel::Main, "x");
    declare(naming, UserLabel::Param, ModelLevel::Sub, "p");
    declare(naming, UserLabel::Distrib, ModelLevel::Sub, "d");
    td::PoolString dup;
    td::PoolString::allocateIn(*naming.getStringMemManager(), dup, 1, "x");
    naming.getDuplicatedVarsAndParams()[0].insert(dup);
    naming.buildNamePositions();
    ASSERT_GT(chunkCount(naming), 0u);

    naming.clean();
    EXPECT_EQ(chunkCount(naming), 0u);
    for (int k = 0; k < 4; ++k)
    {
        EXPECT_TRUE(naming.getUserLabels()[k].empty());
        EXPECT_TRUE(naming.getUserSubModelLabels()[k].empty());
        EXPECT_TRUE(naming.getDuplicatedVarsAndParams()[k].empty());
    }
    EXPECT_DEATH(naming.getVarName(0, ModelLevel::Main), "pos < _size");
    EXPECT_EQ(naming.getVarPos(probe("x"), ModelLevel::Main), -1);
}

TEST(Naming, ListingOfVariablesAndParameters)
{
    Naming naming;
    declare(naming, UserLabel::Var, ModelLevel::Main, "x");
    std::ostringstream os;
    naming.showVarsAndParams(os);
    EXPECT_EQ(os.str(), "MMVars size=1\n--------------\nx pos=0\n--------------\n\n"
                        "MMParams size=0\n--------------\n\n"
                        "SMVars size=0\n--------------\n--------------\n\n"
                        "SMParams size=0\n--------------\n");

    declare(naming, UserLabel::Param, ModelLevel::Sub, "k");
    std::ostringstream os2;
    naming.showVarsAndParams(os2);
    EXPECT_NE(os2.str().find("SMParams size=1\n--------------\nk pos=0\n"), std::string::npos);
}

TEST(Naming, MovedTableOutlivesItsSource)
{
    Naming* pSource = new Naming;
    declare(*pSource, UserLabel::Var, ModelLevel::Main, "x");
    declare(*pSource, UserLabel::Param, ModelLevel::Sub, "p");
    pSource->buildNamePositions();
    Naming moved(std::move(*pSource));
    delete pSource;
    EXPECT_STREQ(moved.getVarName(0, ModelLevel::Main)->c_str(), "x");
    EXPECT_STREQ(moved.getParamName(0, ModelLevel::Sub)->c_str(), "p");
}
} // namespace
