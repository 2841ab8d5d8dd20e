#include "terminal/pjl_check.h"

#include "tests/native/test_util.h"

static int Check(const std::string& chunk, int* state)
{
    return StringCheck((int)chunk.size(), U(chunk), state);
}

// Every cell of the response grammar: for each state 1..7, the next state after
// '@' 'P' 'J' 'L' CR LF FF and any other byte; 0 is a violation, which keeps the state.
TEST(StringCheck, EveryStateAndByteClass)
{
    const char bytes[] = "@PJL\r\n\fx";
    const char* next[8] = {"", "20000001", "03000000", "00400000", "00050000", "05556005", "00000700", "05550015"};
    for (int state = 1; state <= 7; state++)
        for (int c = 0; c < 8; c++) {
            int s = state, expected = next[state][c] - '0';
            EXPECT_EQ(expected != 0, Check(std::string(1, bytes[c]), &s)) << state << " " << c;
            EXPECT_EQ(expected ? expected : state, s) << state << " " << c;
        }
}

// Responses span chunks and NUL is an ordinary byte; an empty chunk or a bad state is harmless.
TEST(StringCheck, ChunksNulsAndBadArguments)
{
    int state = 1;
    EXPECT_EQ(1, Check(std::string("\0@PJL INFO", 10), &state));
    EXPECT_EQ(5, state);
    EXPECT_EQ(1, Check(std::string(" \0STATUS\r\n\f", 12), &state));
    EXPECT_EQ(1, state);
    EXPECT_EQ(0, Check("@PJL x\r\n@PJL", &state)) << "a later good byte does not undo a violation";
    state = 5;
    EXPECT_EQ(1, StringCheck(-3, U("@"), &state));
    EXPECT_EQ(1, StringCheck(4, nullptr, &state));
    EXPECT_EQ(5, state);
    state = 99;
    EXPECT_EQ(1, Check("@", &state));
    EXPECT_EQ(2, state);
    EXPECT_EQ(1, Check("@PJL", nullptr));
}
