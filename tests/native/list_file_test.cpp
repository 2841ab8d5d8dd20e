#include "send/list_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Names = std::vector<std::string>;

Names Read(const std::string& file)
{
    Names names;
    EXPECT_EQ(ReadListFile(file.data(), file.size(), names), 1) << file;
    return names;
}

}  // namespace

TEST(ListFileRead, EveryKindOfLineEnd)
{
    Names expected = {"C:\\a.prn", "D:\\b.prn", "c.prn"};
    EXPECT_EQ(Read("C:\\a.prn\r\nD:\\b.prn\r\nc.prn\r\n"), expected);
    EXPECT_EQ(Read("C:\\a.prn\nD:\\b.prn\nc.prn\n"), expected);
    EXPECT_EQ(Read("C:\\a.prn\rD:\\b.prn\rc.prn\r"), expected);
    EXPECT_EQ(Read("C:\\a.prn\r\nD:\\b.prn\rc.prn"), expected);
    EXPECT_EQ(Read("\r\n\r\nC:\\a.prn\n\n\r\rD:\\b.prn\n\r\nc.prn\r\n\r\n"), expected);
}

TEST(ListFileRead, LastNameWithoutBreakIsKept)
{
    EXPECT_EQ(Read("a\r\nb"), (Names{"a", "b"}));
    EXPECT_EQ(Read("only"), (Names{"only"}));
}

TEST(ListFileRead, NothingReadLeavesTheListAlone)
{
    for (const std::string& file : Names{"", "\r\n\r\n", "\n\r\r", std::string("a\r\nb\0c\r\n", 8)}) {
        Names names = {"kept"};
        EXPECT_EQ(ReadListFile(file.data(), file.size(), names), 0) << file;
        EXPECT_EQ(names, Names{"kept"});
    }
}

TEST(ListFileRead, NamesCutAt259AndAtMost3000Entries)
{
    Names names = Read(std::string(300, 'p') + "\r\nq");
    EXPECT_EQ(names, (Names{std::string(259, 'p'), "q"}));

    std::string file;
    for (int i = 0; i < 3005; i++)
        file += "n" + std::to_string(i) + "\r\n";
    names = Read(file);
    ASSERT_EQ(names.size(), 3000u);
    EXPECT_EQ(names.back(), "n2999");
    file.resize(file.size() - 2);
    EXPECT_EQ(Read(file).size(), 3000u);
}

TEST(ListFileFormat, RoundTrip)
{
    Names names = {"C:\\dir\\a b.prn", std::string(259, 'x'), "\\\\server\\share\\c"};
    std::string file = FormatListFile(names);
    EXPECT_EQ(file.substr(0, 17), "C:\\dir\\a b.prn\r\nx");
    EXPECT_EQ(file.substr(file.size() - 4), "\\c\r\n");
    EXPECT_EQ(Read(file), names);
    EXPECT_EQ(FormatListFile({}), "");
}

TEST(ListFileSort, IgnoresLetterCaseAndKeepsEqualsInOrder)
{
    Names paths = {"C", "a", "B"};
    SortPathsNoCase(paths);
    EXPECT_EQ(paths, (Names{"a", "B", "C"}));
    paths = {"d:\\Z", "D:\\y", "d:\\x", "b", "B"};
    SortPathsNoCase(paths);
    EXPECT_EQ(paths, (Names{"b", "B", "d:\\x", "D:\\y", "d:\\Z"}));
}

