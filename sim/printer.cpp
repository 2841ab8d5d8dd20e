#include "sim/printer.h"

#include <algorithm>
#include <cstring>

namespace {

const uint64_t kFnvBasis = 14695981039346656037ULL;
const char kUel[] = "\x1B%-12345X";
const size_t kUelLen = 9;
const size_t kLineCap = 512;  // longer "@PJL" lines are taken for data
const char kReady[] = "CODE=10001\r\nDISPLAY=\"READY\"\r\nONLINE=TRUE\r\n";

void Answer(Printer& p, std::string text, std::string& out) {
  if (p.silent) return;
  if (p.malformed) {
    std::string bare;
    for (char c : text)
      if (c != '\r') bare += c;
    text.swap(bare);
  }
  out += text;
}

std::vector<std::string> Words(const std::string& s) {
  std::vector<std::string> words;
  std::string w;
  for (char c : s + " ") {
    if (c == ' ' || c == '\t') {
      if (!w.empty()) words.push_back(w);
      w.clear();
    } else {
      w += (c >= 'a' && c <= 'z') ? char(c - 32) : c;
    }
  }
  return words;
}

void HandleUstatus(Printer& p, const std::vector<std::string>& w, long long now) {
  std::string setting;
  for (size_t i = 1; i < w.size(); i++) setting += w[i];
  if (setting == "DEVICE=ON" || setting == "DEVICE=VERBOSE")
    p.ustatusAt = now + p.ustatusDelayMs;
  else if (setting == "DEVICE=OFF")
    p.ustatusAt = -1;
}

void HandleLine(Printer& p, std::string line, long long now, std::string& out) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  std::string rest = line.substr(4);
  std::vector<std::string> w = Words(rest);
  if (w.empty()) return;
  if (w[0] == "ECHO") {
    size_t at = rest.find_first_not_of(" \t") + 4;
    Answer(p, "@PJL ECHO" + rest.substr(at) + "\r\n\f", out);
  } else if (w.size() == 2 && w[0] == "INFO" && w[1] == "STATUS") {
    Answer(p, std::string("@PJL INFO STATUS\r\n") + kReady + "\f", out);
  } else if (w.size() == 2 && w[0] == "INFO" && w[1] == "ID") {
    Answer(p, "@PJL INFO ID\r\n\"TARVEX SIM\"\r\n\f", out);
  } else if (w[0] == "USTATUS") {
    HandleUstatus(p, w, now);
  } else if (w[0] == "USTATUSOFF") {
    p.ustatusAt = -1;
  } else if (w[0] == "EOJ") {
    p.eojSeen = 1;
  }
}

// Index of the next byte that may start a command or a job-ending UEL.
size_t NextStart(const Printer& p, const char* d, size_t i, size_t n) {
  const char* at = static_cast<const char*>(memchr(d + i, '@', n - i));
  size_t end = at ? size_t(at - d) : n;
  if (p.eojSeen) {
    const char* esc = static_cast<const char*>(memchr(d + i, 0x1B, end - i));
    if (esc) end = size_t(esc - d);
  }
  return end;
}

// Matches the token's prefix, then an "@PJL" line up to its LF. Returns the
// index after what it consumed; *uelDone is set when a job-ending UEL completed.
size_t Extend(Printer& p, const char* d, size_t i, size_t n, long long now,
              std::string& out, bool* uelDone) {
  if (p.token.empty()) p.token.assign(1, d[i++]);
  bool uel = p.token[0] == 0x1B;
  const char* want = uel ? kUel : "@PJL";
  size_t wantLen = uel ? kUelLen : 4;
  while (p.token.size() < wantLen && i < n) {
    if (d[i] != want[p.token.size()]) {
      p.token.clear();
      return i;
    }
    p.token += d[i++];
  }
  if (p.token.size() < wantLen) return i;
  if (uel) {
    p.token.clear();
    p.eojSeen = 0;
    *uelDone = true;
    return i;
  }
  const char* lf = static_cast<const char*>(memchr(d + i, '\n', n - i));
  size_t end = lf ? size_t(lf - d) : n;
  if (p.token.size() + (end - i) > kLineCap) {
    p.token.clear();
    return lf ? end + 1 : n;
  }
  p.token.append(d + i, end - i);
  if (!lf) return n;
  std::string line;
  line.swap(p.token);
  HandleLine(p, line, now, out);
  return end + 1;
}

