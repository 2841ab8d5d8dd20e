#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "sim/printer.h"
#include "sim/server.h"
#include "terminal/pjl_check.h"

namespace {

const std::string kUel = "\x1B%-12345X";
const std::string kReady = "CODE=10001\r\nDISPLAY=\"READY\"\r\nONLINE=TRUE\r\n";

std::string Feed(Printer& p, const std::string& data, long long now = 0) {
  std::string out;
  PrinterFeed(p, data.data(), data.size(), now, out);
  return out;
}

bool PassesCheck(const std::string& s) {
  int state = 1;
  return StringCheck(int(s.size()), (const unsigned char*)s.data(), &state) && state == 1;
}

TEST(SimPrinter, CommandSplitAnywhereIsAnsweredOnce) {
  const std::string job = kUel + "@PJL ECHO split test\r\n";
  for (size_t cut = 0; cut <= job.size(); cut++) {
    Printer p;
    std::string out = Feed(p, job.substr(0, cut));
    out += Feed(p, job.substr(cut));
    EXPECT_EQ(out, "@PJL ECHO split test\r\n\f") << "cut at " << cut;
  }
  Printer p;
  std::string out;
  for (char c : "@PJL INFO ID\n" + kUel) out += Feed(p, std::string(1, c));
  EXPECT_EQ(out, "@PJL INFO ID\r\n\"TARVEX SIM\"\r\n\f");
}

TEST(SimPrinter, AnswersAreWellFormed) {
  Printer p;
  EXPECT_EQ(Feed(p, "@PJL INFO STATUS\r\n"), "@PJL INFO STATUS\r\n" + kReady + "\f");
  EXPECT_EQ(Feed(p, "@PJL echo  two  blanks\n"), "@PJL ECHO  two  blanks\r\n\f");
  EXPECT_EQ(Feed(p, "@PJL ECHO\r\n"), "@PJL ECHO\r\n\f");
  for (const char* cmd : {"@PJL INFO STATUS\n", "@PJL INFO ID\n", "@PJL ECHO x 1\n"})
    EXPECT_TRUE(PassesCheck(Feed(p, cmd))) << cmd;
}

TEST(SimPrinter, MalformedAndSilent) {
  Printer p;
  p.malformed = 1;
  for (const char* cmd : {"@PJL INFO STATUS\n", "@PJL INFO ID\n", "@PJL ECHO x\n"}) {
    std::string out = Feed(p, cmd);
    EXPECT_FALSE(out.empty());
    EXPECT_FALSE(PassesCheck(out)) << cmd;
  }
  p.silent = 1;
  EXPECT_EQ(Feed(p, "@PJL INFO STATUS\n@PJL USTATUS DEVICE=ON\n", 0), "");
  std::string out;
  PrinterPoll(p, 10000, out);
  EXPECT_EQ(out, "");
}

TEST(SimPrinter, NonCommandsGetNoAnswer) {
  Printer p;
  EXPECT_EQ(Feed(p, "@PJ"), "");
  EXPECT_EQ(Feed(p, "X ECHO a\n@pjl ECHO b\n@PJL\r\n@PJL JOB\n@PJL INFO STATUSX\n"), "");
  EXPECT_EQ(Feed(p, "@PJL ECHO " + std::string(600, 'a') + "\n"), "");
  EXPECT_EQ(Feed(p, "@@PJL ECHO c\n"), "@PJL ECHO c\r\n\f");
  EXPECT_EQ(Feed(p, std::string("\0\xFF@PJL ECHO d\n", 14)), "@PJL ECHO d\r\n\f");
}

TEST(SimPrinter, UnsolicitedStatusComesOnceAfterDelay) {
  Printer p;
  p.ustatusDelayMs = 200;
  EXPECT_EQ(Feed(p, "@PJL USTATUS DEVICE = ON\r\n", 1000), "");
  std::string out;
  PrinterPoll(p, 1199, out);
  EXPECT_EQ(out, "");
  PrinterPoll(p, 1200, out);
  EXPECT_EQ(out, "@PJL USTATUS DEVICE\r\n" + kReady + "\f");
  EXPECT_TRUE(PassesCheck(out));
  out.clear();
  PrinterPoll(p, 5000, out);
  Feed(p, "@PJL USTATUS DEVICE=ON\n@PJL USTATUS DEVICE=OFF\n", 5000);
  PrinterPoll(p, 9000, out);
  EXPECT_EQ(out, "");
}

TEST(SimPrinter, JobEndsAtUelAfterEoj) {
  Printer p;
  const std::string first = kUel + "@PJL JOB\r\ndata" + kUel + "more@PJL EOJ\r\n" + kUel;
  const std::string second = "@PJL ECHO x\n";
  std::string all = first + second;
  size_t cut = first.size() - 4;  // inside the closing UEL
  Feed(p, all.substr(0, cut));
  EXPECT_TRUE(p.finished.empty());
  Feed(p, all.substr(cut));
  ASSERT_EQ(p.finished.size(), 1u);
  EXPECT_EQ(p.finished[0].bytes, (long long)first.size());
  EXPECT_EQ(p.finished[0].hash, Fnv1a64(first.data(), first.size()));
  PrinterEndConnection(p);
  ASSERT_EQ(p.finished.size(), 2u);
  EXPECT_EQ(p.finished[1].hash, Fnv1a64(second.data(), second.size()));
  EXPECT_EQ(p.jobsDone, 2);
  EXPECT_EQ(p.hash, Fnv1a64(all.data(), all.size()));
}

TEST(SimPrinter, HashKeepAndReset) {
  EXPECT_EQ(Fnv1a64("", 0), 0xcbf29ce484222325ULL);
  EXPECT_EQ(Fnv1a64("a", 1), 0xaf63dc4c8601ec8cULL);
  EXPECT_EQ(Fnv1a64("foobar", 6), 0x85944171f73967e8ULL);
  Printer p;
  p.keepCap = 5;
  Feed(p, "foo");
  Feed(p, "bar");
  EXPECT_EQ(p.hash, 0x85944171f73967e8ULL);
  EXPECT_EQ(p.bytes, 6);
  EXPECT_EQ(p.kept, "fooba");
  PrinterReset(p);
  EXPECT_EQ(p.bytes, 0);
  EXPECT_EQ(p.kept, "");
  EXPECT_EQ(p.hash, Fnv1a64("", 0));
}

TEST(SimPrinter, FloodDeviceIdAndStatus) {
  std::string f = FloodBytes(512, 3);
  bool seen[256] = {};
  for (int i = 0; i < 256; i++) seen[(unsigned char)f[i]] = true;
  EXPECT_EQ(std::count(seen, seen + 256, true), 256);
  EXPECT_NE(f.substr(0, 256), f.substr(256));
  EXPECT_NE(f, FloodBytes(512, 4));
  EXPECT_EQ(FloodBytes(-1, 0), "");
  std::string id = DeviceId();
  ASSERT_GE(id.size(), 2u);
  EXPECT_EQ((unsigned char)id[0] * 256 + (unsigned char)id[1], int(id.size()));
  EXPECT_EQ(id.substr(2), "MFG:Tarvex;CMD:PJL,PCL;MDL:Sim Printer;CLS:PRINTER;");
  EXPECT_EQ(StatusByte(1, 0, 0), 0x18);
  EXPECT_EQ(StatusByte(0, 1, 1), 0x20);
}

// A plain blocking client with 2-second time-outs.
int Connect(int port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a = {};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  timeval tv = {2, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  if (connect(fd, (sockaddr*)&a, sizeof a) == 0) return fd;
  int err = errno;
  close(fd);
  errno = err;
  return -1;
}

void SendAll(int fd, const std::string& s) {
  ASSERT_EQ(send(fd, s.data(), s.size(), MSG_NOSIGNAL), ssize_t(s.size()));
}

std::string ReadN(int fd, size_t n) {
  std::string s(n, '\0');
  size_t got = 0;
  for (ssize_t r = 1; got < n && r > 0; got += r > 0 ? size_t(r) : 0)
    r = recv(fd, &s[got], n - got, 0);
  s.resize(got);
  return s;
}

template <typename Pred>
bool WaitFor(Pred pred) {
  for (int i = 0; i < 200 && !pred(); i++)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return pred();
}

class SimServer : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(port = SimStart("127.0.0.1", 0), 0); }
  void TearDown() override { SimStop(); }
  int port = 0;
};

