#include "ports/usb/access_rules.h"
#include "ports/usb/device_id.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Parsed {
  std::string mfg, mdl, cls, des, aid, cid, cmd;
};

std::string Field(const char* value) { return value ? value : "<none>"; }

Parsed Parse(std::string text) {
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back(0);
  DeviceIdFields f;
  ParseDeviceId(&f, buffer.data());
  return {Field(f.manufacturer), Field(f.model), Field(f.cls), Field(f.description),
          Field(f.automaticId), Field(f.compatibleId), Field(f.commandSet)};
}

}  // namespace

TEST(UsbDeviceId, FieldsAbbreviationsAndOddTexts) {
  const std::string n = "<none>";
  struct Case {
    const char* text;
    Parsed want;
  } cases[] = {
      {"MFG:ACME;MDL:X1;CMD:PCL,PJL;", {"ACME", "X1", n, n, n, n, "PCL,PJL"}},
      {"MANUFACTURER:A;MODEL:B;CLASS:PRINTER;DESCRIPTION:D;AUTOMATICID:E;COMPATIBLEID:F;COMMAND SET:G;",
       {"A", "B", "PRINTER", "D", "E", "F", "G"}},
      {"CLS:P;DES:D;AID:E;CID:F;", {n, n, "P", "D", "E", "F", n}},
      {"M:A;MO:B;C:P;CO:F;", {"A", "B", "P", n, n, "F", n}},
      {"MFG:A; MDL:B;", {"A", "B", n, n, n, n, n}},
      {"MFG:A;MDL:B", {"A", "B", n, n, n, n, n}},
      {"mfg:A;", {n, n, n, n, n, n, n}},
      {"XYZ;MFG:A;", {n, n, n, n, n, n, n}},
      {"MFG:A;MODEL", {"A", n, n, n, n, n, n}},
      {"SN:123;MDL:Z;", {n, "Z", n, n, n, n, n}},
      {"MFGX:A;MODELS:B;", {n, n, n, n, n, n, n}},
      {"MDL:first;MDL:second;", {n, "second", n, n, n, n, n}},
      {":A;MDL:;", {n, "", n, n, n, n, n}},
      {"", {n, n, n, n, n, n, n}},
  };
  for (const Case& c : cases) {
    Parsed p = Parse(c.text);
    EXPECT_EQ(p.mfg, c.want.mfg) << c.text;
    EXPECT_EQ(p.mdl, c.want.mdl) << c.text;
    EXPECT_EQ(p.cls, c.want.cls) << c.text;
    EXPECT_EQ(p.des, c.want.des) << c.text;
    EXPECT_EQ(p.aid, c.want.aid) << c.text;
    EXPECT_EQ(p.cid, c.want.cid) << c.text;
    EXPECT_EQ(p.cmd, c.want.cmd) << c.text;
  }
}

TEST(UsbDeviceId, AnswerFillingTheWholeBufferIsTerminatedAndKept) {
  std::vector<char> buffer(1025, 'x');
  std::memcpy(buffer.data(), "MDL:", 4);
  TerminateDeviceId(buffer.data(), 1024, 1024);
  DeviceIdFields f;
  ParseDeviceId(&f, buffer.data());
  ASSERT_NE(f.model, nullptr);
  EXPECT_EQ(std::strlen(f.model), 1020u);
  TerminateDeviceId(buffer.data(), 1024, 5000);  // a count beyond the buffer stays inside it
  EXPECT_EQ(buffer[1024], 0);
}

TEST(UsbPortNumber, WholeNumberNamesThePort) {
  struct Case {
    std::vector<unsigned char> value;
    int port;
    const char* name;
  } cases[] = {
      {{1, 0, 0, 0}, 1, "USB001"},
      {{0x01, 0x01, 0, 0}, 1, "USB257"},  // matched by its low byte it answered for USB001
      {{0x30, 0x01, 0, 0}, 1, "USB304"},
      {{48, 0, 0, 0}, 0, ""},
      {{7}, 1, "USB007"},
      {{}, 0, ""},
      {{0x0F, 0x27, 0, 0, 0xAA}, 1, "USB9999"},
  };
  for (const Case& c : cases) {
    uint32_t number = 0;
    EXPECT_EQ(UsbPortNumber(c.value.data(), c.value.size(), &number), c.port) << c.name;
    if (!c.port) continue;
    EXPECT_TRUE(UsbPortMatches(number, c.name)) << c.name;
    EXPECT_FALSE(UsbPortMatches(1, "usb001"));
    EXPECT_EQ(UsbPortMatches(number, "USB001"), number == 1) << c.name;
  }
}

