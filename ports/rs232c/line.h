// The RS-232C line choices of the dialog and what they make of the port's line state,
// decided against the port's capability masks. Pure: the driver copies the state to
// and from the platform's record.
#pragma once
#include <stdint.h>

const int BAUD_ENTRIES = 18, DATA_BITS_ENTRIES = 5, PARITY_ENTRIES = 5, STOP_BITS_ENTRIES = 3,
          FLOW_CONTROL_ENTRIES = 3;
extern const char* const BaudLabels[BAUD_ENTRIES];
extern const char* const DataBitsLabels[DATA_BITS_ENTRIES];
extern const char* const ParityLabels[PARITY_ENTRIES];
extern const char* const StopBitsLabels[STOP_BITS_ENTRIES];
extern const char* const FlowControlLabels[FLOW_CONTROL_ENTRIES];

// Combo indices as stored; -1 (a typed text) or any index outside its table keeps the
// port's own value.
struct LineChoice {
  int baud, dataBits, parity, stopBits, flowControl;
  int parityEnable;
};

struct LineCaps {
  uint32_t settableBaud;
  uint32_t settableData;
  uint32_t settableStopParity;
};

// The fields of the platform's line state record that the choices touch, with its codes
// (parity 0..4 none/odd/even/mark/space, stop bits 0..2 for 1/1.5/2, DTR and RTS control
// 0 disable, 1 enable, 2 handshake).
struct LineState {
  uint32_t baudRate;
  uint8_t byteSize, parity, stopBits;
  int binary, parityCheck, outxCtsFlow, outxDsrFlow, dsrSensitivity;
  int dtrControl, rtsControl;
  int txContinueOnXoff, outX, inX, nullStrip;
  char xonChar, xoffChar;
};

void ConfigureLine(const LineChoice& choice, const LineCaps& caps, LineState* state);

// The largest number behind "COM" among the port names the platform enumerates (digits
// read as far as they go); the dialog lists COM1 up to it. Names past COM256, which no
// platform offers, are taken for junk.
int HighestComPort(const char* const* names, int count);
const int MAX_COM_PORT = 256;
