#include "ports/rs232c/line.h"

#include <gtest/gtest.h>

#include <vector>

TEST(Rs232cPortList, HighestComNumberAmongTheEnumeratedNames) {
  struct Case {
    std::vector<const char*> names;
    int highest;
  } cases[] = {
      {{"COM1:", "COM4:", "LPT1:", "FILE:"}, 4},  // the gaps are the dialog's to fill
      {{"COM3", "COM10:", "COM2"}, 10},
      {{"LPT1:", "FILE:", "USB001"}, 0},
      {{}, 0},
      {{"COM", "COMx", "com7", "XCOM9", "COM-5", nullptr}, 0},  // nothing behind "COM" reads as 0
      {{"COM256", "COM257", "COM99999999999999999999", "COM2"}, 256},
      {{"COM12abc", "COM0"}, 12},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.highest, HighestComPort(c.names.data(), (int)c.names.size())) << c.names.size() << " names";
}

namespace {

const LineCaps ALL = {0x7FFFF, 0xF, 0x1F07};
// A port as the platform hands it over: every field set to something the choices change.
LineState Port() {
  LineState s = {};
  s.baudRate = 4321;
  s.byteSize = 7;
  s.parity = 2;
  s.stopBits = 2;
  s.outxCtsFlow = s.outxDsrFlow = s.dsrSensitivity = 1;
  s.dtrControl = s.rtsControl = 2;
  s.outX = s.inX = s.nullStrip = 1;
  s.xonChar = s.xoffChar = 'x';
  return s;
}

}  // namespace

TEST(Rs232cLine, ChoicesTakeEffectOnlyWhereThePortIsCapable) {
  struct Case {
    LineChoice choice;
    LineCaps caps;
    uint32_t baud;
    int byteSize, parity, stopBits;
  } cases[] = {
      {{11, 4, 0, 0, 0, 1}, ALL, 9600, 8, 0, 0},
      {{17, 0, 3, 1, 0, 1}, {0xFFFF, 0, 0x0802}, 4321, 4, 3, 1},  // no 128000 bit; "4 *" untested
      {{17, 1, 4, 2, 0, 1}, ALL, 128000, 5, 4, 2},
      {{15, 4, 1, 0, 0, 1}, {0x40000, 0x8, 0x0201}, 57600, 8, 1, 0},
      {{16, 4, 1, 0, 0, 1}, {0x40000, 0x0, 0x0000}, 4321, 7, 2, 2},  // 115200 is 0x20000, not 0x40000
      {{-1, -1, -1, -1, 0, 1}, ALL, 4321, 7, 2, 2},                 // typed texts keep the port's values
      {{18, 5, 5, 3, 0, 1}, ALL, 4321, 7, 2, 2},                    // past the tables too
  };
  for (const Case& c : cases) {
    LineState s = Port();
    ConfigureLine(c.choice, c.caps, &s);
    SCOPED_TRACE(c.choice.baud);
    EXPECT_EQ(c.baud, s.baudRate);
    EXPECT_EQ(c.byteSize, s.byteSize);
    EXPECT_EQ(c.parity, s.parity);
    EXPECT_EQ(c.stopBits, s.stopBits);
    EXPECT_EQ(1, s.binary);
    EXPECT_EQ(1, s.parityCheck);
  }
}

TEST(Rs232cLine, FlowControlModes) {
  struct Case {
    int flow;
    int outxDsr, dtr, outX, inX;
  } cases[] = {
      {0, 0, 1, 1, 1},  // XON/XOFF
      {1, 1, 2, 0, 0},  // HARDWARE: DTR handshake
      {2, 0, 1, 0, 0},  // NO
  };
  for (const Case& c : cases) {
    LineState s = Port();
    ConfigureLine({11, 4, 0, 0, c.flow, 1}, ALL, &s);
    SCOPED_TRACE(c.flow);
    EXPECT_EQ(0, s.outxCtsFlow);
    EXPECT_EQ(0, s.dsrSensitivity);
    EXPECT_EQ(1, s.rtsControl);
    EXPECT_EQ(c.outxDsr, s.outxDsrFlow);
    EXPECT_EQ(c.dtr, s.dtrControl);
    EXPECT_EQ(c.outX, s.outX);
    EXPECT_EQ(c.inX, s.inX);
    EXPECT_EQ(1, s.txContinueOnXoff);
    EXPECT_EQ(0, s.nullStrip);
    EXPECT_EQ(0x11, s.xonChar);
    EXPECT_EQ(0x13, s.xoffChar);
  }
  for (int outside : {-1, 3}) {  // the port's own flow settings stay
    LineState s = Port();
    ConfigureLine({11, 4, 0, 0, outside, 0}, ALL, &s);
    EXPECT_EQ(1, s.outxCtsFlow);
    EXPECT_EQ(1, s.outxDsrFlow);
    EXPECT_EQ(1, s.dsrSensitivity);
    EXPECT_EQ(2, s.dtrControl);
    EXPECT_EQ(2, s.rtsControl);
    EXPECT_EQ(1, s.outX);
    EXPECT_EQ(0, s.parityCheck);  // parity checking is left alone without the enable word
  }
}
