#include "sim/control.h"

namespace {

void Put(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; i++) s += char((v >> (8 * i)) & 0xFF);
}

uint32_t Get(const char* p) {
  const unsigned char* u = (const unsigned char*)p;
  return u[0] | (u[1] << 8) | (u[2] << 16) | (uint32_t(u[3]) << 24);
}

void PutText(std::string& s, const std::string& t) {
  Put(s, uint32_t(t.size()));
  s += t;
}

// Reads a word at *at, moving past it; 0 when the data ends first.
int Take(const char* d, size_t n, size_t* at, uint32_t* v) {
  if (n - *at < 4) return 0;
  *v = Get(d + *at);
  *at += 4;
  return 1;
}

int TakeText(const char* d, size_t n, size_t* at, std::string* t) {
  uint32_t len;
  if (!Take(d, n, at, &len) || len > kBusMaxText || n - *at < len) return 0;
  t->assign(d + *at, len);
  *at += len;
  return 1;
}

}  // namespace

std::string ControlEncodeRequest(const ControlRequest& r) {
  if (r.in.size() > kControlMaxData || r.outLength > kControlMaxData) return std::string();
  std::string s;
  Put(s, r.code);
  Put(s, uint32_t(r.in.size()));
  Put(s, r.outLength);
  return s + r.in;
}

int ControlDecodeRequest(const char* msg, size_t n, ControlRequest* r) {
  if (n < kControlHeader || n > kControlMaxMessage) return 0;
  uint32_t inLength = Get(msg + 4), outLength = Get(msg + 8);
  if (inLength != n - kControlHeader || outLength > kControlMaxData) return 0;
  r->code = Get(msg);
  r->in.assign(msg + kControlHeader, inLength);
  r->outLength = outLength;
  return 1;
}

std::string ControlEncodeAnswer(const ControlAnswer& a) {
  std::string s;
  Put(s, a.success ? 1 : 0);
  Put(s, a.success ? 0 : a.error);
  Put(s, uint32_t(a.out.size()));
  return s + a.out;
}

int ControlDecodeAnswer(const char* msg, size_t n, uint32_t outLength, ControlAnswer* a) {
  if (n < kControlHeader || n > kControlMaxMessage) return 0;
  uint32_t success = Get(msg), returned = Get(msg + 8);
  if (success > 1 || returned != n - kControlHeader || returned > outLength) return 0;
  a->success = int(success);
  a->error = Get(msg + 4);
  a->out.assign(msg + kControlHeader, returned);
  return 1;
}

std::string ControlServe(ControlHandler handler, void* state, const char* msg, size_t n) {
  ControlRequest r;
  if (!ControlDecodeRequest(msg, n, &r)) return ControlEncodeAnswer(ControlFailure(kControlBadRequest));
  if (!handler) return ControlEncodeAnswer(ControlFailure(1));
  ControlAnswer a = handler(state, r);
  if (a.out.size() > r.outLength) a = ControlFailure(kControlNoRoom);
  if (!a.success) a.out.clear();
  return ControlEncodeAnswer(a);
}

std::string BusEncode(const std::vector<BusNode>& nodes) {
  if (nodes.size() > kBusMaxNodes) return std::string();
  std::string s;
  Put(s, uint32_t(nodes.size()));
  for (const BusNode& b : nodes) {
    for (const std::string* t : {&b.driverKey, &b.description, &b.interfacePath, &b.portKey})
      if (t->size() > kBusMaxText) return std::string();
    Put(s, b.id);
    Put(s, b.parent);
    Put(s, b.portNumber);
    PutText(s, b.driverKey);
    PutText(s, b.description);
    PutText(s, b.interfacePath);
    PutText(s, b.portKey);
  }
  return s;
}

int BusDecode(const char* d, size_t n, std::vector<BusNode>* nodes) {
  size_t at = 0;
  uint32_t count;
  if (!Take(d, n, &at, &count) || count > kBusMaxNodes) return 0;
  std::vector<BusNode> list(count);
  for (BusNode& b : list) {
    if (!Take(d, n, &at, &b.id) || !Take(d, n, &at, &b.parent) || !Take(d, n, &at, &b.portNumber) ||
        !TakeText(d, n, &at, &b.driverKey) || !TakeText(d, n, &at, &b.description) ||
        !TakeText(d, n, &at, &b.interfacePath) || !TakeText(d, n, &at, &b.portKey))
      return 0;
  }
  if (at != n) return 0;
  nodes->swap(list);
  return 1;
}
