#include "send/fkey_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

int Read(const std::string& file, std::string texts[FUNCTION_KEY_COUNT])
{
    return ReadFunctionKeyFile(file.data(), file.size(), texts);
}

}  // namespace

TEST(FunctionKeyFile, SaveWritesTwelveNumberedLines)
{
    const char* texts[FUNCTION_KEY_COUNT] = {"abc", "", nullptr, "\\x1B@"};
    texts[11] = "last";
    std::string expected = "01,abc\r\n02,\r\n03,\r\n04,\\x1B@\r\n";
    for (int key = 5; key <= 11; key++)
        expected += (key < 10 ? "0" : "") + std::to_string(key) + ",\r\n";
    expected += "12,last\r\n";
    EXPECT_EQ(FormatFunctionKeyFile(texts), expected);
}

TEST(FunctionKeyFile, LastLineWithoutBreakAndAbsentKeysBecomeEmpty)
{
    std::string texts[FUNCTION_KEY_COUNT];
    texts[0] = "old";
    ASSERT_EQ(Read("03,xyz", texts), 1);
    for (int i = 0; i < FUNCTION_KEY_COUNT; i++)
        EXPECT_EQ(texts[i], i == 2 ? "xyz" : "") << i;
}

TEST(FunctionKeyFile, NumberThirdCharacterAndLaterDuplicates)
{
    std::string texts[FUNCTION_KEY_COUNT];
    ASSERT_EQ(Read("1,abc\r\n 2;x\r\n+4,\r\n5\r\n07,one\r\n07,two\r\n", texts), 1);
    EXPECT_EQ(texts[0], "bc");
    EXPECT_EQ(texts[1], "x");
    EXPECT_EQ(texts[3], "");
    EXPECT_EQ(texts[4], "");
    EXPECT_EQ(texts[6], "two");
}

TEST(FunctionKeyFile, LoneCrOrLfStaysInTheText)
{
    std::string texts[FUNCTION_KEY_COUNT];
    ASSERT_EQ(Read("01,a\nb\r\n02,c\r\r\n", texts), 1);
    EXPECT_EQ(texts[0], "a\nb");
    EXPECT_EQ(texts[1], "c\r");
}

TEST(FunctionKeyFile, FormatErrorsLeaveTheTextsAsTheyWere)
{
    for (const std::string& file : std::vector<std::string>{"13,abc", "01,a\r\n\r\n02,b", "01,a\r\n\r\n", "", "00,x", "-1,x", "ab,x",
                             std::string("01,a\0b", 6)}) {
        std::string texts[FUNCTION_KEY_COUNT];
        texts[4] = "kept";
        EXPECT_EQ(Read(file, texts), 0) << file;
        EXPECT_EQ(texts[4], "kept");
        EXPECT_EQ(texts[0], "");
    }
}

TEST(FunctionKeyFile, LongTextsAreCutTo1023AndRoundTripOtherwise)
{
    std::string texts[FUNCTION_KEY_COUNT];
    ASSERT_EQ(Read("02," + std::string(1500, 'k'), texts), 1);
    EXPECT_EQ(texts[1], std::string(1023, 'k'));

    std::string saved[FUNCTION_KEY_COUNT] = {"a\rb", "\n", std::string(1023, 'z'), "\\xZZ", "x,y,z"};
    const char* pointers[FUNCTION_KEY_COUNT];
    for (int i = 0; i < FUNCTION_KEY_COUNT; i++)
        pointers[i] = saved[i].c_str();
    ASSERT_EQ(Read(FormatFunctionKeyFile(pointers), texts), 1);
    for (int i = 0; i < FUNCTION_KEY_COUNT; i++)
        EXPECT_EQ(texts[i], saved[i]) << i;
}
