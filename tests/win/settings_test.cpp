#include "tests/win/harness.h"
#include "common/settings.h"
#include "common/state.h"
#include <gtest/gtest.h>

class Settings : public testing::Test {
 protected:
  void SetUp() override { folder = FreshFolder(testing::UnitTest::GetInstance()->current_test_info()->name()); }
  void TearDown() override { StopApp(); }
  std::string Ini() { return ReadBytes(folder + "\\Tarvex.ini"); }
  std::string folder;
};

static bool Has(const std::string& ini, const std::string& line) {
  return ini.find(line + "\r\n") != std::string::npos;
}

TEST_F(Settings, AMissingFileGivesEveryDefaultExitWritesThemAllAndAKeyTextKeeps260Characters) {
  StartApp();
  for (int kind : {IF_USB, IF_IEEE1284, IF_RS232C, IF_IEEE1394}) EXPECT_EQ(500, Ports[kind].receiveTimes);
  EXPECT_EQ(100, Ports[IF_TCPIP].receiveTimes);
  std::string longText(300, 'k');
  longText[259] = 'L';
  strcpy(FunctionKeys[4], longText.c_str());
  StopApp();
  std::string ini = Ini();
  for (const char* section : {"[USB]", "[TCPIP]", "[IEEE1284]", "[RS232C]", "[IEEE1394]", "[FunctionKey]", "[USER]",
                              "[InputKey]"})
    EXPECT_TRUE(Has(ini, section)) << section;
  EXPECT_LT(ini.find("[USB]"), ini.find("[TCPIP]"));
  EXPECT_LT(ini.find("[USER]"), ini.find("[InputKey]"));
  for (const char* line : {"receive times=500", "NoRecvCounter=600", "Address=", "baudrate=11", "data bits=4", "F01=",
                           "F12=", "RcvDsp=1", "OpenDsp=1", "PortDsp=1", "DspLine=80", "KEYINNewlineCode=2",
                           "KEYINSendType=0", "time-out=10"})
    EXPECT_TRUE(Has(ini, line)) << line;
  EXPECT_LT(ini.find("Address="), ini.find("NoRecvCounter="));
  EXPECT_TRUE(Has(ini, "F05=" + longText.substr(0, 260)));
  StartApp();
  EXPECT_EQ(longText.substr(0, 260), std::string(FunctionKeys[4]));
}

// Keys added by hand vanish at exit, known ones survive, and bad values are handled soundly.
TEST_F(Settings, StrangeKeysAndBadValues) {
  WriteBytes(folder + "\\Tarvex.ini", "[TCPIP]\r\nAddress=" + std::string(400, 'h') +
                                          "\r\n[USER]\r\nRcvDsp=abc\r\nMyOwnKey=42\r\nDspLine=0\r\n[Stranger]\r\nx=1\r\n"
                                          "[InputKey]\r\nKEYINNewlineCode=-1\r\n");
  StartApp();
  EXPECT_EQ(std::string(259, 'h'), std::string(TcpAddress)) << "cut to its buffer";
  EXPECT_EQ(1, RcvDsp) << "not a number gives the default";
  EXPECT_EQ(-1, KEYINNewlineCode);
  StopApp();
  std::string ini = Ini();
  EXPECT_EQ(std::string::npos, ini.find("MyOwnKey"));
  EXPECT_TRUE(Has(ini, "DspLine=0"));
  EXPECT_TRUE(Has(ini, "RcvDsp=1"));
}

// A start directory longer than MAX_PATH keeps the file beside the program's work, not at the drive root.
TEST_F(Settings, TheFileStaysInALongStartDirectory) {
  std::wstring deep = L"\\\\?\\" + std::wstring(folder.begin(), folder.end());
  while (deep.size() < 300) deep += L"\\" + std::wstring(60, L'd'), CreateDirectoryW(deep.c_str(), NULL);
  ASSERT_TRUE(SetCurrentDirectoryW(deep.c_str() + 4));
  std::string root = folder.substr(0, 3) + "Tarvex.ini";
  DeleteFileA(root.c_str());
  StartApp();
  StopApp();
  SetCurrentDirectoryA(folder.c_str());
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((deep + L"\\Tarvex.ini").c_str()));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(root.c_str()));
}