TEST(UsbPaths, PipesFollowTheDevicePath) {
  char* write = UsbPipePath("\\\\?\\usb#vid_1#p", 0);
  char* read = UsbPipePath("\\\\?\\usb#vid_1#p", 1);
  EXPECT_STREQ(write, "\\\\?\\usb#vid_1#p\\PIPE00");
  EXPECT_STREQ(read, "\\\\?\\usb#vid_1#p\\PIPE01");
  std::free(write);
  std::free(read);
}

TEST(UsbSettings, DefaultsAndOnlyFourByteValues) {
  uint32_t s[USB_SETTINGS];
  UsbSettingsDefaults(s);
  const uint32_t want[USB_SETTINGS] = {4096, 45000, 45000, 200, 1000, 1000, 1000};
  for (int i = 0; i < USB_SETTINGS; i++) EXPECT_EQ(s[i], want[i]) << UsbSettingNames[i];
  const unsigned char eight[4] = {0x00, 0x20, 0, 0}, zero[4] = {};
  EXPECT_EQ(UsbSettingValue(TRANSFER_BLOCK_SIZE, 1, eight, 4), 8192u);
  EXPECT_EQ(UsbSettingValue(TRANSFER_BLOCK_SIZE, 1, zero, 4), 4096u);
  EXPECT_EQ(UsbSettingValue(READ_INTERVAL_TIMEOUT, 1, zero, 4), 0u);
  EXPECT_EQ(UsbSettingValue(READ_INTERVAL_TIMEOUT, 1, eight, 2), 200u);
  EXPECT_EQ(UsbSettingValue(WRITE_RETRY_TIMEOUT, 0, eight, 4), 45000u);
}

TEST(UsbHandles, ClosedAndForeignHandlesNameNoRecord) {
  UsbHandleTable table = {};
  int a = 1, b = 2;
  uintptr_t ha = UsbHandleAdd(&table, &a);
  ASSERT_NE(ha, 0u);
  EXPECT_EQ(UsbHandleFind(&table, ha), &a);
  EXPECT_EQ(UsbHandleRemove(&table, ha), &a);
  EXPECT_EQ(UsbHandleFind(&table, ha), nullptr);
  EXPECT_EQ(UsbHandleRemove(&table, ha), nullptr);  // a second close
  uintptr_t hb = UsbHandleAdd(&table, &b);          // the same slot again
  EXPECT_NE(hb, ha);
  EXPECT_EQ(UsbHandleFind(&table, ha), nullptr);
  EXPECT_EQ(UsbHandleFind(&table, hb), &b);
  for (uintptr_t foreign : {(uintptr_t)0, ~(uintptr_t)0, hb + 1, hb ^ 0x100, (uintptr_t)0x7FF0})
    EXPECT_EQ(UsbHandleFind(&table, foreign), nullptr) << foreign;
  int more[USB_HANDLE_SLOTS];
  int added = 0;
  for (int& m : more) added += UsbHandleAdd(&table, &m) != 0;
  EXPECT_EQ(added, USB_HANDLE_SLOTS - 1);
}

TEST(UsbChoice, DisplayTextMatchesExactlyLaterEntryWins) {
  UsbPrinterEntry t[4] = {};
  const char* rows[4][2] = {{"USB001", "X10"}, {"USB002", "X1"}, {"USB003", "X1"}, {"USB004", "X1"}};
  for (int i = 0; i < 4; i++) {
    CopyBounded(t[i].portName, sizeof t[i].portName, rows[i][0]);
    CopyBounded(t[i].displayText, sizeof t[i].displayText, rows[i][1]);
    t[i].opened = i < 3;
  }
  EXPECT_STREQ(UsbChosenPort(t, 4, "X10"), "USB001");
  EXPECT_STREQ(UsbChosenPort(t, 4, "X1"), "USB003");
  EXPECT_EQ(UsbChosenPort(t, 4, "X"), nullptr);
  EXPECT_EQ(UsbEntryOfPort(t, 4, "USB00"), nullptr);
  EXPECT_EQ(UsbEntryOfPort(t, 4, "USB002"), &t[1]);
}

TEST(UsbCopy, BoundedAndTerminated) {
  char out[8];
  std::memset(out, 'z', sizeof out);
  CopyBounded(out, sizeof out, "a longer printer-supplied text");
  EXPECT_STREQ(out, "a longe");
  CopyBounded(out, sizeof out, "ok");
  EXPECT_STREQ(out, "ok");
}
