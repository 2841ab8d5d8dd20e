// tarvex-sim: the simulated printer as a stand-alone program, for trying the
// terminal by hand. Runs until interrupted (or, with --stdin-stop, until its standard
// input ends). Built for Windows it also serves the IEEE1284, IEEE1394 and USB devices.
// Every job received is a line on the console (unless --quiet) and in the --log file.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#ifdef _WIN32
#include "sim/devices.h"
#endif

#include "sim/job_log.h"
#include "sim/net.h"
#include "sim/serial.h"
#include "sim/server.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void OnSignal(int) { stopRequested = 1; }

void PrintLine(const char* line) {
  std::printf("%s\n", line);
  std::fflush(stdout);
}

struct Options {
  const char* host = "127.0.0.1";
  const char* log = "";  // the job log's file
  int port = 9100;
  int silent = 0, malformed = 0, quiet = 0, readRate = 0, tcp = 1, stdinStop = 0, answers = 0;
  long long closeAfter = 0;
  long long com = 0, control = 0;  // the serial far end: COM number, test control port
};

// Reads the number after a flag; returns 0 when it is missing or not a number.
int Number(int argc, char** argv, int* i, long long* value) {
  if (*i + 1 >= argc) return 0;
  char* end;
  *value = std::strtoll(argv[++*i], &end, 10);
  return *end == '\0' && *value >= 0;
}

int Parse(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; i++) {
    const char* a = argv[i];
    long long n = 0;
    if (!std::strcmp(a, "--host") && i + 1 < argc) o->host = argv[++i];
    else if (!std::strcmp(a, "--log") && i + 1 < argc) o->log = argv[++i];
    else if (!std::strcmp(a, "--port") && Number(argc, argv, &i, &n) && n <= 65535) o->port = int(n);
    else if (!std::strcmp(a, "--close-after") && Number(argc, argv, &i, &n)) o->closeAfter = n;
    else if (!std::strcmp(a, "--read-rate") && Number(argc, argv, &i, &n) && n <= 1 << 30) o->readRate = int(n);
    else if (!std::strcmp(a, "--answers") && Number(argc, argv, &i, &n) && n <= 1 << 26) o->answers = int(n);
#ifndef _WIN32
    else if (!std::strcmp(a, "--com") && Number(argc, argv, &i, &n) && n >= 1 && n <= 256) o->com = n;
    else if (!std::strcmp(a, "--control") && Number(argc, argv, &i, &n) && n <= 65535) o->control = n;
#endif
    else if (!std::strcmp(a, "--silent")) o->silent = 1;
    else if (!std::strcmp(a, "--malformed")) o->malformed = 1;
    else if (!std::strcmp(a, "--quiet")) o->quiet = 1;
    else if (!std::strcmp(a, "--no-tcp")) o->tcp = 0;
    else if (!std::strcmp(a, "--stdin-stop")) o->stdinStop = 1;
    else {
      std::fprintf(stderr, "tarvex-sim: bad argument '%s'\n", a);
      return 0;
    }
  }
  return 1;
}

#ifndef _WIN32
// The COM port's link goes into the Wine prefix the terminal runs in.
int StartSerial(const Options& o) {
  const char* prefix = std::getenv("WINEPREFIX");
  const char* home = std::getenv("HOME");
  std::string dosdevices = prefix ? std::string(prefix) : std::string(home ? home : ".") + "/.wine";
  dosdevices += "/dosdevices";
  if (SerialStart(dosdevices.c_str(), int(o.com), int(o.control), o.quiet ? nullptr : PrintLine)) {
    SerialSetReadRate(o.readRate);
    return 1;
  }
  std::fprintf(stderr, "tarvex-sim: cannot serve COM%lld in %s\n", o.com, dosdevices.c_str());
  SimStop();
  return 0;
}
#endif

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!Parse(argc, argv, &o)) {
    std::fprintf(stderr,
                 "usage: tarvex-sim [--host 127.0.0.1] [--port 9100] [--silent] [--malformed]\n"
                 "                  [--close-after N] [--read-rate N] [--answers N] [--quiet] [--log FILE]\n"
                 "                  [--no-tcp] [--stdin-stop]\n"
                 "                  [--com N [--control PORT]] (not on Windows)\n");
    return 2;
  }
  JobLogStart(!o.quiet, o.log);
  int port = o.tcp ? SimStart(o.host, o.port) : 0;
  if (o.tcp && !port) {
    std::fprintf(stderr, "tarvex-sim: cannot listen on %s:%d\n", o.host, o.port);
    return 1;
  }
  SimSetSilent(o.silent);
  SimSetMalformed(o.malformed);
  SimSetCloseAfterBytes(o.closeAfter);
  SimSetReadRate(o.readRate, 0);
  SimSetGreeting(o.answers);
  SimSetKeep(0);
  if (!o.quiet) SimSetEventHandler(PrintLine);
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  if (o.tcp) std::printf("tarvex-sim listening on %s:%d\n", o.host, port);
#ifdef _WIN32
  std::string guide;
  SimDevicesStart(&guide);
  std::printf("%s", guide.c_str());
#endif
  std::fflush(stdout);
  if (o.stdinStop) {
    std::thread([] {
      while (std::fgetc(stdin) != EOF) {
      }
      stopRequested = 1;
    }).detach();
  }
#ifndef _WIN32
  if (o.com && !StartSerial(o)) return 1;
  while (!stopRequested && !(o.com && SerialEnded())) NetSleep(100);
  SerialStop();
#else
  while (!stopRequested) NetSleep(100);
  SimDevicesStop();
#endif
  SimStop();
  if (!o.tcp) return 0;
  SimStats s = SimGetStats();
  std::printf("tarvex-sim stopped: %d connections, %lld bytes, hash %016llx\n", s.connections,
              s.bytes, (unsigned long long)s.hash);
  return 0;
}
