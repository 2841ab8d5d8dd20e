#include "send/escape.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

struct Parsed {
    int count;
    std::string bytes;
    std::string error;
};

Parsed Parse(const std::string& text)
{
    unsigned char out[KEY_TEXT_SIZE];
    char error[KEY_TEXT_SIZE] = "";
    int count = ParseKeyboardLine(text.c_str(), out, error);
    std::string bytes = count >= 0 ? std::string(reinterpret_cast<char*>(out), count) : "";
    return {count, bytes, error};
}

std::string Expand(const std::string& text, int outSize = KEY_TEXT_SIZE)
{
    unsigned char out[KEY_TEXT_SIZE + 1];
    int count = ExpandFunctionKey(text.c_str(), out, outSize);
    EXPECT_EQ(out[count], 0);
    return std::string(reinterpret_cast<char*>(out), count);
}

}  // namespace

TEST(EscapeHexPair, DigitsOfBothCasesAndInvalidOnes)
{
    EXPECT_EQ(HexDigitValue('0'), 0);
    EXPECT_EQ(HexDigitValue('9'), 9);
    EXPECT_EQ(HexDigitValue('a'), 10);
    EXPECT_EQ(HexDigitValue('F'), 15);
    for (int c : {int('g'), int('G'), int('/'), int(':'), int('@'), int('`'), int(' '), 0, 0xC1})
        EXPECT_EQ(HexDigitValue(c), -1) << c;
    EXPECT_EQ(HexPairValue('4', '1'), 0x41);
    EXPECT_EQ(HexPairValue('f', 'F'), 0xFF);
    EXPECT_EQ(HexPairValue('0', '0'), 0x00);
    EXPECT_EQ(HexPairValue('g', '1'), 0);
    EXPECT_EQ(HexPairValue('1', 'z'), 0);
}

TEST(KeyboardEscape, HexPairAndDoubledBackslash)
{
    Parsed p = Parse("A\\x41\\\\");
    EXPECT_EQ(p.count, 3);
    EXPECT_EQ(p.bytes, "AA\\");
    EXPECT_EQ(Parse("abc").bytes, "abc");
    p = Parse("\\x1B\\x00Z");
    EXPECT_EQ(p.count, 3);
    EXPECT_EQ(p.bytes, std::string("\x1B\0Z", 3));
}

TEST(KeyboardEscape, ErrorLinesNameTheTextUpToTheBadEscape)
{
    EXPECT_EQ(Parse("ab\\q").count, -1);
    EXPECT_EQ(Parse("ab\\q").error, "ERROR: ab\\q<- Invalid escale character.");
    EXPECT_EQ(Parse("ab\\qrest").error, "ERROR: ab\\q<- Invalid escale character.");
    EXPECT_EQ(Parse("ab\\x4").error, "ERROR: ab\\x4<- Invalid hex-decimal character.");
    EXPECT_EQ(Parse("ab\\xZ1rest").error, "ERROR: ab\\xZ1<- Invalid hex-decimal character.");
    EXPECT_EQ(Parse("ab\\x").error, "ERROR: ab\\x<- Invalid hex-decimal character.");
    EXPECT_EQ(Parse("\\").error, "ERROR: \\<- Invalid escale character.");
    EXPECT_EQ(Parse("\\n").error, "ERROR: \\n<- Invalid escale character.");
    EXPECT_EQ(Parse("\\r").count, -1);
}

