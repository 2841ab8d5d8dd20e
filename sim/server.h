#pragma once
// The simulated printer on a loopback TCP port, served by one thread. One
// server per process; every function may be called from any thread.
#include <cstdint>
#include <string>

#include "sim/printer.h"

struct SimStats {
  long long bytes;            // received since the last reset
  uint64_t hash;              // FNV-1a 64 of those bytes
  int connections;            // accepted since the last reset
  long long connectionBytes;  // received on the current or last connection
  long long jobs;             // jobs ended (see PrinterFeed)
  int connected;              // a client is being served now
};

// Starts listening (port 0 picks a free one) with default behaviours and
// zeroed counters; returns the bound port, or 0 when it cannot listen or a
// server already runs.
int SimStart(const char* host, int port);
void SimStop();  // closes everything and joins the thread
void SimReset();
SimStats SimGetStats();
std::string SimReceived();  // kept bytes (the first 64 MiB since the reset)

void SimSetRefuse(int on);  // returns once the listener is closed or open again
void SimSetAcceptDelay(int ms);
void SimSetReadRate(int bytesPerSec, int paused);  // 0 = unlimited
void SimSetCloseAfterBytes(long long n);           // per connection; 0 = never
void SimSetCloseAfterJob(int on);
void SimSetGreeting(int length);  // every connection is first sent AnswerText(length); 0: none
void SimSetSilent(int on);
void SimSetMalformed(int on);
void SimSetKeep(int on);
void SimSetUstatusDelay(int ms);
// Called on the server thread with one line per connection (jobs go to the job log).
void SimSetEventHandler(void (*fn)(const char* line));

// Queue bytes for the connected client, waiting up to 0.5 s for one to be
// accepted; return the count queued, 0 when no client is there.
int SimSend(const void* bytes, int len);
int SimFlood(int length, unsigned seed);  // FloodBytes(length, seed)
