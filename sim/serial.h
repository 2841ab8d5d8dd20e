#pragma once
// The simulated printer behind a COM port: a pty whose slave Wine opens as COMn (the
// prefix's dosdevices/comN link points at it) and whose master plays the printer, at
// the printer's pace, answering PJL, able to stop reading and to drop the line.
//
// Tests drive the far end through a loopback control connection that the simulator
// opens to them (tarvex-sim --com N --control PORT); it ends when that connection
// closes. One request line, one answer line:
//   stats            -> "<bytes> <fnv1a64 hex>" received since the last reset
//   reset            -> "ok"; count and hash cleared
//   rate N | pause 0/1 | silent 0/1 -> "ok"; bytes read per second (0: as fast as
//                       they come), reading stopped
//   send HEX         -> "ok"; bytes the printer sends
//   flood N SEED     -> "ok"; FloodBytes(N, SEED) sent
//   answers N        -> "ok"; AnswerText(N) sent
//   drop             -> "ok"; the line drops (the pty is closed) and a fresh one takes
//                       the link, as a printer switched off and on again
// Bad requests answer "error". POSIX only: Windows has no pty.
#ifndef _WIN32

// Makes the pty and the link <dosdevices>/com<com>; with control > 0 connects to
// 127.0.0.1:control first. Returns 1 when serving, on its own thread.
int SerialStart(const char* dosdevices, int com, int control, void (*onEvent)(const char* line));
int SerialEnded();  // the control connection closed, or the pty failed
void SerialStop();  // joins the thread, removes the link, closes the pty
void SerialSetReadRate(int bytesPerSec);

#endif
