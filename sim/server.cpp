#include "sim/server.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "sim/job_log.h"
#include "sim/net.h"

namespace {

const int kBufSize = 256 * 1024;
const int kTickMs = 10;  // bounds how long any wait ignores a stop or a switch

struct Server {
  std::mutex mu;  // guards the printer, the outbox and the counters
  Printer printer;
  std::string outbox;
  size_t outboxSent = 0;
  int connections = 0;
  long long connectionBytes = 0;

  std::thread thread;
  NetSocket listener = kNetNone;  // owned by the server thread once started
  std::string host;
  int port = 0;
  std::atomic<int> running{0}, listening{0}, connected{0};
  std::atomic<int> refuse{0}, acceptDelay{0}, readRate{0}, paused{0}, closeAfterJob{0}, greeting{0};
  std::atomic<long long> closeAfter{0};
  std::atomic<void (*)(const char*)> onEvent{nullptr};
};
Server g;

// Read-rate budget, spent in 100 ms slices.
struct RateWindow {
  long long start;
  long long used;
};

long long NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void Event(const char* fmt, ...) {
  void (*fn)(const char*) = g.onEvent;
  if (!fn) return;
  char line[160];
  va_list args;
  va_start(args, fmt);
  vsnprintf(line, sizeof line, fmt, args);
  va_end(args);
  fn(line);
}

void ReportJobs() {
  std::vector<SimJob> jobs;
  long long last;
  {
    std::lock_guard<std::mutex> lock(g.mu);
    jobs.swap(g.printer.finished);
    last = g.printer.jobsDone;
  }
  JobLogWrite("TCP/IP", jobs, last);
}

bool CloseDue() {
  long long limit = g.closeAfter;
  return limit > 0 && g.connectionBytes >= limit;
}

int Allowance(RateWindow& w, long long now) {
  if (g.paused) return 0;
  long long room = kBufSize;
  long long limit = g.closeAfter;
  if (limit > 0) room = std::min(room, limit - g.connectionBytes);
  int rate = g.readRate;
  if (rate > 0) {
    if (now - w.start >= 100) w = {now, 0};
    room = std::min(room, std::max(rate / 10, 1) - w.used);
  }
  return room > 0 ? int(room) : 0;
}

// Returns 1 when a job ended in these bytes.
int Consume(const char* buf, int n) {
  {
    std::lock_guard<std::mutex> lock(g.mu);
    PrinterFeed(g.printer, buf, size_t(n), NowMs(), g.outbox);
    g.connectionBytes += n;
    if (g.printer.finished.empty()) return 0;
  }
  ReportJobs();
  return 1;
}

int Flush(NetSocket s) {
  std::lock_guard<std::mutex> lock(g.mu);
  size_t left = g.outbox.size() - g.outboxSent;
  int n = NetSend(s, g.outbox.data() + g.outboxSent, int(std::min<size_t>(left, kBufSize)));
  if (n == -2) return 0;
  if (n > 0) g.outboxSent += size_t(n);
  if (g.outboxSent == g.outbox.size()) {
    g.outbox.clear();
    g.outboxSent = 0;
  }
  return 1;
}

int PollAnswers(long long now) {
  std::lock_guard<std::mutex> lock(g.mu);
  PrinterPoll(g.printer, now, g.outbox);
  return g.outbox.size() > g.outboxSent;
}

void Serve(NetSocket s, std::vector<char>& buf) {
  int number;
  {
    std::lock_guard<std::mutex> lock(g.mu);
    number = ++g.connections;
    g.connectionBytes = 0;
    g.outbox = AnswerText(g.greeting);
    g.outboxSent = 0;
  }
  g.connected = 1;
  Event("connection %d opened", number);
  RateWindow w = {NowMs(), 0};
  while (g.running && !g.refuse && !CloseDue()) {
    long long now = NowMs();
    int allowed = Allowance(w, now);
    int answers = PollAnswers(now);
    ReportJobs();
    int ready = NetWait(s, allowed > 0, answers, kTickMs);
    if (ready < 0 || ((ready & 2) && !Flush(s))) break;
    if (!(ready & 1)) continue;
    int n = NetRecv(s, buf.data(), allowed);
    if (n == 0 || n == -2) break;
    if (n < 0) continue;
    w.used += n;
    if (Consume(buf.data(), n) && g.closeAfterJob) break;
  }
  NetClose(s);
  long long bytes;
  {
    std::lock_guard<std::mutex> lock(g.mu);
    PrinterEndConnection(g.printer);
    bytes = g.connectionBytes;
  }
  g.connected = 0;
  ReportJobs();
  Event("connection %d closed: %lld bytes", number, bytes);
}

// Keeps the listener open or closed as the refuse switch asks; true when open.
bool Listen() {
  if (g.refuse) {
    NetClose(g.listener);
    g.listener = kNetNone;
  } else if (g.listener == kNetNone) {
    int bound;
    g.listener = NetListen(g.host.c_str(), g.port, &bound);
  }
  g.listening = g.listener != kNetNone;
  return g.listening;
}

bool Pause(int ms) {
  for (long long end = NowMs() + ms; g.running && NowMs() < end;) NetSleep(std::min(ms, kTickMs));
  return g.running;
}

void Run() {
  std::vector<char> buf(kBufSize);
  while (g.running) {
    if (!Listen()) {
      NetSleep(kTickMs);
      continue;
    }
    if (NetWait(g.listener, 1, 0, kTickMs) <= 0 || !Pause(g.acceptDelay) || g.refuse) continue;
    NetSocket s = NetAccept(g.listener);
    if (s != kNetNone) Serve(s, buf);
  }
  NetClose(g.listener);
  g.listener = kNetNone;
  g.listening = 0;
}

void SetPrinter(int Printer::*field, int value) {
  std::lock_guard<std::mutex> lock(g.mu);
  g.printer.*field = value;
}

}  // namespace

