#include "ports/rs232c/line.h"
#include <string.h>

const char* const BaudLabels[BAUD_ENTRIES] = {"75",   "110",  "134",   "150",   "300",   "600",
                                              "1200", "1800", "2400",  "4800",  "7200",  "9600",
                                              "14400", "19200", "38400", "57600", "115200", "128000"};
const char* const DataBitsLabels[DATA_BITS_ENTRIES] = {"4 *", "5", "6", "7", "8"};
const char* const ParityLabels[PARITY_ENTRIES] = {"NO", "ODD", "EVEN", "MARK", "SPACE"};
const char* const StopBitsLabels[STOP_BITS_ENTRIES] = {"1", "1.5", "2"};
const char* const FlowControlLabels[FLOW_CONTROL_ENTRIES] = {"XON/XOFF", "HARDWARE", "NO"};

static const uint32_t baudRates[BAUD_ENTRIES] = {75,   110,  134,   150,   300,   600,   1200,  1800,   2400,
                                                 4800, 7200, 9600, 14400, 19200, 38400, 57600, 115200, 128000};
static const uint32_t baudBits[BAUD_ENTRIES] = {0x1,   0x2,   0x4,    0x8,    0x10,   0x20,
                                                0x40,  0x80,  0x100,  0x200,  0x400,  0x800,
                                                0x1000, 0x2000, 0x4000, 0x40000, 0x20000, 0x10000};
static const uint32_t dataBitsBits[DATA_BITS_ENTRIES] = {0, 0x1, 0x2, 0x4, 0x8};  // 4 bits: never tested
static const uint32_t parityBits[PARITY_ENTRIES] = {0x100, 0x200, 0x400, 0x800, 0x1000};
static const uint32_t stopBitsBits[STOP_BITS_ENTRIES] = {0x1, 0x2, 0x4};

static int Capable(int index, int entries, const uint32_t* bits, uint32_t mask) {
  return index >= 0 && index < entries && (bits[index] == 0 || (mask & bits[index]));
}

static void ConfigureFlow(int flow, LineState* s) {
  if (flow < 0 || flow >= FLOW_CONTROL_ENTRIES) return;
  s->outxCtsFlow = 0;
  s->dsrSensitivity = 0;
  s->rtsControl = 1;
  s->outxDsrFlow = flow == 1;
  s->dtrControl = flow == 1 ? 2 : 1;
  s->outX = s->inX = flow == 0;
}

void ConfigureLine(const LineChoice& c, const LineCaps& caps, LineState* s) {
  if (Capable(c.baud, BAUD_ENTRIES, baudBits, caps.settableBaud)) s->baudRate = baudRates[c.baud];
  if (Capable(c.dataBits, DATA_BITS_ENTRIES, dataBitsBits, caps.settableData)) s->byteSize = (uint8_t)(c.dataBits + 4);
  if (Capable(c.parity, PARITY_ENTRIES, parityBits, caps.settableStopParity)) s->parity = (uint8_t)c.parity;
  if (Capable(c.stopBits, STOP_BITS_ENTRIES, stopBitsBits, caps.settableStopParity)) s->stopBits = (uint8_t)c.stopBits;
  s->binary = 1;
  if (c.parityEnable == 1) s->parityCheck = 1;
  ConfigureFlow(c.flowControl, s);
  s->txContinueOnXoff = 1;
  s->nullStrip = 0;
  s->xonChar = 0x11;
  s->xoffChar = 0x13;
}

int HighestComPort(const char* const* names, int count) {
  int highest = 0;
  for (int i = 0; i < count; i++) {
    if (!names[i] || strncmp(names[i], "COM", 3) != 0) continue;
    int number = 0;
    for (const char* d = names[i] + 3; *d >= '0' && *d <= '9' && number <= MAX_COM_PORT; d++)
      number = number * 10 + (*d - '0');
    if (number <= MAX_COM_PORT && number > highest) highest = number;
  }
  return highest;
}
