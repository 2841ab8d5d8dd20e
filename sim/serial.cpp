#ifndef _WIN32
#include "sim/serial.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "sim/job_log.h"
#include "sim/printer.h"

namespace {

const int kTickMs = 10;
const size_t kControlLineCap = 4u << 20;  // a "send" of 2 MiB in hex

struct Serial {
  std::string link;
  int master = -1, slave = -1, control = -1;
  Printer printer;
  std::string outbox, request;
  size_t outboxSent = 0;  // taken from the front by offset: erasing a flood's front per write costs its length
  std::thread thread;
  std::atomic<int> running{0}, ended{0}, readRate{0}, paused{0};
  long long sliceStart = 0, sliceUsed = 0;
  void (*onEvent)(const char*) = nullptr;
};
Serial g;

long long NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void Event(const char* fmt, ...) {
  if (!g.onEvent) return;
  char line[300];
  va_list args;
  va_start(args, fmt);
  vsnprintf(line, sizeof line, fmt, args);
  va_end(args);
  g.onEvent(line);
}

void ClearOutbox() {
  g.outbox.clear();
  g.outboxSent = 0;
}

void ClosePty() {
  if (g.slave >= 0) ioctl(g.slave, TIOCNOTTY);
  if (g.master >= 0) close(g.master);
  if (g.slave >= 0) close(g.slave);
  g.master = g.slave = -1;
}

// A fresh pty in raw mode, linked where Wine looks for the COM port. The slave stays
// open here too: without it the master reads EIO whenever the terminal closes the port.
int OpenPty() {
  int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (master < 0) return 0;
  const char* name = grantpt(master) == 0 && unlockpt(master) == 0 ? ptsname(master) : nullptr;
  int slave = name ? open(name, O_RDWR | O_NOCTTY) : -1;
  if (slave < 0) {
    close(master);
    return 0;
  }
  // The line is this process's controlling terminal, so that no other process (Wine's
  // server opens the port without O_NOCTTY) takes it and gets the hang-up of a drop.
  ioctl(slave, TIOCSCTTY, 0);
  termios raw;
  tcgetattr(slave, &raw);
  cfmakeraw(&raw);
  tcsetattr(slave, TCSANOW, &raw);
  std::string target = name;
  unlink(g.link.c_str());
  if (symlink(target.c_str(), g.link.c_str()) != 0) {
    close(master);
    close(slave);
    return 0;
  }
  g.master = master;
  g.slave = slave;
  Event("serial line up: %s -> %s", g.link.c_str(), target.c_str());
  return 1;
}

// Only while the link is still ours: a simulator started after this one may have taken it.
void RemoveLink() {
  char target[256];
  const char* name = g.master >= 0 ? ptsname(g.master) : nullptr;
  ssize_t n = readlink(g.link.c_str(), target, sizeof target - 1);
  if (n < 0 || !name) return;
  target[n] = 0;
  if (strcmp(target, name) == 0) unlink(g.link.c_str());
}

int ConnectControl(int port) {
  int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(uint16_t(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (s < 0 || connect(s, (sockaddr*)&address, sizeof address) != 0) {
    if (s >= 0) close(s);
    return -1;
  }
  fcntl(s, F_SETFL, fcntl(s, F_GETFL, 0) | O_NONBLOCK);
  return s;
}

// Bytes the printer may read now: none while paused, else what the rate leaves in
// this 100 ms slice.
int Allowance(long long now) {
  if (g.paused) return 0;
  int rate = g.readRate;
  if (rate <= 0) return 64 * 1024;
  if (now - g.sliceStart >= 100) g.sliceStart = now, g.sliceUsed = 0;
  long long room = std::max(rate / 10, 1) - g.sliceUsed;
  return room > 0 ? int(std::min(room, 64LL * 1024)) : 0;
}

void ReadLine(int allowed, long long now) {
  char buf[64 * 1024];
  ssize_t n = read(g.master, buf, size_t(allowed));
  if (n <= 0) return;
  g.sliceUsed += n;
  PrinterFeed(g.printer, buf, size_t(n), now, g.outbox);
}

void WriteLine() {
  ssize_t n = write(g.master, g.outbox.data() + g.outboxSent, g.outbox.size() - g.outboxSent);
  if (n > 0) g.outboxSent += size_t(n);
  if (g.outboxSent == g.outbox.size()) ClearOutbox();
}

int Unhex(const char* text, std::string* bytes) {
  size_t length = strlen(text);
  if (length % 2) return 0;
  for (size_t i = 0; i < length; i += 2) {
    char pair[3] = {text[i], text[i + 1], 0}, *end;
    unsigned long value = strtoul(pair, &end, 16);
    if (*end || !isxdigit((unsigned char)pair[0])) return 0;
    bytes->push_back(char(value));
  }
  return 1;
}

// One request line; returns the answer line.
std::string Answer(const std::string& line) {
  char verb[16] = "";
  long long a = 0, b = 0;
  int fields = sscanf(line.c_str(), "%15s %lld %lld", verb, &a, &b);
  std::string v = verb;
  if (v == "stats") {
    char text[64];
    snprintf(text, sizeof text, "%lld %016llx", g.printer.bytes, (unsigned long long)g.printer.hash);
    return text;
  }
  if (v == "reset") PrinterReset(g.printer);
  else if (v == "rate" && fields == 2 && a >= 0 && a <= 1 << 30) g.readRate = int(a);
  else if (v == "pause" && fields == 2) g.paused = a != 0;
  else if (v == "silent" && fields == 2) g.printer.silent = a != 0;
  else if (v == "flood" && fields == 3 && a >= 0 && a <= 1 << 24) g.outbox += FloodBytes(int(a), unsigned(b));
  else if (v == "answers" && fields == 2 && a >= 0 && a <= 1 << 24) g.outbox += AnswerText(int(a));
  else if (v == "send" && line.size() > 5 && Unhex(line.c_str() + 5, &g.outbox)) {
  } else if (v == "drop") {
    ClosePty();
    ClearOutbox();
    Event("serial line dropped");
    if (!OpenPty()) g.ended = 1;
  } else {
    return "error";
  }
  return "ok";
}

void SendAll(const std::string& text) {
  for (size_t done = 0; done < text.size();) {
    ssize_t n = send(g.control, text.data() + done, text.size() - done, MSG_NOSIGNAL);
    if (n > 0) done += size_t(n);
    else if (n < 0 && (errno == EAGAIN || errno == EINTR)) poll(nullptr, 0, 1);
    else return;
  }
}

void ServeControl() {
  char buf[64 * 1024];
  ssize_t n = recv(g.control, buf, sizeof buf, 0);
  if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
    g.ended = 1;
    return;
  }
  if (n > 0) g.request.append(buf, size_t(n));
  for (size_t end; (end = g.request.find('\n')) != std::string::npos;) {
    std::string line = g.request.substr(0, end);
    g.request.erase(0, end + 1);
    SendAll(Answer(line) + "\n");
  }
  if (g.request.size() > kControlLineCap) g.ended = 1;
}

void Run() {
  while (g.running && !g.ended) {
    long long now = NowMs();
    int allowed = Allowance(now);
    PrinterPoll(g.printer, now, g.outbox);
    pollfd fds[2] = {{g.master, short((allowed ? POLLIN : 0) | (g.outbox.empty() ? 0 : POLLOUT)), 0},
                     {g.control, POLLIN, 0}};
    if (poll(fds, g.control >= 0 ? 2 : 1, kTickMs) < 0 && errno != EINTR) break;
    if (fds[0].revents & POLLIN) ReadLine(allowed, now);
    if (fds[0].revents & POLLOUT) WriteLine();
    if (g.control >= 0 && fds[1].revents) ServeControl();
    JobLogWrite("RS232C", g.printer.finished, g.printer.jobsDone);
    g.printer.finished.clear();
  }
  g.ended = 1;
}

}  // namespace

int SerialStart(const char* dosdevices, int com, int control, void (*onEvent)(const char* line)) {
  if (g.running || com < 1 || com > 256) return 0;
  setsid();
  signal(SIGHUP, SIG_IGN);
  g.onEvent = onEvent;
  g.link = std::string(dosdevices) + "/com" + std::to_string(com);
  g.printer = Printer();
  g.printer.keep = 0;
  ClearOutbox();
  g.request.clear();
  g.ended = g.paused = 0;
  if (!OpenPty()) return 0;
  if (control > 0 && (g.control = ConnectControl(control)) < 0) {
    RemoveLink();
    ClosePty();
    return 0;
  }
  g.running = 1;
  g.thread = std::thread(Run);
  return 1;
}

int SerialEnded() { return g.ended; }

void SerialStop() {
  if (!g.running) return;
  g.running = 0;
  g.thread.join();
  RemoveLink();
  ClosePty();
  if (g.control >= 0) close(g.control);
  g.control = -1;
}

void SerialSetReadRate(int bytesPerSec) { g.readRate = std::max(bytesPerSec, 0); }

#endif