int SimStart(const char* host, int port) {
  if (g.running || !NetInit()) return 0;
  int bound = 0;
  NetSocket l = NetListen(host, port, &bound);
  if (l == kNetNone) {
    NetDone();
    return 0;
  }
  {
    std::lock_guard<std::mutex> lock(g.mu);
    g.printer = Printer();
    g.outbox.clear();
    g.outboxSent = 0;
    g.connections = 0;
    g.connectionBytes = 0;
  }
  g.refuse = g.acceptDelay = g.readRate = g.paused = g.closeAfterJob = g.greeting = 0;
  g.closeAfter = 0;
  g.listener = l;
  g.host = host;
  g.port = bound;
  g.listening = g.running = 1;
  g.thread = std::thread(Run);
  return bound;
}

void SimStop() {
  if (!g.running) return;
  g.running = 0;
  g.thread.join();
  NetDone();
}

void SimReset() {
  std::lock_guard<std::mutex> lock(g.mu);
  PrinterReset(g.printer);
  g.connections = 0;
  g.connectionBytes = 0;
}

SimStats SimGetStats() {
  std::lock_guard<std::mutex> lock(g.mu);
  return {g.printer.bytes, g.printer.hash, g.connections, g.connectionBytes,
          g.printer.jobsDone, g.connected};
}

std::string SimReceived() {
  std::lock_guard<std::mutex> lock(g.mu);
  return g.printer.kept;
}

void SimSetRefuse(int on) {
  g.refuse = on != 0;
  for (int waited = 0; g.running && g.listening == (on != 0) && waited < 1000; waited += 5)
    NetSleep(5);
}

void SimSetAcceptDelay(int ms) { g.acceptDelay = std::max(ms, 0); }

void SimSetReadRate(int bytesPerSec, int paused) {
  g.readRate = std::max(bytesPerSec, 0);
  g.paused = paused != 0;
}

void SimSetCloseAfterBytes(long long n) { g.closeAfter = std::max(n, 0LL); }
void SimSetCloseAfterJob(int on) { g.closeAfterJob = on != 0; }
void SimSetGreeting(int length) { g.greeting = std::max(length, 0); }
void SimSetSilent(int on) { SetPrinter(&Printer::silent, on != 0); }
void SimSetMalformed(int on) { SetPrinter(&Printer::malformed, on != 0); }
void SimSetKeep(int on) { SetPrinter(&Printer::keep, on != 0); }
void SimSetUstatusDelay(int ms) { SetPrinter(&Printer::ustatusDelayMs, std::max(ms, 0)); }
void SimSetEventHandler(void (*fn)(const char* line)) { g.onEvent = fn; }

int SimSend(const void* bytes, int len) {
  if (!bytes || len <= 0) return 0;
  for (int waited = 0; !g.connected && waited < 500; waited += 5) NetSleep(5);
  std::lock_guard<std::mutex> lock(g.mu);
  if (!g.connected) return 0;
  g.outbox.append(static_cast<const char*>(bytes), size_t(len));
  return len;
}

int SimFlood(int length, unsigned seed) {
  std::string bytes = FloodBytes(length, seed);
  return SimSend(bytes.data(), int(bytes.size()));
}