TEST_F(SimServer, BytesHashAndAnswersArrive) {
  EXPECT_EQ(SimStart("127.0.0.1", 0), 0);  // one server at a time
  int fd = Connect(port);
  ASSERT_GE(fd, 0);
  std::string data = kUel + "@PJL ECHO hi\r\n" + FloodBytes(1 << 20, 9);
  SendAll(fd, data);
  EXPECT_EQ(ReadN(fd, 15), "@PJL ECHO hi\r\n\f");
  ASSERT_TRUE(WaitFor([&] { return SimGetStats().bytes == (long long)data.size(); }));
  SimStats s = SimGetStats();
  EXPECT_EQ(s.hash, Fnv1a64(data.data(), data.size()));
  EXPECT_EQ(s.connections, 1);
  EXPECT_EQ(s.connectionBytes, (long long)data.size());
  EXPECT_TRUE(SimReceived() == data);
  SimReset();
  EXPECT_EQ(SimGetStats().bytes, 0);
  close(fd);
}

TEST_F(SimServer, RefusalThenAcceptAgain) {
  SimSetRefuse(1);
  EXPECT_EQ(Connect(port), -1);
  EXPECT_EQ(errno, ECONNREFUSED);
  SimSetRefuse(0);
  int fd = Connect(port);
  ASSERT_GE(fd, 0);
  SendAll(fd, "abc");
  EXPECT_TRUE(WaitFor([] { return SimGetStats().bytes == 3; }));
  close(fd);
}

