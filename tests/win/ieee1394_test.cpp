#include "tests/win/rigs.h"
#include "platform/alloc.h"
#include "ports/ieee1394/ieee1394.h"
#include "services/scsi_test.h"
#include <gtest/gtest.h>
#include <ctype.h>

// The simulated 1394 printer behind "LPT2", with its SCSI port.
class Ieee1394Test : public AppTest {
 protected:
  void BeforeStart() override { ASSERT_TRUE(rig.Serve()); }
  void TearDown() override {
    AppTest::TearDown();
    rig.Unserve();
  }
  void Connect(bool bidirectional) {
    PostCommand(IDM_IEEE1394);
    HWND dlg = WaitDialog("IEEE1394");
    ASSERT_TRUE(dlg != NULL);
    SendDlgItemMessageA(dlg, IDC_1394_PORT, CB_SELECTSTRING, (WPARAM)-1, (LPARAM) "LPT2");
    SetCheck(dlg, IDC_1394_BIDIR, bidirectional);
    Click(dlg, IDOK);
    ASSERT_TRUE(DialogGone(dlg));
    ASSERT_TRUE(WaitFor([] { return Ports[IF_IEEE1394].connected == 1; })) << LogDump();
  }
  // A test's lines, with each hex dump's data lines counted as "<dump N>".
  std::vector<std::string> Run(int choice) {
    ReportLines all, shape;
    RunScsiTest(choice, Ieee1394Handle, &all);
    for (const std::string& line : all) {
      bool dumpLine = line.size() > 6 && line[0] == ' ' && isxdigit(line[1]) && isxdigit(line[3]) && line[4] == ' ';
      if (!dumpLine)
        shape.push_back(line);
      else if (shape.back().compare(0, 6, "<dump ") == 0)
        shape.back() = "<dump " + std::to_string(std::stoi(shape.back().substr(6)) + 1) + ">";
      else
        shape.push_back("<dump 1>");
    }
    last = all;
    return shape;
  }
  ReportLines last;
  Ieee1394Rig rig;
  ScsiDevice& scsi = rig.scsi;
  SimDevice*& device = rig.device;
};

static std::string ErrorText(DWORD error) {
  char text[512];
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, error, 0, text,
                           sizeof text, NULL);
  std::string s(text, n > 80 ? 80 : n);
  while (!s.empty() && (s.back() == '\r' || s.back() == '\n')) s.pop_back();
  return s;
}

typedef std::vector<std::string> Lines;
static const Lines kDumpHead = {"      00  01  02  03  04  05  06  07   08  09  0A  0B  0C  0D  0E  0F ",
                                "      --------------------------------------------------------------- "};
static const char* kTitles[5][2] = {
    {"            ***** MODE SENSE -- return all pages ***** ", "            *****      with SenseInfo buffer     ***** "},
    {"            ***** MODE SENSE -- return all pages ***** ", "            *****    without SenseInfo buffer    ***** "},
    {"            *****      TEST UNIT READY      ***** ", "            *****    DataBufferLength = 0   ***** "},
    {"            *****      MODE SENSE -- return all pages      ***** ",
     "            *****   bad DataBufferOffset -- should fail    ***** "},
    {"            *****               MODE SENSE                  ***** ",
     "            *****     return caching mode sense page        ***** "}};
static const char* kWriteTitle = "            *****       WRITE DATA BUFFER operation         ***** ";
static const char* kReadTitle = "            *****       READ DATA BUFFER operation         ***** ";

