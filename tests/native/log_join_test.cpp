#include "terminal/log_join.h"

#include <gtest/gtest.h>

#include <string>

TEST(ClampLineWidth, KeepsUsualWidthsAndClampsSettingsValues)
{
    EXPECT_EQ(ClampLineWidth(80), 80);
    EXPECT_EQ(ClampLineWidth(132), 132);
    EXPECT_EQ(ClampLineWidth(1024), 1024);
    EXPECT_EQ(ClampLineWidth(1025), 1024);
    EXPECT_EQ(ClampLineWidth(2000000000), 1024);
    EXPECT_EQ(ClampLineWidth(0), 1);
    EXPECT_EQ(ClampLineWidth(-5), 1);
}

TEST(IsJoinableLine, EveryMarkerBlocksJoining)
{
    EXPECT_TRUE(IsJoinableLine("AAAA<0D>"));
    EXPECT_TRUE(IsJoinableLine(""));
    for (const char* line : {"a:b", "Send", "xError", "error!", "ERROR", "AB<04>", "<1B>%-12345X@PJL"})
        EXPECT_FALSE(IsJoinableLine(line)) << line;
    EXPECT_TRUE(IsJoinableLine("<1B>%-1234"));
    EXPECT_FALSE(IsJoinableLine(nullptr));
}

TEST(PlanAppend, OpenLineOf40Plus50At80GivesFullLineAnd10More)
{
    std::string last(40, 'a'), text(50, 'b');
    AppendPlan plan = PlanAppend(last.c_str(), 1, text.c_str(), 80);
    EXPECT_EQ(plan.replaceLast, 1);
    EXPECT_EQ(plan.last, last + std::string(40, 'b'));
    EXPECT_EQ(plan.addExtra, 1);
    EXPECT_EQ(plan.extra, std::string(10, 'b'));
}

TEST(PlanAppend, TextThatFitsExtendsTheLastLineOnly)
{
    AppendPlan plan = PlanAppend("ABC", 1, "DEF<0A>", 80);
    EXPECT_EQ(plan.replaceLast, 1);
    EXPECT_EQ(plan.last, "ABCDEF<0A>");
    EXPECT_EQ(plan.addExtra, 0);

    std::string last(75, 'a');
    plan = PlanAppend(last.c_str(), 1, "bbbbb", 80);
    EXPECT_EQ(plan.last.size(), 80u);
    EXPECT_EQ(plan.addExtra, 0);
}

TEST(PlanAppend, TextIsAddedAsNewLineWhenJoiningIsNotAllowed)
{
    std::string open40(40, 'a');
    struct Case { const char* name; std::string last; int continuation; };
    const Case cases[] = {
        {"continuation clear", open40, 0},
        {"colon", open40 + ":", 1},
        {"<04>", open40 + "<04>", 1},
        {"exactly the width", std::string(80, 'a'), 1},
        {"longer than the width", std::string(83, 'a'), 1},
    };
    for (const Case& c : cases) {
        AppendPlan plan = PlanAppend(c.last.c_str(), c.continuation, "xyz", 80);
        EXPECT_EQ(plan.replaceLast, 0) << c.name;
        EXPECT_EQ(plan.addExtra, 1) << c.name;
        EXPECT_EQ(plan.extra, "xyz") << c.name;
    }
    AppendPlan empty = PlanAppend(nullptr, 1, "xyz", 80);
    EXPECT_EQ(empty.replaceLast, 0);
    EXPECT_EQ(empty.extra, "xyz");
}

TEST(PlanAppend, AnyWidthIsSafe)
{
    for (int width : {0, -5}) {
        AppendPlan plan = PlanAppend("abc", 1, "def", width);
        EXPECT_EQ(plan.replaceLast, 0) << width;
        EXPECT_EQ(plan.extra, "def") << width;
    }
    AppendPlan huge = PlanAppend("abc", 1, "def", 2000000000);
    EXPECT_EQ(huge.replaceLast, 1);
    EXPECT_EQ(huge.last, "abcdef");
    EXPECT_EQ(huge.addExtra, 0);

    AppendPlan noText = PlanAppend("abc", 1, nullptr, 80);
    EXPECT_EQ(noText.last, "abc");
    EXPECT_EQ(noText.addExtra, 0);
}

TEST(StripInterfacePrefix, CutsAfterFirstParenthesisElseFirstColon)
{
    struct Case { const char* message; const char* shown; };
    const Case cases[] = {
        {"TCP/IP:(3)<ERROR>Data Send NG.[ErrorNo=10054]", "<ERROR>Data Send NG.[ErrorNo=10054]"},
        {"RS232C:<ERROR> Port Busy.", "<ERROR> Port Busy."},
        {"TCP/IP:<ERROR>WSAAsyncSelect() Call NG.[ErrorNo=10038]", " Call NG.[ErrorNo=10038]"},
        {"no prefix here", "no prefix here"},
        {"ends with colon:", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        std::string buffer = c.message;
        StripInterfacePrefix(&buffer[0]);
        EXPECT_STREQ(buffer.c_str(), c.shown) << c.message;
    }
    StripInterfacePrefix(nullptr);
}
