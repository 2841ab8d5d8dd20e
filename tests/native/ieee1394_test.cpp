#include "ports/ieee1394/ieee1394_pure.h"

#include "tests/native/test_util.h"

namespace {

using namespace std::string_literals;  // "LPT2\0LPT3\0"s keeps its embedded NULs

Strings List(const std::string& names) {
    PortName list[PORT_LIST_CAP];
    int count = PortListFromNames(names.data(), names.size(), list);
    return Strings(list, list + count);
}

TEST(Ieee1394PortList, TakesFourCharacterLptNamesButLpt1InTheListedOrder) {
    EXPECT_EQ((Strings{"LPT2", "LPT3"}), List("LPT1\0LPT2\0COM1\0LPT10\0LPT3\0LPT\0"s));
    EXPECT_EQ(Strings{}, List("COM1\0LPT1\0"s));
    EXPECT_EQ(Strings{}, List(""));
    std::string many;
    for (char c = '2'; c <= '9'; c++) many += std::string("LPT") + c + '\0';
    many += "LPTA\0LPTB\0LPTC\0"s;
    Strings first10 = List(many);
    ASSERT_EQ(10u, first10.size());
    EXPECT_EQ("LPTB", first10.back());
    // A list the platform cut off without its final NUL ends at its length.
    EXPECT_EQ(Strings{"LPT4"}, List("LPT4\0LPT"s));
}

TEST(Ieee1394ZeroFilter, EveryZeroByteGoesTheRestKeepsItsOrder) {
    struct Case {
        std::string read, delivered;
    } cases[] = {
        {std::string("\x41\x00\x42\x00", 4), "AB"},
        {std::string("\x00\x41\x00\x42", 4), "AB"},  // a leading zero no longer loses the answer
        {std::string(3, '\0'), ""},
        {"@PJL", "@PJL"},
    };
    for (Case& c : cases) {
        std::string bytes = c.read;
        int n = ZeroFilter(reinterpret_cast<unsigned char*>(&bytes[0]), int(bytes.size()));
        EXPECT_EQ(c.delivered, bytes.substr(0, n));
    }
}

}  // namespace
