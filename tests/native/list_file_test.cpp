#include "send/list_file.h"

#include "tests/native/test_util.h"

static Strings Read(const std::string& file)
{
    Strings names;
    EXPECT_EQ(1, ReadListFile(file.data(), file.size(), names)) << file;
    return names;
}

// Lists are read with whatever line ends an editor left, and written with CR LF.
TEST(ListFile, EveryKindOfLineEndReadAndCrLfWritten)
{
    const Strings abc = {"C:\\a.prn", "D:\\b.prn", "c.prn"};
    for (const char* file : {"C:\\a.prn\r\nD:\\b.prn\r\nc.prn\r\n", "C:\\a.prn\nD:\\b.prn\nc.prn\n",
                             "C:\\a.prn\rD:\\b.prn\rc.prn\r", "C:\\a.prn\r\nD:\\b.prn\rc.prn",
                             "\r\n\r\nC:\\a.prn\n\n\r\rD:\\b.prn\n\r\nc.prn\r\n\r\n"})
        EXPECT_EQ(abc, Read(file)) << file;
    EXPECT_EQ("C:\\a.prn\r\nD:\\b.prn\r\nc.prn\r\n", FormatListFile(abc));
}

TEST(ListFile, NothingReadLeavesTheListAlone)
{
    for (const std::string& file : Strings{"", "\r\n\r\n", "\n\r\r", std::string("a\r\nb\0c\r\n", 8)}) {
        Strings names = {"kept"};
        EXPECT_EQ(0, ReadListFile(file.data(), file.size(), names)) << file;
        EXPECT_EQ(Strings{"kept"}, names);
    }
}

TEST(ListFile, NamesCutAt259AndAtMost3000Entries)
{
    EXPECT_EQ((Strings{std::string(259, 'p'), "q"}), Read(std::string(300, 'p') + "\r\nq"));
    std::string file;
    for (int i = 0; i < 3005; i++)
        file += "n" + std::to_string(i) + "\r\n";
    Strings names = Read(file);
    ASSERT_EQ(3000u, names.size());
    EXPECT_EQ("n2999", names.back());
}

TEST(ListFile, SortIgnoresLetterCaseAndKeepsEqualsInOrder)
{
    Strings paths = {"d:\\Z", "D:\\y", "d:\\x", "b", "B", "C", "a"};
    SortPathsNoCase(paths);
    EXPECT_EQ((Strings{"a", "b", "B", "C", "d:\\x", "D:\\y", "d:\\Z"}), paths);
}
