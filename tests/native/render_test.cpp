#include "terminal/render.h"

#include "tests/native/test_util.h"

#include <utility>

typedef std::vector<std::pair<std::string, int>> Lines;  // each emitted line and its open flag
static Lines emitted;

static void Record(const char* line, int open) { emitted.emplace_back(line, open); }

static Lines Render(const std::string& chunk, int width = 80)
{
    emitted.clear();
    EXPECT_EQ(1, RenderReceivedData((int)chunk.size(), U(chunk), width, Record));
    return emitted;
}

// 20..7D and A0..DF are shown as they are, NUL is skipped, every other byte is a hex token;
// LF and FF close a line, the width cuts one. Empty or missing chunks emit nothing.
TEST(Render, BytesLinesAndWidths)
{
    const std::string a79(79, 'A'), a80(80, 'A');
    struct Case {
        std::string chunk;
        int width;
        Lines lines;
    } cases[] = {
        {"OK\r\n", 80, {{"OK<0D><0A>", 0}}},
        // each edge of the shown ranges, and tokens that hold every hex digit
        {B({0x1F, 0x20, 0x7D, 0x7E, 0x9F, 0xA0, 0xDF, 0xE0, 0xFF, 0x02, 0x13, 0x84, 0x95, 0x86}), 80,
         {{"<1F> }<7E><9F>\xA0\xDF<E0><FF><02><13><84><95><86>", 1}}},
        {"a\fb\x08", 80, {{"a<0C>", 0}, {"b<08>", 1}}},
        {std::string("A\0B", 3), 80, {{"AB", 1}}},
        {std::string(16, '\0'), 80, {}},
        {std::string(100, 'A'), 80, {{a80, 1}, {std::string(20, 'A'), 1}}},
        {a79 + "\x1B", 80, {{a79 + "<1B>", 1}}},
        {a79 + "\n", 80, {{a79 + "<0A>", 0}}},
        {"ab\n", -5, {{"a", 1}, {"b", 1}, {"<0A>", 0}}},
        {std::string(3000, 'A') + "\nB", 2000000000, {{std::string(3000, 'A') + "<0A>", 0}, {"B", 1}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.lines, Render(c.chunk, c.width)) << c.chunk.substr(0, 20) << " width " << c.width;
    const unsigned char byte = 'A';
    emitted.clear();
    EXPECT_EQ(1, RenderReceivedData(0, &byte, 80, Record));
    EXPECT_EQ(1, RenderReceivedData(-1, &byte, 80, Record));
    EXPECT_EQ(1, RenderReceivedData(5, nullptr, 80, Record));
    EXPECT_TRUE(emitted.empty());
}
