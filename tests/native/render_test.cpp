#include "terminal/log_join.h"
#include "terminal/render.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

// Emitted lines as (text, open), and a tiny terminal log that joins them.
std::vector<std::pair<std::string, int>> g_emitted;
std::vector<std::string> g_log;
int g_continuation = 0;
int g_width = 80;

void Record(const char* line, int open)
{
    g_emitted.emplace_back(line, open);
}

void AppendToLog(const char* line, int open)
{
    AppendPlan plan = PlanAppend(g_log.empty() ? nullptr : g_log.back().c_str(),
                                 g_continuation, line, g_width);
    if (plan.replaceLast)
        g_log.back() = plan.last;
    if (plan.addExtra)
        g_log.push_back(plan.extra);
    g_continuation = open;
}

class Render : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_emitted.clear();
        g_log.clear();
        g_continuation = 0;
        g_width = 80;
    }

    static void Emit(const std::string& chunk, int width = 80)
    {
        RenderReceivedData(static_cast<int>(chunk.size()),
                           reinterpret_cast<const unsigned char*>(chunk.data()), width, Record);
    }

    static void Receive(const std::string& chunk)
    {
        RenderReceivedData(static_cast<int>(chunk.size()),
                           reinterpret_cast<const unsigned char*>(chunk.data()), g_width, AppendToLog);
    }
};

using Lines = std::vector<std::pair<std::string, int>>;

}  // namespace

TEST_F(Render, ControlBytesBecomeHexTokensAndLineFeedClosesTheLine)
{
    Emit("OK\r\n");
    EXPECT_EQ(g_emitted, (Lines{{"OK<0D><0A>", 0}}));

    g_emitted.clear();
    Emit("a\fb\x08");
    EXPECT_EQ(g_emitted, (Lines{{"a<0C>", 0}, {"b<08>", 1}}));
}

TEST_F(Render, DisplayableRanges)
{
    Emit(std::string("~\xB1 }\x7F\x9F\xA0\xDF\xE0\xFF\x1F", 11));
    EXPECT_EQ(g_emitted, (Lines{{"<7E>\xB1 }<7F><9F>\xA0\xDF<E0><FF><1F>", 1}}));
}

TEST_F(Render, ZeroBytesAreSkipped)
{
    Emit(std::string(16, '\0'));
    EXPECT_TRUE(g_emitted.empty());

    Emit(std::string("A\0B", 3));
    EXPECT_EQ(g_emitted, (Lines{{"AB", 1}}));
}

TEST_F(Render, LinesAreCutAtTheWidth)
{
    Emit(std::string(100, 'A'));
    EXPECT_EQ(g_emitted, (Lines{{std::string(80, 'A'), 1}, {std::string(20, 'A'), 1}}));

    g_emitted.clear();
    Emit(std::string(79, 'A') + "\x1B");
    EXPECT_EQ(g_emitted, (Lines{{std::string(79, 'A') + "<1B>", 1}}));

    g_emitted.clear();
    Emit(std::string(79, 'A') + "\n");
    EXPECT_EQ(g_emitted, (Lines{{std::string(79, 'A') + "<0A>", 0}}));
}

TEST_F(Render, ChunksJoinInTheLog)
{
    Receive("ABC");
    Receive("DEF\n");
    EXPECT_EQ(g_log, (std::vector<std::string>{"ABCDEF<0A>"}));
    EXPECT_EQ(g_continuation, 0);

    Receive("GHI");
    Receive("JKL");
    EXPECT_EQ(g_log, (std::vector<std::string>{"ABCDEF<0A>", "GHIJKL"}));
    EXPECT_EQ(g_continuation, 1);
}

TEST_F(Render, AnyWidthIsSafe)
{
    for (int width : {0, -5}) {
        g_emitted.clear();
        Emit("ab\n", width);
        EXPECT_EQ(g_emitted, (Lines{{"a", 1}, {"b", 1}, {"<0A>", 0}})) << width;
    }
    g_emitted.clear();
    Emit(std::string(3000, 'A') + "\n" + "B", 2000000000);
    EXPECT_EQ(g_emitted, (Lines{{std::string(3000, 'A') + "<0A>", 0}, {"B", 1}}));
}

TEST_F(Render, EmptyOrMissingChunkEmitsNothing)
{
    const unsigned char byte = 'A';
    EXPECT_EQ(RenderReceivedData(0, &byte, 80, Record), 1);
    EXPECT_EQ(RenderReceivedData(-1, &byte, 80, Record), 1);
    EXPECT_EQ(RenderReceivedData(5, nullptr, 80, Record), 1);
    EXPECT_TRUE(g_emitted.empty());
}
