#include "send/escape.h"

#include "tests/native/test_util.h"

// The bytes of a line, or its error line.
static std::string Parse(const std::string& text)
{
    unsigned char out[KEY_TEXT_SIZE];
    char error[KEY_TEXT_SIZE] = "";
    int n = ParseKeyboardLine(text.c_str(), out, error);
    return n >= 0 ? std::string((char*)out, n) : error;
}

// The fuzzer holds the output inside the buffer and terminated.
static std::string Expand(const std::string& text, int outSize = KEY_TEXT_SIZE)
{
    unsigned char out[KEY_TEXT_SIZE];
    return std::string((char*)out, ExpandFunctionKey(text.c_str(), out, outSize));
}

TEST(Escape, HexDigitsOfBothCasesAndTheirNeighbours)
{
    const char* digits = "0123456789abcdefABCDEF";
    for (int i = 0; digits[i]; i++)
        EXPECT_EQ(i < 16 ? i : i - 6, HexDigitValue(digits[i])) << digits[i];
    for (int c : {int('g'), int('G'), int('/'), int(':'), int('@'), int('`'), 0, 0xC1})
        EXPECT_EQ(-1, HexDigitValue(c)) << c;
    EXPECT_EQ(0xFF, HexPairValue('f', 'F'));
}

// Keyboard lines: only "\\" and "\x" with two hex digits; an error names the text up to the bad escape.
TEST(Escape, KeyboardLine)
{
    const char* keyCases[][2] = {
        {"A\\x41\\\\", "AA\\"},
        {"ab\\qrest", "ERROR: ab\\q<- Invalid escale character."},
        {"ab\\x4", "ERROR: ab\\x4<- Invalid hex-decimal character."},
        {"ab\\xZ1rest", "ERROR: ab\\xZ1<- Invalid hex-decimal character."},
        {"\\", "ERROR: \\<- Invalid escale character."},
        {"\\n", "ERROR: \\n<- Invalid escale character."},
    };
    for (const auto& c : keyCases)
        EXPECT_EQ(c[1], Parse(c[0])) << c[0];
    EXPECT_EQ(std::string("\x1B\0Z", 3), Parse("\\x1B\\x00Z"));
    // Only the first 1023 characters of a line count, and the error line never passes 1023.
    const struct {
        int pad;
        const char* escape;
        std::string error;  // after "ERROR: " and the pad
    } cases[] = {
        {986, "\\q", "\\q<- Invalid escale character."},  // the longest pads that keep the suffix
        {993, "\\q", "\\q"},  // the suffix left off
        {992, "\\q", std::string("\\q<- Invalid escale character.").substr(0, 1023 - 7 - 992)},
        {1022, "\\\\tail", ""},  // the cut leaves a lone backslash at the end of what is read
    };
    for (const auto& c : cases) {
        std::string pad(c.pad, 'a');
        EXPECT_EQ("ERROR: " + pad.substr(0, 1016) + c.error, Parse(pad + c.escape)) << c.pad;
    }
    EXPECT_EQ(std::string(1023, 'b'), Parse(std::string(3000, 'b')));
}

// Function keys: lenient; what is not understood is dropped, and the output size is kept.
TEST(Escape, FunctionKeyExpansion)
{
    const char* cases[][2] = {
        {"AB\\r\\n", "AB\r\n"}, {"\\x1B\\x40", "\x1B\x40"}, {"\\\\", "\\"}, {"", ""},
        {"A\\qB", "AB"},        {"A\\xZZB", "AB"},          {"A\\x4ZB", "AB"}, {"AB\\", "AB"},
        {"AB\\x", "AB"},        {"AB\\x4", "AB"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c[1], Expand(c[0])) << c[0];
    EXPECT_EQ(std::string(1, '\0'), Expand("\\x00"));
    EXPECT_EQ("abA", Expand("ab\\x41\\x42", 4)) << "an escape that does not fit is left out";
    EXPECT_EQ(std::string(1023, 'q'), Expand(std::string(2000, 'q')));
}

TEST(Escape, FunctionKeyValidatorSelectsTheFirstBadEscape)
{
    int start = -1, length = -1;
    for (const char* text : {"", "plain", "\\\\\\n\\r", "\\x1b\\xFF", "a\\x00b"})
        EXPECT_EQ(1, ValidateFunctionKeyText(text, &start, &length)) << text;
    EXPECT_EQ(-1, start);
    struct Case {
        const char* text;
        int start, length;
    } cases[] = {
        {"ab\\qcd", 2, 2}, {"ab\\", 2, 1}, {"\\xZZ\\q", 0, 4}, {"a\\x4", 1, 3},
        {"a\\x", 1, 2},    {"\\\\\\xG1", 2, 4}, {"\\n\\t", 2, 2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(0, ValidateFunctionKeyText(c.text, &start, &length)) << c.text;
        EXPECT_EQ(c.start, start) << c.text;
        EXPECT_EQ(c.length, length) << c.text;
    }
}
