#include "terminal/pjl_check.h"

#include <gtest/gtest.h>

#include <string>

namespace {

int Check(const std::string& chunk, int* state)
{
    return StringCheck(static_cast<int>(chunk.size()),
                       reinterpret_cast<const unsigned char*>(chunk.data()), state);
}

}  // namespace

TEST(StringCheck, WellFormedResponsesPass)
{
    int state = 1;
    EXPECT_EQ(Check("@PJL USTATUS DEVICE\r\nCODE=10001\r\n\f", &state), 1);
    EXPECT_EQ(state, 1);

    EXPECT_EQ(Check("noise before @PJL ECHO x\r\n\f", &state), 1);
    EXPECT_EQ(state, 1);
}

TEST(StringCheck, ResponseMaySpanChunks)
{
    int state = 1;
    EXPECT_EQ(Check("@PJL INFO", &state), 1);
    EXPECT_EQ(state, 5);
    EXPECT_EQ(Check(" STATUS\r\n\f", &state), 1);
    EXPECT_EQ(state, 1);
}

TEST(StringCheck, MalformedOutputFails)
{
    int state = 1;
    EXPECT_EQ(Check("OK\r\n", &state), 0);
    EXPECT_EQ(state, 1);

    state = 1;
    EXPECT_EQ(Check("@PJL INFO STATUS\r\n@PJL", &state), 0);

    for (const char* chunk : {"P", "J", "L", "\f", "@PX", "@PJL x\r\r", "@PJL x\r\n\r"}) {
        state = 1;
        EXPECT_EQ(Check(chunk, &state), 0) << chunk;
    }
}

TEST(StringCheck, FailingByteLeavesStateWhereItWas)
{
    int state = 1;
    EXPECT_EQ(Check("@X", &state), 0);
    EXPECT_EQ(state, 2);
    EXPECT_EQ(Check("PJL USTATUS\r\n\f", &state), 1);
    EXPECT_EQ(state, 1);
}

TEST(StringCheck, ZeroBytesAreOrdinaryOutsideAndInsideAResponse)
{
    int state = 1;
    const std::string chunk("\0\0@PJL \0\r\n\f", 11);
    EXPECT_EQ(Check(chunk, &state), 1);
    EXPECT_EQ(state, 1);
}

TEST(StringCheck, EmptyOrMissingChunkAndBadStateAreHarmless)
{
    int state = 5;
    EXPECT_EQ(StringCheck(0, reinterpret_cast<const unsigned char*>("@"), &state), 1);
    EXPECT_EQ(StringCheck(-3, reinterpret_cast<const unsigned char*>("@"), &state), 1);
    EXPECT_EQ(StringCheck(4, nullptr, &state), 1);
    EXPECT_EQ(state, 5);

    state = 99;
    EXPECT_EQ(Check("@", &state), 1);
    EXPECT_EQ(state, 2);
    EXPECT_EQ(Check("@PJL", nullptr), 1);
}
