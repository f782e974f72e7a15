// A bounded fuzz run over the road from model text to derivative: mutants of the example
// and test models are loaded and every statement is built; nothing may crash, fail
// without a message, or report a line that the text does not have.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ModelBuildSupport.h"
#include "support/ModelTextMutator.h"

namespace
{
// Four shards of 5,000 mutants, each from its own fixed seed, so that they run in parallel.
constexpr int cShards = 4;
constexpr int cMutantsPerShard = 5000;
constexpr std::uint32_t cSeed = 20240611u;

using test::Mutator;
using test::readModels;

std::vector<std::string> seedModels()
{
    std::vector<std::string> seeds = readModels(EQNKIT_EXAMPLE_MODELS);
    for (std::string& text : readModels(std::string(EQNKIT_TEST_DATA) + "/frontend"))
        seeds.push_back(std::move(text));
    return seeds;
}

std::string excerpt(const std::string& text) { return text.size() <= 600 ? text : text.substr(0, 600) + "..."; }

TEST(ModelTextFuzz, SeedModelsBuildWithoutFindings)
{
    for (const std::string& text : seedModels())
    {
        test::ModelText model;
        EXPECT_TRUE(test::buildModelText(model, text)) << model.log.messages.front().text << "\n" << text;
        EXPECT_TRUE(model.silentFailures.empty()) << text;
        EXPECT_TRUE(model.misplacedMessages().empty()) << text;
        EXPECT_GT(model.nEvaluated, 0u) << text;
    }
}

class ModelTextFuzzShard : public testing::TestWithParam<int>
{
};

TEST_P(ModelTextFuzzShard, MutantsLoadAndBuildOrReportAtALine)
{
    const std::vector<std::string> seeds = seedModels();
    ASSERT_GE(seeds.size(), 7u);
    Mutator mutator(seeds, cSeed + static_cast<std::uint32_t>(GetParam()));
    constexpr int cMutants = cMutantsPerShard;
    int nLoaded = 0;
    td::UINT4 nEvaluated = 0;
    int nFindings = 0;
    for (int i = 0; i < cMutants && nFindings < 10; ++i)
    {
        const std::string text = mutator.next();
        test::ModelText model;
        nLoaded += test::buildModelText(model, text) ? 1 : 0;
        nEvaluated += model.nEvaluated;
        const std::vector<std::string> misplaced = model.misplacedMessages();
        if (model.silentFailures.empty() && misplaced.empty())
            continue;
        ++nFindings;
        ADD_FAILURE() << "mutant " << i << ": " << (model.silentFailures.empty() ? "" : model.silentFailures[0])
                      << (misplaced.empty() ? "" : misplaced[0]) << "\n"
                      << excerpt(text);
    }
    // Enough mutants must get through the load to test the builder.
    EXPECT_GT(nLoaded, cMutants / 5);
    EXPECT_GT(nEvaluated, static_cast<td::UINT4>(cMutants));
}

INSTANTIATE_TEST_SUITE_P(ModelTextFuzz, ModelTextFuzzShard, testing::Range(0, cShards));
} // namespace
