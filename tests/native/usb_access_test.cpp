#include "ports/usb/access_rules.h"
#include "ports/usb/device_id.h"

#include "tests/native/test_util.h"

#include <cstring>

// The seven fields as "MANUFACTURER|MODEL|CLASS|DESCRIPTION|AUTOMATICID|COMPATIBLEID|COMMAND SET",
// "-" for a field not found.
static std::string Parse(std::string text) {
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back(0);
  DeviceIdFields f;
  ParseDeviceId(&f, buffer.data());
  std::string fields;
  for (const char* v : {f.manufacturer, f.model, f.cls, f.description, f.automaticId, f.compatibleId, f.commandSet})
    fields += std::string(fields.empty() ? "" : "|") + (v ? v : "-");
  return fields;
}

TEST(UsbDeviceId, FieldsAbbreviationsAndOddTexts) {
  const char* none = "-|-|-|-|-|-|-";
  const char* cases[][2] = {
      {"MFG:ACME;MDL:X1;CMD:PCL,PJL;", "ACME|X1|-|-|-|-|PCL,PJL"},
      {"MANUFACTURER:A;MODEL:B;CLASS:PRINTER;DESCRIPTION:D;AUTOMATICID:E;COMPATIBLEID:F;COMMAND SET:G;",
       "A|B|PRINTER|D|E|F|G"},
      {"CLS:P;DES:D;AID:E;CID:F;", "-|-|P|D|E|F|-"},
      {"M:A;MO:B;C:P;CO:F;", "A|B|P|-|-|F|-"},
      {"MFG:A; MDL:B;", "A|B|-|-|-|-|-"},
      {"MFG:A;MDL:B", "A|B|-|-|-|-|-"},
      {"mfg:A;", none},
      {"XYZ;MFG:A;", none},
      {"MFG:A;MODEL", "A|-|-|-|-|-|-"},
      {"SN:123;MDL:Z;", "-|Z|-|-|-|-|-"},
      {"MFGX:A;MODELS:B;", none},
      {"MDL:first;MDL:second;", "-|second|-|-|-|-|-"},
      {":A;MDL:;", "-||-|-|-|-|-"},
      {"", none},
  };
  for (const auto& c : cases) EXPECT_EQ(Parse(c[0]), c[1]) << c[0];
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
  struct Case { std::vector<unsigned char> value; int port; const char* name; } cases[] = {
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
    EXPECT_EQ(UsbPortMatches(number, "USB001"), number == 1) << c.name;
  }
  EXPECT_FALSE(UsbPortMatches(1, "usb001"));
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
  EXPECT_EQ(UsbHandleRemove(&table, ha), nullptr);  // a second close
  uintptr_t hb = UsbHandleAdd(&table, &b);          // the same slot again
  EXPECT_NE(hb, ha);
  EXPECT_EQ(UsbHandleFind(&table, ha), nullptr);
  EXPECT_EQ(UsbHandleFind(&table, hb), &b);
  for (uintptr_t foreign : {(uintptr_t)0, ~(uintptr_t)0, hb + 1, hb ^ 0x100, (uintptr_t)0x7FF0})
    EXPECT_EQ(UsbHandleFind(&table, foreign), nullptr) << foreign;
}

TEST(UsbChoice, DisplayTextMatchesExactlyLaterEntryWinsCopiesBounded) {
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
  std::memset(t[0].portName, 'z', sizeof t[0].portName);
  CopyBounded(t[0].portName, 7, "a longer printer-supplied text");  // bounded, and terminated
  EXPECT_STREQ(t[0].portName, "a long");
}
