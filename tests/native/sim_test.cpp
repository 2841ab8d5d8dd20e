#include <set>

#include "tests/native/test_util.h"

#include "sim/printer.h"

namespace {

const std::string kUel = "\x1B%-12345X";
const std::string kReady = "CODE=10001\r\nDISPLAY=\"READY\"\r\nONLINE=TRUE\r\n";

std::string Feed(Printer& p, const std::string& data, long long now = 0) {
  std::string out;
  PrinterFeed(p, data.data(), data.size(), now, out);
  return out;
}

// The drivers' tests use the malformed and silent printers.
TEST(SimPrinter, AnswersAndNonCommands) {
  const struct {
    std::string in, answer;
  } cases[] = {
      {"@PJL INFO STATUS\r\n", "@PJL INFO STATUS\r\n" + kReady + "\f"},
      {"@PJL INFO ID\n", "@PJL INFO ID\r\n\"TARVEX SIM\"\r\n\f"},
      {"@PJL echo  two  blanks\n", "@PJL ECHO  two  blanks\r\n\f"},
      {"@PJL ECHO\r\n", "@PJL ECHO\r\n\f"},
      {"@@PJL ECHO c\n", "@PJL ECHO c\r\n\f"},
      {std::string("\0\xFF@PJL ECHO d\n", 14), "@PJL ECHO d\r\n\f"},
      {"@PJ", ""},
      {"X ECHO a\n@pjl ECHO b\n@PJL\r\n@PJL JOB\n@PJL INFO STATUSX\n", ""},
      {"@PJL ECHO " + std::string(600, 'a') + "\n", ""},
  };
  for (const auto& c : cases) {
    Printer p;
    EXPECT_EQ(Feed(p, c.in), c.answer) << c.in;
  }
}

TEST(SimPrinter, CommandSplitAnywhereIsAnsweredOnce) {
  const std::string job = kUel + "@PJL ECHO split test\r\n";
  for (size_t cut = 0; cut <= job.size(); cut++) {
    Printer p;
    std::string out = Feed(p, job.substr(0, cut));
    out += Feed(p, job.substr(cut));
    EXPECT_EQ(out, "@PJL ECHO split test\r\n\f") << "cut at " << cut;
  }
}

TEST(SimPrinter, JobsEndAtUelAfterEojOrWhenQuietAndHashesKeepEveryByte) {
  Printer p;
  p.keepCap = 5;
  const std::string first = kUel + "@PJL JOB\r\ndata" + kUel + "more@PJL EOJ\r\n" + kUel;
  std::string all = first + "@PJL ECHO x\n";
  size_t cut = first.size() - 4;  // inside the closing UEL
  Feed(p, all.substr(0, cut));
  EXPECT_TRUE(p.finished.empty());
  Feed(p, all.substr(cut));
  ASSERT_EQ(p.finished.size(), 1u);
  EXPECT_EQ(p.finished[0].hash, Fnv1a64(first.data(), first.size()));
  EXPECT_EQ(p.hash, Fnv1a64(all.data(), all.size()));
  EXPECT_EQ(p.kept, all.substr(0, 5));
  PrinterReset(p);
  EXPECT_EQ(p.bytes, 0);
  EXPECT_EQ(p.kept, "");
  EXPECT_EQ(p.hash, Fnv1a64("", 0));

  // Each byte restarts the quiet time; a job is never empty.
  std::string out;
  Feed(p, "abc", 0);
  PrinterPoll(p, kJobQuietMs - 1, out);
  Feed(p, "d", kJobQuietMs - 1);
  PrinterPoll(p, 2 * kJobQuietMs - 2, out);
  EXPECT_TRUE(p.finished.empty());
  PrinterPoll(p, 2 * kJobQuietMs - 1, out);
  PrinterPoll(p, 5 * kJobQuietMs, out);
  ASSERT_EQ(p.finished.size(), 1u);
  EXPECT_EQ(p.finished[0].bytes, 4);
  EXPECT_EQ(p.finished[0].hash, Fnv1a64("abcd", 4));
}

TEST(SimPrinter, FloodBytesHoldEveryValueAndDifferBySeed) {
  std::string f = FloodBytes(512, 3);
  EXPECT_EQ(std::set<char>(f.begin(), f.begin() + 256).size(), 256u);
  EXPECT_NE(f.substr(0, 256), f.substr(256));
  EXPECT_NE(f, FloodBytes(512, 4));
  EXPECT_EQ(FloodBytes(-1, 0), "");
}

}  // namespace
