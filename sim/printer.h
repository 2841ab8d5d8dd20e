#pragma once
// The simulated printer's behaviour, free of sockets and clocks: the server
// feeds it received bytes with the current time and sends what it answers.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

uint64_t Fnv1a64(const void* p, size_t n, uint64_t h = 14695981039346656037ULL);

struct SimJob {
  long long bytes;
  uint64_t hash;
};

// A stream has no end of job of its own: a printer that got nothing for this long takes
// what came before as one job.
const long long kJobQuietMs = 1000;

struct Printer {
  int silent = 0;
  int malformed = 0;      // answers end their lines in LF without CR
  int keep = 1;           // keep the received bytes, up to keepCap
  size_t keepCap = 64u << 20;
  int ustatusDelayMs = 500;

  long long bytes = 0;    // since the last reset
  uint64_t hash = 14695981039346656037ULL;
  std::string kept;
  long long jobsDone = 0;
  std::vector<SimJob> finished;  // jobs ended since the server last drained them

  long long jobBytes = 0;
  uint64_t jobHash = 14695981039346656037ULL;
  std::string token;      // "@PJL" line or UEL being matched; empty when none
  int eojSeen = 0;
  long long ustatusAt = -1;
  long long lastFeedMs = 0;
};

// Consumes n bytes received at time nowMs; answers are appended to out.
// A job ends at the end of the first UEL after an "@PJL EOJ" line, when
// the connection ends, or once nothing arrived for kJobQuietMs.
void PrinterFeed(Printer& p, const char* d, size_t n, long long nowMs, std::string& out);
// Appends the unsolicited device status once its delay has passed; ends a job gone quiet.
void PrinterPoll(Printer& p, long long nowMs, std::string& out);
void PrinterEndConnection(Printer& p);
void PrinterReset(Printer& p);  // counters, hash, kept bytes; not the behaviours

// Bytes of every value, 0x00 and 0xFF included, reproducible from the seed.
std::string FloodBytes(int length, unsigned seed);
// Printable status answers of mixed lengths, some longer than a display line, reproducible:
// `length` bytes that end in a line of their own, "@PJL INFO END" and CR LF, found nowhere else.
std::string AnswerText(int length);
// IEEE 1284 device ID with its 2-byte big-endian length (which counts itself).
std::string DeviceId();
// Port status bits: 0x08 no error, 0x10 selected, 0x20 paper empty.
unsigned char StatusByte(int online, int paperEmpty, int error);
