#include "terminal/log_join.h"

#include "tests/native/test_util.h"

TEST(LogJoin, WidthIsClampedInto1To1024)
{
    const int cases[][2] = {{80, 80}, {1024, 1024}, {1025, 1024}, {2000000000, 1024}, {0, 1}, {-5, 1}};
    for (const auto& c : cases)
        EXPECT_EQ(c[1], ClampLineWidth(c[0])) << c[0];
}

TEST(LogJoin, EveryMarkerBlocksJoining)
{
    for (const char* line : {"AAAA<0D>", "", "<1B>%-1234"})
        EXPECT_TRUE(IsJoinableLine(line)) << line;
    for (const char* line : {"a:b", "Send", "xError", "error!", "ERROR", "AB<04>", "<1B>%-12345X@PJL"})
        EXPECT_FALSE(IsJoinableLine(line)) << line;
    EXPECT_FALSE(IsJoinableLine(nullptr));
}

TEST(LogJoin, PlanAppend)
{
    const std::string a40(40, 'a'), a75(75, 'a'), a80(80, 'a'), b50(50, 'b');
    struct Case {
        const char* name;
        const char* last;
        int continuation;
        const char* text;
        int width;
        int replaceLast;
        std::string joined, extra;
    };
    const Case cases[] = {
        {"fills the width, rest on a new line", a40.c_str(), 1, b50.c_str(), 80, 1,
         a40 + std::string(40, 'b'), std::string(10, 'b')},
        {"fits", "ABC", 1, "DEF<0A>", 80, 1, "ABCDEF<0A>", ""},
        {"fits exactly", a75.c_str(), 1, "bbbbb", 80, 1, a75 + "bbbbb", ""},
        {"continuation clear", a40.c_str(), 0, "xyz", 80, 0, "", "xyz"},
        {"marked line", "ab:", 1, "xyz", 80, 0, "", "xyz"},
        {"full line", a80.c_str(), 1, "xyz", 80, 0, "", "xyz"},
        {"empty log", nullptr, 1, "xyz", 80, 0, "", "xyz"},
        {"negative width", "abc", 1, "def", -5, 0, "", "def"},
        {"huge width", "abc", 1, "def", 2000000000, 1, "abcdef", ""},
        {"no text", "abc", 1, nullptr, 80, 1, "abc", ""},
    };
    for (const Case& c : cases) {
        AppendPlan plan = PlanAppend(c.last, c.continuation, c.text, c.width);
        EXPECT_EQ(c.replaceLast, plan.replaceLast) << c.name;
        EXPECT_EQ(c.joined, plan.last) << c.name;
        EXPECT_EQ(!c.extra.empty(), plan.addExtra == 1) << c.name;
        EXPECT_EQ(c.extra, plan.extra) << c.name;
    }
}

TEST(LogJoin, StripCutsAfterFirstParenthesisElseFirstColon)
{
    const char* cases[][2] = {
        {"TCP/IP:(3)<ERROR>Data Send NG.[ErrorNo=10054]", "<ERROR>Data Send NG.[ErrorNo=10054]"},
        {"RS232C:<ERROR> Port Busy.", "<ERROR> Port Busy."},
        {"TCP/IP:<ERROR>WSAAsyncSelect() Call NG.[ErrorNo=10038]", " Call NG.[ErrorNo=10038]"},
        {"no prefix here", "no prefix here"},
        {"ends with colon:", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        std::string buffer = c[0];
        StripInterfacePrefix(&buffer[0]);
        EXPECT_STREQ(c[1], buffer.c_str()) << c[0];
    }
    StripInterfacePrefix(nullptr);
}
