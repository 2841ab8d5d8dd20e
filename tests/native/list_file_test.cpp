#include "send/list_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

typedef std::vector<std::string> Names;

static Names Read(const std::string& file)
{
    Names names;
    EXPECT_EQ(1, ReadListFile(file.data(), file.size(), names)) << file;
    return names;
}

TEST(ListFile, EveryKindOfLineEndAndALastNameWithoutOne)
{
    const Names abc = {"C:\\a.prn", "D:\\b.prn", "c.prn"};
    for (const char* file : {"C:\\a.prn\r\nD:\\b.prn\r\nc.prn\r\n", "C:\\a.prn\nD:\\b.prn\nc.prn\n",
                             "C:\\a.prn\rD:\\b.prn\rc.prn\r", "C:\\a.prn\r\nD:\\b.prn\rc.prn",
                             "\r\n\r\nC:\\a.prn\n\n\r\rD:\\b.prn\n\r\nc.prn\r\n\r\n"})
        EXPECT_EQ(abc, Read(file)) << file;
}

TEST(ListFile, NothingReadLeavesTheListAlone)
{
    for (const std::string& file : Names{"", "\r\n\r\n", "\n\r\r", std::string("a\r\nb\0c\r\n", 8)}) {
        Names names = {"kept"};
        EXPECT_EQ(0, ReadListFile(file.data(), file.size(), names)) << file;
        EXPECT_EQ(Names{"kept"}, names);
    }
}

TEST(ListFile, NamesCutAt259AndAtMost3000Entries)
{
    EXPECT_EQ((Names{std::string(259, 'p'), "q"}), Read(std::string(300, 'p') + "\r\nq"));
    std::string file;
    for (int i = 0; i < 3005; i++)
        file += "n" + std::to_string(i) + "\r\n";
    Names names = Read(file);
    ASSERT_EQ(3000u, names.size());
    EXPECT_EQ("n2999", names.back());
}

TEST(ListFile, FormatWritesOneNamePerLine)
{
    Names names = {"C:\\dir\\a b.prn", std::string(259, 'x'), "\\\\server\\share\\c"};
    std::string file = FormatListFile(names);
    EXPECT_EQ("C:\\dir\\a b.prn\r\n" + names[1] + "\r\n\\\\server\\share\\c\r\n", file);
    EXPECT_EQ("", FormatListFile({}));
}

TEST(ListFile, SortIgnoresLetterCaseAndKeepsEqualsInOrder)
{
    Names paths = {"d:\\Z", "D:\\y", "d:\\x", "b", "B", "C", "a"};
    SortPathsNoCase(paths);
    EXPECT_EQ((Names{"a", "b", "B", "C", "d:\\x", "D:\\y", "d:\\Z"}), paths);
}
