#include "ports/ieee1284/device_id.h"

#include "tests/native/test_util.h"

static Strings Show(const std::string& id) { return DeviceIdLines(id.data(), id.size()); }

// Each line is two characters longer than its entry, so a short ID makes the longest
// output relative to its length.
TEST(DeviceIdDisplay, EntriesBecomeKeyEqualsValueLines) {
  const struct {
    std::string id;
    Strings lines;
  } cases[] = {
      {"MFG:ACME;CMD:PCL;", {"MFG = ACME", "CMD = PCL"}},
      {"MDL:X1", {"MDL = X1"}},
      {"A:;B:c", {"A = ", "B = c"}},
      {"NOCOLON;K:v;;", {"K = v"}},
      {"K:a:b;", {"K = a:b"}},
      {"", {}},
      {std::string("K:v;\0L:w;", 9), {"K = v"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Show(c.id), c.lines) << c.id;
  const char unterminated[] = {'M', 'D', 'L', ':', 'X', '1', ';', 'Z'};  // read no further than the length
  EXPECT_EQ(DeviceIdLines(unterminated, 6), (Strings{"MDL = X1"}));
}
