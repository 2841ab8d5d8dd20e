// The frame every interface driver is built on. A driver file holds only what is its own:
//
//  - A PieceWriter: start a write on the open port, wait for it with a bound, cancel it.
//    BlockSenderFrame turns it into the contract's block sender (pieces of the block size,
//    the delay between pieces, bytes sent counted once, progress, the stop and connected
//    checks, the piece time-out, the write-error report, bounded retries of "busy" errors,
//    the hook between pieces); DirectWriteFrame into the direct write, which never blocks
//    the window: it keeps the window's messages flowing and gives up after a bound.
//  - A Receiver: one bounded read step. StartReceiving runs it on the receive thread and
//    hands every chunk to the received-data sink; StopReceiving wakes the thread and waits
//    for it (bounded), so the driver may close its handle right after. A read failure the
//    user did not cause shows the circuit error box, once.
//  - The interval choice table of the "Interval" combo boxes, and the circuit error box.
//
// A driver's Driver entry then reads, e.g.:
//   static int MyBlockSender(ConnectionBlock* b, int counter) { return BlockSenderFrame(&myWriter, b, counter); }
//   static int MyDirectWrite(const unsigned char* p, int n) { return DirectWriteFrame(&myWriter, p, n); }
//   connect: ... if (Ports[kind].receiveOn == 1 && !StartReceiving(&myReceiver)) return 0;
//   disconnect: StopReceiving(kind); CloseHandle(port); ...
#pragma once
#include <windows.h>
#include "common/state.h"
#include "send/driver.h"

struct PieceWriter {
  int kind;
  // Starts writing `length` bytes; 1, or 0 with *error set. The bytes stay put until the
  // write completed or was cancelled.
  int (*start)(const unsigned char* bytes, uint32_t length, int* error);
  // Waits up to `ms` for the started write: 1 with *written set once it completed (it may
  // have taken only part; the frame starts the rest), 0 while it is pending, -1 with *error.
  int (*wait)(DWORD ms, uint32_t* written, int* error);
  // Abandons a pending write; the bytes are not touched after it returns.
  void (*cancel)();
  // Optional, between two pieces of a file (IEEE1284 and IEEE1394 read back here);
  // 0 ends the file as failed.
  int (*betweenPieces)(ConnectionBlock* block);
  // Optional, before the first piece of each file and of each direct write.
  void (*beginFile)();
  int sendingOnError;  // the sending flag after a write error
  int timeOutError;    // the error number a direct write that ran out of patience reports
  int busyErrors[2];   // write errors retried a bounded number of times (e.g. 170, 21); 0 ends the list
};

// The contract's block sender over the writer: 1 when every byte read went out.
int BlockSenderFrame(const PieceWriter* writer, ConnectionBlock* block, int counter);
// The contract's direct write over the writer, on the window's thread.
int DirectWriteFrame(const PieceWriter* writer, const unsigned char* bytes, int length);
extern DWORD DirectWritePatienceMs;  // a direct write that makes no progress this long ends

struct Receiver {
  int kind;
  // One read step, bounded in time: the count of bytes read into `buffer` (0: none yet),
  // or -1 when the read failed.
  int (*read)(unsigned char* buffer, int size);
  void (*wake)();  // optional: makes a read in progress return at once
};
const int RECEIVE_CHUNK = 4096;

// Sets the receive-run flag and starts the receive thread; 0 after the driver's
// "CreateThread NG." line.
int StartReceiving(const Receiver* receiver);
// Clears the receive-run flag, wakes the thread and waits for it (bounded).
void StopReceiving(int kind);
// A pause inside a read step; 0 as soon as the thread is asked to stop.
int ReceivePause(DWORD ms);

// "The circuit error occurred. Please re-connect. Circuit error.", owned by the main window.
void CircuitErrorBox();

// The steps every port open starts with: the start line, a port name given, not open
// already, the port line. 0 after the driver's error line.
int OpenPreamble(int kind, const char* portName);

// The "Interval" combo boxes' eleven five-character labels and their milliseconds.
struct IntervalChoice {
  const char* label;
  int ms;
};
const int INTERVAL_CHOICES = 11;
extern const IntervalChoice IntervalChoices[INTERVAL_CHOICES];
int IntervalIndex(int ms);                       // the entry holding ms, or -1
int IntervalFromLabel(const char* text, int old);  // old when the text matches no label
void FillIntervalCombo(HWND combo, int ms);      // all labels, the one of ms selected
int ReadIntervalCombo(HWND combo, int old);      // the combo's text as milliseconds