// Both hashes in one pass: the two multiply chains run side by side.
void AddToJob(Printer& p, const char* d, size_t n) {
  const unsigned char* b = reinterpret_cast<const unsigned char*>(d);
  uint64_t total = p.hash, job = p.jobHash;
  for (size_t i = 0; i < n; i++) {
    total = (total ^ b[i]) * 1099511628211ULL;
    job = (job ^ b[i]) * 1099511628211ULL;
  }
  p.hash = total;
  p.jobHash = job;
  p.jobBytes += (long long)n;
}

void EndJob(Printer& p) {
  p.finished.push_back({p.jobBytes, p.jobHash});
  p.jobsDone++;
  p.jobBytes = 0;
  p.jobHash = kFnvBasis;
}

}  // namespace

uint64_t Fnv1a64(const void* p, size_t n, uint64_t h) {
  const unsigned char* b = static_cast<const unsigned char*>(p);
  for (size_t i = 0; i < n; i++) h = (h ^ b[i]) * 1099511628211ULL;
  return h;
}

void PrinterFeed(Printer& p, const char* d, size_t n, long long nowMs, std::string& out) {
  p.bytes += (long long)n;
  p.lastFeedMs = nowMs;
  if (p.keep && p.kept.size() < p.keepCap)
    p.kept.append(d, std::min(n, p.keepCap - p.kept.size()));
  size_t i = 0, jobStart = 0;
  while (i < n) {
    if (p.token.empty()) i = NextStart(p, d, i, n);
    if (i == n) break;
    bool uelDone = false;
    i = Extend(p, d, i, n, nowMs, out, &uelDone);
    if (uelDone) {
      AddToJob(p, d + jobStart, i - jobStart);
      EndJob(p);
      jobStart = i;
    }
  }
  AddToJob(p, d + jobStart, n - jobStart);
}

void PrinterPoll(Printer& p, long long nowMs, std::string& out) {
  if (p.jobBytes > 0 && nowMs - p.lastFeedMs >= kJobQuietMs) EndJob(p);
  if (p.ustatusAt < 0 || nowMs < p.ustatusAt) return;
  p.ustatusAt = -1;
  Answer(p, std::string("@PJL USTATUS DEVICE\r\n") + kReady + "\f", out);
}

void PrinterEndConnection(Printer& p) {
  if (p.jobBytes > 0) EndJob(p);
  p.token.clear();
  p.eojSeen = 0;
  p.ustatusAt = -1;
}

void PrinterReset(Printer& p) {
  p.bytes = 0;
  p.hash = kFnvBasis;
  p.kept.clear();
  p.jobsDone = 0;
  p.finished.clear();
  p.jobBytes = 0;
  p.jobHash = kFnvBasis;
}

std::string FloodBytes(int length, unsigned seed) {
  // Each 256-byte block holds every byte value once; the block offset moves
  // so that a lost or repeated block changes the content.
  std::string s(length > 0 ? size_t(length) : 0, '\0');
  for (size_t i = 0; i < s.size(); i++)
    s[i] = char((i * 167 + (i >> 8) * 29 + seed) & 0xFF);
  return s;
}

std::string AnswerText(int length) {
  const std::string last = "\r\n@PJL INFO END\r\n";  // a line of its own wherever the answers are cut
  std::string text;
  for (int i = 0; (int)text.size() < length; i++)
    text += "@PJL INFO STATUS\r\nCODE=" + std::to_string(10001 + i) + "\r\nDISPLAY=\"" + std::string(i % 7 * 20, 'R') +
            "\"\r\nONLINE=TRUE\r\n\f";
  if (length <= (int)last.size()) return last.substr(last.size() - size_t(std::max(length, 0)));
  return text.substr(0, size_t(length) - last.size()) + last;
}

std::string DeviceId() {
  std::string text = "MFG:Tarvex;CMD:PJL,PCL;MDL:Sim Printer;CLS:PRINTER;";
  size_t len = text.size() + 2;
  return std::string(1, char(len >> 8)) + char(len & 0xFF) + text;
}

unsigned char StatusByte(int online, int paperEmpty, int error) {
  return (unsigned char)((error ? 0 : 0x08) | (online ? 0x10 : 0) | (paperEmpty ? 0x20 : 0));
}
