#include "ports/rs232c/line.h"

#include "tests/native/test_util.h"

TEST(Rs232cPortList, HighestComNumberAmongTheEnumeratedNames) {
  struct Case {
    std::vector<const char*> names;
    int highest;
  } cases[] = {
      {{"COM1:", "COM4:", "LPT1:", "FILE:"}, 4},  // the gaps are the dialog's to fill
      {{"COM3", "COM10:", "COM2"}, 10},
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

// A port as the platform hands it over, every field set to something the choices
// change, configured with `choice`.
LineState Configured(const LineChoice& choice, const LineCaps& caps) {
  LineState s = {};
  s.baudRate = 4321;
  s.byteSize = 7;
  s.parity = s.stopBits = 2;
  s.outxCtsFlow = s.outxDsrFlow = s.dsrSensitivity = 1;
  s.dtrControl = s.rtsControl = 2;
  s.outX = s.inX = s.nullStrip = 1;
  s.xonChar = s.xoffChar = 'x';
  ConfigureLine(choice, caps, &s);
  return s;
}

}  // namespace

TEST(Rs232cLine, ChoicesTakeEffectOnlyWhereThePortIsCapable) {
  struct Case {
    LineChoice choice;
    LineCaps caps;
    std::vector<uint32_t> line;  // baud rate, byte size, parity, stop bits
  } cases[] = {
      {{11, 4, 0, 0, 0, 1}, ALL, {9600, 8, 0, 0}},
      {{17, 0, 3, 1, 0, 1}, {0xFFFF, 0, 0x0802}, {4321, 4, 3, 1}},  // no 128000 bit; "4 *" untested
      {{17, 1, 4, 2, 0, 1}, ALL, {128000, 5, 4, 2}},
      {{15, 4, 1, 0, 0, 1}, {0x40000, 0x8, 0x0201}, {57600, 8, 1, 0}},
      {{16, 4, 1, 0, 0, 1}, {0x40000, 0x0, 0x0000}, {4321, 7, 2, 2}},  // 115200 is 0x20000, not 0x40000
      {{-1, -1, -1, -1, 0, 1}, ALL, {4321, 7, 2, 2}},                 // typed texts keep the port's values
      {{18, 5, 5, 3, 0, 1}, ALL, {4321, 7, 2, 2}},                    // past the tables too
  };
  for (const Case& c : cases) {
    LineState s = Configured(c.choice, c.caps);
    EXPECT_EQ(c.line, (std::vector<uint32_t>{s.baudRate, s.byteSize, s.parity, s.stopBits})) << c.choice.baud;
    EXPECT_EQ(1, s.binary);
  }
}

TEST(Rs232cLine, FlowControlModesAndWhatEveryModeSets) {
  struct Case {
    int flow, parityEnable;
    // parity check, CTS out, DSR out, DSR sensitivity, DTR, RTS, XON/XOFF out and in
    std::vector<int> line;
  } cases[] = {
      {0, 1, {1, 0, 0, 0, 1, 1, 1, 1}},   // XON/XOFF
      {1, 1, {1, 0, 1, 0, 2, 1, 0, 0}},   // HARDWARE: DTR handshake
      {2, 1, {1, 0, 0, 0, 1, 1, 0, 0}},   // NO
      {-1, 0, {0, 1, 1, 1, 2, 2, 1, 1}},  // outside the table the port's flow settings stay,
      {3, 0, {0, 1, 1, 1, 2, 2, 1, 1}},   // and parity checking without the enable word
  };
  for (const Case& c : cases) {
    LineState s = Configured({11, 4, 0, 0, c.flow, c.parityEnable}, ALL);
    EXPECT_EQ(c.line, (std::vector<int>{s.parityCheck, s.outxCtsFlow, s.outxDsrFlow, s.dsrSensitivity, s.dtrControl,
                                        s.rtsControl, s.outX, s.inX}))
        << c.flow;
    EXPECT_EQ((std::vector<int>{1, 0, 0x11, 0x13}),
              (std::vector<int>{s.txContinueOnXoff, s.nullStrip, s.xonChar, s.xoffChar}));
  }
}