TEST(KeyboardEscape, SuffixLeftOffForLongPrefixesAndLineNeverOverruns)
{
    // Prefix 988 and 983: the longest lines that hold the whole suffix.
    std::string pad(986, 'a');
    EXPECT_EQ(Parse(pad + "\\q").error, "ERROR: " + pad + "\\q<- Invalid escale character.");
    pad.assign(979, 'a');
    EXPECT_EQ(Parse(pad + "\\xZZ").error, "ERROR: " + pad + "\\xZZ<- Invalid hex-decimal character.");
    // Prefix 995 and 990: the suffix is left off.
    pad.assign(993, 'a');
    EXPECT_EQ(Parse(pad + "\\q").error, "ERROR: " + pad + "\\q");
    pad.assign(986, 'a');
    EXPECT_EQ(Parse(pad + "\\xZZ").error, "ERROR: " + pad + "\\xZZ");
    // Prefix 994 still takes the suffix, which no longer fits: the line is cut.
    pad.assign(992, 'a');
    std::string cut = Parse(pad + "\\q").error;
    EXPECT_EQ(cut, ("ERROR: " + pad + "\\q<- Invalid escale character.").substr(0, 1023));
    EXPECT_EQ(Parse(std::string(1020, 'a') + "\\q").error.size(), 1023u);
}

TEST(KeyboardEscape, OnlyTheFirst1023CharactersOfALongLineCount)
{
    Parsed p = Parse(std::string(3000, 'b'));
    EXPECT_EQ(p.count, 1023);
    EXPECT_EQ(p.bytes, std::string(1023, 'b'));
    // The cut leaves a lone backslash at the end of what is read.
    p = Parse(std::string(1022, 'b') + "\\\\tail");
    EXPECT_EQ(p.count, -1);
    EXPECT_EQ(p.error, "ERROR: " + std::string(1016, 'b'));
}

TEST(FunctionKeyExpansion, KnownEscapes)
{
    EXPECT_EQ(Expand("AB\\r\\n"), "AB\r\n");
    EXPECT_EQ(Expand("\\x1B\\x40"), "\x1B\x40");
    EXPECT_EQ(Expand("\\x00"), std::string(1, '\0'));
    EXPECT_EQ(Expand("\\\\"), "\\");
    EXPECT_EQ(Expand(""), "");
}

TEST(FunctionKeyExpansion, DropsWhatItDoesNotUnderstand)
{
    EXPECT_EQ(Expand("A\\qB"), "AB");
    EXPECT_EQ(Expand("A\\xZZB"), "AB");
    EXPECT_EQ(Expand("A\\x4ZB"), "AB");
    EXPECT_EQ(Expand("AB\\"), "AB");
    EXPECT_EQ(Expand("AB\\x"), "AB");
    EXPECT_EQ(Expand("AB\\x4"), "AB");
}

TEST(FunctionKeyExpansion, StopsAtTheOutputSize)
{
    EXPECT_EQ(Expand("abcdef", 4), "abc");
    EXPECT_EQ(Expand("ab\\x41\\x42", 4), "abA");
    EXPECT_EQ(Expand("abc", 1), "");
    unsigned char out[1] = {'z'};
    EXPECT_EQ(ExpandFunctionKey("abc", out, 0), 0);
    EXPECT_EQ(out[0], 'z');
    EXPECT_EQ(Expand(std::string(2000, 'q')), std::string(1023, 'q'));
}

TEST(FunctionKeyValidator, PassesValidTexts)
{
    int start = -1, length = -1;
    for (const char* text : {"", "plain", "\\\\\\n\\r", "\\x1b\\xFF", "a\\x00b"})
        EXPECT_EQ(ValidateFunctionKeyText(text, &start, &length), 1) << text;
    EXPECT_EQ(start, -1);
}

TEST(FunctionKeyValidator, SelectsTheFirstBadEscape)
{
    struct Case {
        const char* text;
        int start;
        int length;
    } cases[] = {
        {"ab\\qcd", 2, 2}, {"ab\\", 2, 1},      {"\\xZZ\\q", 0, 4}, {"a\\x4", 1, 3},
        {"a\\x", 1, 2},    {"\\\\\\xG1", 2, 4}, {"\\n\\t", 2, 2},
    };
    for (const Case& c : cases) {
        int start = -1, length = -1;
        EXPECT_EQ(ValidateFunctionKeyText(c.text, &start, &length), 0) << c.text;
        EXPECT_EQ(start, c.start) << c.text;
        EXPECT_EQ(length, c.length) << c.text;
    }
}
