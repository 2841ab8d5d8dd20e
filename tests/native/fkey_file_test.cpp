#include "send/fkey_file.h"

#include "tests/native/test_util.h"

static int Read(const std::string& file, Strings* read)
{
    std::string texts[FUNCTION_KEY_COUNT];
    texts[4] = "kept";
    int done = ReadFunctionKeyFile(file.data(), file.size(), texts);
    read->assign(texts, texts + FUNCTION_KEY_COUNT);
    return done;
}

static Strings Keys(std::initializer_list<std::pair<int, std::string>> set)
{
    Strings texts(FUNCTION_KEY_COUNT);
    for (const auto& key : set)
        texts[key.first - 1] = key.second;
    return texts;
}

TEST(FunctionKeyFile, SaveWritesTwelveNumberedLines)
{
    const char* texts[FUNCTION_KEY_COUNT] = {"abc", "", nullptr, "\\x1B@"};
    texts[11] = "last";
    std::string expected = "01,abc\r\n02,\r\n03,\r\n04,\\x1B@\r\n";
    for (int key = 5; key <= 11; key++)
        expected += (key < 10 ? "0" : "") + std::to_string(key) + ",\r\n";
    EXPECT_EQ(expected + "12,last\r\n", FormatFunctionKeyFile(texts));
}

// A file with a format error leaves the texts as they were.
TEST(FunctionKeyFile, ReadAndFormatErrors)
{
    const struct {
        std::string file;
        Strings texts;
    } cases[] = {
        {"03,xyz", Keys({{3, "xyz"}})},  // absent keys become empty, the last line may lack its break
        {"1,abc\r\n 2;x\r\n+4,\r\n5\r\n07,one\r\n07,two\r\n", Keys({{1, "bc"}, {2, "x"}, {7, "two"}})},
        {"01,a\nb\r\n02,c\r\r\n", Keys({{1, "a\nb"}, {2, "c\r"}})},  // a lone CR or LF stays in the text
        {"02," + std::string(1500, 'k'), Keys({{2, std::string(1023, 'k')}})},
    };
    Strings read;
    for (const auto& c : cases) {
        EXPECT_EQ(1, Read(c.file, &read)) << c.file;
        EXPECT_EQ(c.texts, read) << c.file;
    }
    for (const std::string& file : {std::string("13,abc"), std::string("01,a\r\n\r\n02,b"), std::string("01,a\r\n\r\n"),
                                    std::string(), std::string("00,x"), std::string("-1,x"), std::string("ab,x"),
                                    std::string("01,a\0b", 6)}) {
        EXPECT_EQ(0, Read(file, &read)) << file;
        EXPECT_EQ(Keys({{5, "kept"}}), read) << file;
    }
}
