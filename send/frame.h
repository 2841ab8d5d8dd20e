// The frame every interface driver is built on. A driver file holds only what is its own:
//
//  - A PieceWriter: start a write on the open port, wait for it with a bound, cancel it.
//    BlockSenderFrame turns it into the contract's block sender (pieces of the block size,
//    the delay between pieces, bytes sent counted once, progress, the piece time-out, the
//    write-error report, busy printers waited for, the printer's answers read back while a
//    job holds a shared port); DirectWriteFrame into the direct write, which never blocks
//    the window, queues keys typed meanwhile behind it and gives up after a bound.
//  - A Receiver: one bounded read. StartReceiving runs it on the receive thread, which
//    reads again at once while the port has more and rests the receive interval only when
//    it is idle, and hands every chunk to the received-data sink in order.
//  - The job's life on a port (job_life.cpp): every pause of a job wakes when the job is
//    asked to end; EndPortUse is the one way every close, Stop, job cancel and shutdown
//    ends what uses a port, so the driver may let its handle go right after.
//  - The interval choice table of the "Interval" combo boxes, and the circuit error box.
//
// A driver's Driver entry then reads, e.g.:
//   static int MyBlockSender(ConnectionBlock* b, int counter) { return BlockSenderFrame(&myWriter, b, counter); }
//   static int MyDirectWrite(const unsigned char* p, int n) { return DirectWriteFrame(&myWriter, p, n); }
//   connect: ... if (Ports[kind].receiveOn == 1 && !StartReceiving(&myReceiver)) return 0;
//   disconnect: EndPortUse(kind, 1); CloseHandle(port); ...
#pragma once
#include <windows.h>
#include "common/state.h"
#include "send/driver.h"

struct Receiver;

struct PieceWriter {
  int kind;
  // Starts writing `length` bytes; 1, or 0 with *error set. The bytes stay put until the
  // write completed or was cancelled.
  int (*start)(const unsigned char* bytes, uint32_t length, int* error);
  // Waits up to `ms` for the started write: 1 with *written set once it completed (it may
  // have taken only part, even nothing; the frame starts the rest), 0 while it is pending,
  // -1 with *error.
  int (*wait)(DWORD ms, uint32_t* written, int* error);
  // Abandons a pending write, on the thread that started it; the bytes are not touched after.
  void (*cancel)();
  // Optional, before the first piece of each file and of each direct write.
  void (*beginFile)();
  // Optional: the port's reader when its receive thread pauses while a job holds the port
  // (IEEE1284, IEEE1394); the job then reads the printer's answers in its place.
  const Receiver* readBack;
  int sendingOnError;  // the sending flag after a write error
  int timeOutError;    // the error number a direct write that ran out of patience reports
  int busyErrors[2];   // write errors of a printer that is busy or not ready; 0 ends the list
};

// The contract's block sender over the writer: 1 when every byte read went out.
int BlockSenderFrame(const PieceWriter* writer, ConnectionBlock* block, int counter);
// The contract's direct write over the writer, on the window's thread.
int DirectWriteFrame(const PieceWriter* writer, const unsigned char* bytes, int length);
extern DWORD DirectWritePatienceMs;  // a direct write that makes no progress this long ends

struct Receiver {
  int kind;
  // What the port has, up to `size` bytes, waiting at most `ms` for the first of them: the
  // count read (0: none came), or -1 when the read failed.
  int (*read)(unsigned char* buffer, int size, DWORD ms);
  void (*wake)();          // optional: makes a read or an idle wait in progress return at once
  void (*idle)(DWORD ms);  // optional: how an idle port is waited on (default: a pause)
  DWORD idleMs;            // the rest of an idle port; 0: the interface's receive interval
  int sharesPort;          // each read holds the port mutex (IEEE1284, IEEE1394)
};
const int RECEIVE_CHUNK = 4096;

// Sets the receive-run flag and starts the receive thread; 0 after the driver's
// "CreateThread NG." line.
int StartReceiving(const Receiver* receiver);
// Clears the receive-run flag, wakes the thread and waits for it (bounded), then hands on
// what the port still holds.
void StopReceiving(int kind);
// A pause of the receive thread; 0 as soon as the thread is asked to stop.
int ReceivePause(DWORD ms);
// Reads what the port has now into the sink, a bounded number of chunks; -1 when a read failed.
int ReadIntoSink(const Receiver* receiver, DWORD firstWaitMs);

// A read on an overlapped port shared with the job's writes: one that runs out of time is
// left pending for the next step (held_read.cpp).
struct HeldRead {
  OVERLAPPED io;
  HANDLE wake;  // set: a step waiting for the read returns at once
  int pending;
  unsigned char buffer[RECEIVE_CHUNK];
};
int HeldReadOpen(HeldRead* r);  // at the port's open; 0 when its events cannot be made
// The count read (0: none yet), or -1 when the read failed.
int HeldReadStep(HeldRead* r, HANDLE port, unsigned char* into, int size, DWORD ms);
void HeldReadWake(HeldRead* r);
void HeldReadClosed(HeldRead* r);  // after the handle closed: its read is collected

// The job's life on a port.
// A pause of the job; 0 as soon as the job is asked to end.
int JobPause(DWORD ms);
int JobAskedToEnd();
// Stop, job cancel, a failed string check: the running job ends at its next step.
void RequestJobEnd();
// The send engine clears the last job's end request at the start of a job, and marks the
// job using a port from its first piece to its last.
void JobStarts();
void JobEntersPort(int kind);
void JobLeavesPort();
// Waits (bounded) until no job uses the port of `kind`; the window's thread keeps taking
// the job's calls meanwhile. 1 once the port is free.
int AwaitJobOffPort(int kind, DWORD ms);
// Ends everything that uses the port before the driver lets its handle go: the port is
// marked closed, the job on it asked to end (`endJob`; 0 for a close the job itself asked
// for between two files) and waited for until it let go, a direct write in progress
// abandoned, and the receive thread stopped.
void EndPortUse(int kind, int endJob);

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