TEST_F(SimServer, ClosesAfterBytesAndAfterJob) {
  SimSetCloseAfterBytes(1000);
  int fd = Connect(port);
  ASSERT_GE(fd, 0);
  SendAll(fd, std::string(5000, 'x'));
  char c;
  errno = 0;
  EXPECT_LE(recv(fd, &c, 1, 0), 0);  // end of stream or reset, not a time-out
  EXPECT_NE(errno, EAGAIN);
  EXPECT_EQ(SimGetStats().bytes, 1000);
  close(fd);

  SimSetCloseAfterBytes(0);
  SimSetCloseAfterJob(1);
  fd = Connect(port);
  ASSERT_GE(fd, 0);
  SendAll(fd, "@PJL EOJ\r\n" + kUel);
  EXPECT_EQ(recv(fd, &c, 1, 0), 0);
  EXPECT_TRUE(WaitFor([] { return SimGetStats().jobs == 2; }));  // the cut job, then this one
  close(fd);
}

TEST_F(SimServer, FloodAndUnsolicitedStatusReachClient) {
  int fd = Connect(port);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(SimFlood(100000, 5), 100000);
  EXPECT_TRUE(ReadN(fd, 100000) == FloodBytes(100000, 5));
  SimSetUstatusDelay(20);
  SendAll(fd, "@PJL USTATUS DEVICE=ON\r\n");
  std::string want = "@PJL USTATUS DEVICE\r\n" + kReady + "\f";
  EXPECT_EQ(ReadN(fd, want.size()), want);
  close(fd);
  EXPECT_TRUE(WaitFor([] { return !SimGetStats().connected; }));
  EXPECT_EQ(SimSend("x", 1), 0);
}

TEST_F(SimServer, PausedReadingHoldsDataBack) {
  SimSetReadRate(0, 1);
  int fd = Connect(port);
  ASSERT_GE(fd, 0);
  SendAll(fd, std::string(10000, 'y'));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(SimGetStats().bytes, 0);
  SimSetReadRate(0, 0);
  EXPECT_TRUE(WaitFor([] { return SimGetStats().bytes == 10000; }));
  close(fd);
}

}  // namespace
