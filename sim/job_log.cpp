#include "sim/job_log.h"

#include <cstdio>
#include <mutex>

namespace {

std::mutex mu;
bool toConsole;
std::string filePath;

std::string JobLine(const char* interfaceName, long long number, const SimJob& job) {
  char line[128];
  std::snprintf(line, sizeof line, "%s job %lld: %lld bytes, hash %016llx", interfaceName, number, job.bytes,
                (unsigned long long)job.hash);
  return line;
}

}  // namespace

void JobLogStart(bool console, const std::string& path) {
  std::lock_guard<std::mutex> lock(mu);
  toConsole = console;
  filePath = path;
}

// The file is opened for each batch of lines, in append mode, and written in one go, so
// another simulator's lines land after these rather than over them.
void JobLogWrite(const char* interfaceName, const std::vector<SimJob>& jobs, long long jobsDone) {
  if (jobs.empty()) return;
  std::lock_guard<std::mutex> lock(mu);
  if (!toConsole && filePath.empty()) return;
  std::string text;
  long long number = jobsDone - (long long)jobs.size();
  for (const SimJob& job : jobs) text += JobLine(interfaceName, ++number, job) + "\n";
  if (toConsole) {
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
  }
  if (filePath.empty()) return;
  if (std::FILE* f = std::fopen(filePath.c_str(), "a")) {
    std::fputs(text.c_str(), f);
    std::fclose(f);
  }
}