static Lines operator+(Lines a, const Lines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
static Lines Titles(int step) { return {kTitles[step][0], kTitles[step][1]}; }
static Lines Good(const char* returned, const char* length, int dumpLines) {
  return Lines{std::string("Scsi status: 00h, Bytes returned: ") + returned + "h, ",
               std::string("Data buffer length: ") + length + "h   "} +
         kDumpHead + Lines{"<dump " + std::to_string(dumpLines) + ">", "  "};
}
static Lines Failed(DWORD error) { return {"Error: " + std::to_string(error) + "  ", ErrorText(error)}; }
static Lines Sense() {
  return {"Scsi status: 02h  ", "Sense Info -- consult SCSI spec for details ",
          "------------------------------------------------------------- ",
          "70 00 02 00 00 00 00 0A 00 00 00 00 04 03 00 00 00 00 ", "  "};
}

// The four tests' reports line for line: a printer that answers, one that refuses every
// request with its own error (each series goes on), one that answers CHECK CONDITION. The
// 64-bit records put the data at 88, so a 192-byte request dumps 280 bytes (18 lines).
TEST_F(Ieee1394Test, ScsiReportsOfAnsweringRefusingAndCheckConditionPrinters) {
  Connect(false);
  PostCommand(IDM_SCSI);
  HWND dlg = WaitDialog("IEEE1394 SCSI Command transmitting function");
  ASSERT_TRUE(dlg != NULL);
  EXPECT_TRUE(IsChecked(dlg, IDC_SCSI_INQUIRY));
  size_t before = LogLines().size();
  Click(dlg, IDOK);
  ASSERT_TRUE(WaitLine("Read 3Ch bytes of inquiry data Information. ")) << LogDump();
  ASSERT_TRUE(WaitFor([&] { return LogLines().size() >= before + 7; }));
  EXPECT_EQ(" 0   1    0    Y    TARVEX  1394 SIM PRINTER1.00 02 00 05 02 1F 00 00 00 ", LogLines()[before + 4]);

  EXPECT_EQ(Lines{}, Run(SCSI_CAPABILITIES));
  EXPECT_EQ(Titles(0) + Good("7C", "24", 18) + Titles(1) + Good("7C", "24", 18) + Titles(2) + Good("38", "0", 6) +
                Titles(3) + Failed(87) + Titles(4) + Good("70", "18", 18),
            Run(SCSI_PASS_THROUGH_SERIES));
  Lines direct = Good("58", "200", 6) + kDumpHead + Lines{"<dump 32>", "  "};
  EXPECT_EQ(Lines{kWriteTitle} + direct + Lines{kReadTitle} + direct, Run(SCSI_DIRECT_SERIES));
  const Lines& readBack = last;
  EXPECT_EQ(" 0F0  4E  4E  4E  4E  4E  4E  4E  4E   4E  4E  4E  4E  4E  4E  4E  4E   ", readBack[readBack.size() - 18]);
  EXPECT_EQ(" 100  54  54  54  54  54  54  54  54   54  54  54  54  54  54  54  54   ", readBack[readBack.size() - 17]);

  scsi.refuse = {{SCSI_CODE_INQUIRY_DATA, 31}, {SCSI_CODE_CAPABILITIES, 1117}, {SCSI_CODE_PASS_THROUGH, 1167},
                 {SCSI_CODE_PASS_THROUGH_DIRECT, 55}};
  EXPECT_EQ((Lines{"Error reading inquiry data information; error was 31 ", ErrorText(31)}), Run(SCSI_INQUIRY));
  Lines capsRefused = {"Error in io control; error was 1117 ", ErrorText(1117)};
  EXPECT_EQ(capsRefused, Run(SCSI_CAPABILITIES));
  Lines series;
  for (int step = 0; step < 5; step++) series = series + Titles(step) + Failed(1167);
  EXPECT_EQ(series, Run(SCSI_PASS_THROUGH_SERIES));
  EXPECT_EQ(capsRefused + Lines{kWriteTitle} + Failed(55) + Lines{kReadTitle} + Failed(55), Run(SCSI_DIRECT_SERIES));

  scsi.refuse.clear();
  scsi.checkCondition = 1;
  EXPECT_EQ(Titles(0) + Sense() + Titles(1) + Lines{"Scsi status: 02h  "} + Titles(2) + Sense() + Titles(3) +
                Failed(87) + Titles(4) + Sense(),
            Run(SCSI_PASS_THROUGH_SERIES));

  // Out of memory for the data buffer ends the test, not the program.
  FileBufferAllocLimit = 16;
  EXPECT_EQ((Lines{kWriteTitle, "Memory allocation error.  Terminating program "}), Run(SCSI_DIRECT_SERIES));
  EXPECT_TRUE(IsWindow(hMainWnd));
}

// Pieces of 1 and 4 KiB reach the printer byte for byte, and its answers come back between
// the pieces and from the receive thread with their zero bytes removed (a leading zero no
// longer loses the answer).
TEST_F(Ieee1394Test, FilesGoOutWholeAndAnswersComeBackWithoutTheirZeroBytes) {
  Ports[IF_IEEE1394].receiveTimes = 50;
  Connect(true);
  EXPECT_EQ("IEEE1394         ", StatusText(0));
  SimDeviceSend(device, std::string("\0READY\0 NOW", 12));
  EXPECT_TRUE(WaitFor([] { return !LinesWith("READY NOW").empty(); })) << LogDump();

  std::string data = "@PJL ECHO PIECES\r\n" + FloodBytes(9000, 7);
  std::string path = File("flood.bin", data);
  ASSERT_TRUE(RunJob({path}, 1, "1"));
  ASSERT_TRUE(RunJob({path}, 1, "4"));
  EXPECT_TRUE(HasLine("IEEE1394:Data Send End.")) << LogDump();
  EXPECT_TRUE(WaitFor([&] { return DeviceKept(device) == data + data; }));
  EXPECT_TRUE(WaitFor([] { return !LinesWith("@PJL ECHO PIECES").empty(); })) << LogDump();
}
