// The far end of a simulated COM port, for the Win32 tests and the benchmark: the native
// simulator (build/native/tarvex-sim, or the benchmark's build/bench), started through Wine, plays the printer on a pty
// that the prefix maps to COM<n>, and answers requests on a loopback connection (see
// sim/serial.h for the requests). It ends when that connection closes.
#pragma once
#include <string>

// True once the simulator of build/<build> serves the port; `options` are its own (its TCP/IP side).
bool FarEndStart(int com, const char* build = "native", const char* options = "--port 0");
void FarEndStop();
// One request, its answer line ("" when none came within the bound).
std::string FarEndAsk(const std::string& request, int ms = 5000);
// The far end's "stats" answer once it holds exactly these bytes since the last reset.
std::string FarEndStatsOf(const std::string& bytes);
bool FarEndHolds(const std::string& bytes);
// Lists "COM<n>:" among the spooler's ports, or takes it off again.
void ListComPort(int com, bool listed);
