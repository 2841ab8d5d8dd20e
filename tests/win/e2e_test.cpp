// Acceptance runs through the real window, the real TCP/IP driver and the simulated
// printer on a loopback port: what a user does and what the printer gets, end to end.
#include "tests/win/harness.h"
#include "common/resource.h"
#include "common/settings.h"
#include "send/frame.h"
#include "sim/server.h"
#include <gtest/gtest.h>

namespace {

const std::string UEL = "\x1B%-12345X";

// The lines appear in the log in this order, each as the start of a line; other lines
// (received data) may lie between them.
bool LoggedInOrder(const std::vector<std::string>& starts) {
  size_t next = 0;
  for (const std::string& line : LogLines())
    if (next < starts.size() && line.compare(0, starts[next].size(), starts[next]) == 0) next++;
  return next == starts.size();
}

// Bytes below '@': no PJL for the printer to find and no letter a keystroke could add.
std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; i++) bytes[i] = (char)(i % 61);
  return bytes;
}

// Larger than the loopback socket buffers, so a printer that stops reading holds the job.
const size_t STUCK_FILE_SIZE = 8u << 20;

uint64_t Hash(const std::string& bytes) { return Fnv1a64(bytes.data(), bytes.size()); }

}  // namespace

class EndToEnd : public PrinterTest {
 protected:
  // Starts a job the printer does not read, so it is still running when the test acts on it.
  void StartStuckJob(const std::string& path) {
    SimSetReadRate(0, 1);
    ASSERT_TRUE(StartJob({path}, "64"));
    ASSERT_TRUE(WaitFor([] { return ToolbarEnabled(TB_STOP); }));
    Sleep(300);
    ASSERT_TRUE(SendThreadHandle != NULL) << "the job ended although the printer read nothing";
  }
};

TEST_F(EndToEnd, OneFileTravelsToThePrinterWhoseAnswersPassTheStringCheckUntilOneDoesNot) {
  Connect(true, false, true);
  std::string job = UEL + "@PJL INFO STATUS\r\n" + Pattern(200000) + UEL;
  std::string path = File("status.prn", job);
  ASSERT_TRUE(RunJob({path}, 1, "4"));

  EXPECT_TRUE(LoggedInOrder({"TCP/IP:Data Send Start.", "TCP/IP:(1)SendDataFile = " + path,
                             "TCP/IP:(1)SendDataSize = " + std::to_string(job.size()) + "byte",
                             "TCP/IP:(1)SendTime = ", "TCP/IP:Data Send End."}))
      << LogDump();
  ASSERT_TRUE(WaitFor([&] { return SimGetStats().bytes == (long long)job.size(); }));
  EXPECT_EQ(Hash(job), SimGetStats().hash);
  EXPECT_TRUE(WaitFor([] { return !LinesWith("ONLINE=TRUE").empty(); })) << "the answer was not shown" << LogDump();
  EXPECT_TRUE(HasLine("@PJL INFO STATUS<0D><0A>")) << LogDump();
  EXPECT_TRUE(LinesWith("<ERROR>").empty()) << LogDump();
  EXPECT_EQ(1, Ports[IF_TCPIP].receiveRun);
  EXPECT_TRUE(WaitFor([] { return StatusText(1) == "Send          0 /          0(byte):     1 /      1"; }))
      << StatusText(1);

  // A malformed answer during a job stops receiving and the job; receiving stays off.
  StartStuckJob(File("big.bin", Pattern(STUCK_FILE_SIZE)));
  ASSERT_EQ(2, SimSend("\r\n", 2));  // a line end outside any PJL response
  ASSERT_TRUE(JobEnded(10000)) << LogDump();
  EXPECT_TRUE(LoggedInOrder({"TCP/IP:Data Send Start.", "<0D><0A>", "TCP/IP:<ERROR>StringCheck Error",
                             "TCP/IP:<ERROR>Data Send NG."}))
      << LogDump();
  EXPECT_EQ(1u, LinesWith("Data Send End.").size()) << LogDump();
  EXPECT_EQ(0, Ports[IF_TCPIP].receiveRun);
  EXPECT_EQ(1, Ports[IF_TCPIP].connected);
  EXPECT_FALSE(ToolbarEnabled(TB_STOP));
  ASSERT_EQ(5, SimSend("late\n", 5));
  Sleep(500);
  EXPECT_TRUE(LinesWith("late").empty()) << LogDump();
}

TEST_F(EndToEnd, FilesGoInTheChosenOrderTheCounterCarriesOnAndEveryByteSentArrives) {
  Connect(false);
  std::string a = File("a.bin", "<file A>"), b = File("b.bin", "<B>");
  ASSERT_TRUE(RunJob({a, b}, 3, "1", true));
  std::string abab = "<file A><B><file A><B><file A><B>";
  EXPECT_TRUE(WaitFor([&] { return SimReceived() == abab; })) << SimReceived();
  EXPECT_TRUE(WaitFor([] { return StatusText(1) == "Send          0 /          0(byte):     6 /      6"; }))
      << StatusText(1);

  SimReset();
  ASSERT_TRUE(RunJob({a, b, File("c_empty.bin", "")}, 3, "1", false));
  std::string aabb = "<file A><file A><file A><B><B><B>";
  EXPECT_TRUE(WaitFor([&] { return SimReceived() == aabb; })) << SimReceived();
  EXPECT_TRUE(HasLine("TCP/IP:(7)SendDataFile = " + a)) << LogDump();
  EXPECT_TRUE(HasLine("TCP/IP:(12)SendDataFile = " + b)) << LogDump();
  EXPECT_TRUE(HasLine("TCP/IP:(15)SendDataSize = 0byte")) << "an empty file counts as sent" << LogDump();
  EXPECT_EQ(2u, LinesWith("TCP/IP:Data Send End.").size());

  // A listed file gone before transmission ends the job, and nothing is sent.
  SimReset();
  HWND dlg = ListJob({a});
  ASSERT_TRUE(dlg);
  ASSERT_TRUE(DeleteFileA(a.c_str()));
  Click(dlg, IDOK);
  ASSERT_TRUE(DialogGone(dlg) && JobEnded());
  EXPECT_EQ("TCP/IP:<ERROR>Send Data File Handle NG.", LogLines().back()) << LogDump();
  Sleep(500);
  EXPECT_EQ(0, SimGetStats().bytes);
  EXPECT_EQ(1, SimGetStats().connected);

  // Closing with an answer unread would reset the connection and drop what the printer had
  // not taken yet; the close shuts the sending side down and drains instead.
  std::string job = UEL + "@PJL INFO STATUS\r\n" + Pattern(STUCK_FILE_SIZE);
  SimSetReadRate(8 << 20, 0);
  ASSERT_TRUE(RunJob({File("job.prn", job)}, 1, "64"));
  EXPECT_EQ("TCP/IP:Data Send End.", LogLines().back());
  PostCommand(IDM_DISCONNECT);
  EXPECT_TRUE(WaitFor([&] { return SimGetStats().bytes == (long long)job.size(); }, 20000))
      << SimGetStats().bytes << " of " << job.size();
  EXPECT_EQ(Hash(job), SimGetStats().hash);
}
