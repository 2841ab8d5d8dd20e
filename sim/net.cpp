#include "sim/net.h"

#include <chrono>
#include <thread>

#ifdef _WIN32
#include <winsock2.h>
typedef int socklen_t;
#define NET_NOSIGNAL 0
#else
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#define NET_NOSIGNAL MSG_NOSIGNAL
#endif

namespace {

#ifdef _WIN32
int WouldBlock() { return WSAGetLastError() == WSAEWOULDBLOCK; }
int SetNonBlocking(NetSocket s) {
  u_long on = 1;
  return ioctlsocket(SOCKET(s), FIONBIO, &on) == 0;
}
#else
int WouldBlock() { return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR; }
int SetNonBlocking(NetSocket s) {
  int flags = fcntl(int(s), F_GETFL, 0);
  return flags >= 0 && fcntl(int(s), F_SETFL, flags | O_NONBLOCK) == 0;
}
#endif

}  // namespace

int NetInit() {
#ifdef _WIN32
  WSADATA data;
  return WSAStartup(MAKEWORD(2, 2), &data) == 0;
#else
  return 1;
#endif
}

void NetDone() {
#ifdef _WIN32
  WSACleanup();
#endif
}

void NetClose(NetSocket s) {
  if (s == kNetNone) return;
#ifdef _WIN32
  closesocket(SOCKET(s));
#else
  close(int(s));
#endif
}

NetSocket NetListen(const char* host, int port, int* boundPort) {
  sockaddr_in addr = {};
  addr.sin_family = AF_INET;
  addr.sin_port = htons((unsigned short)port);
  addr.sin_addr.s_addr = inet_addr(host);
  if (addr.sin_addr.s_addr == INADDR_NONE || port < 0 || port > 65535) return kNetNone;
  NetSocket s = NetSocket(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (s == kNetNone) return kNetNone;
#ifndef _WIN32
  // Lets a re-opened listener take its port back while old connections linger.
  int on = 1;
  setsockopt(int(s), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
#endif
  socklen_t len = sizeof addr;
  if (bind(s, (sockaddr*)&addr, sizeof addr) != 0 || listen(s, 8) != 0 ||
      getsockname(s, (sockaddr*)&addr, &len) != 0 || !SetNonBlocking(s)) {
    NetClose(s);
    return kNetNone;
  }
  *boundPort = ntohs(addr.sin_port);
  return s;
}

NetSocket NetAccept(NetSocket listener) {
  NetSocket s = NetSocket(accept(listener, nullptr, nullptr));
  if (s == kNetNone) return kNetNone;
  if (!SetNonBlocking(s)) {
    NetClose(s);
    return kNetNone;
  }
  return s;
}

int NetWait(NetSocket s, int forRead, int forWrite, int ms) {
  if (!forRead && !forWrite) {  // Winsock rejects a select without sockets
    NetSleep(ms);
    return 0;
  }
  fd_set rd, wr;
  FD_ZERO(&rd);
  FD_ZERO(&wr);
  if (forRead) FD_SET(s, &rd);
  if (forWrite) FD_SET(s, &wr);
  timeval tv = {ms / 1000, (ms % 1000) * 1000};
  int n = select(int(s + 1), &rd, &wr, nullptr, &tv);
  if (n < 0) return WouldBlock() ? 0 : -1;
  return (FD_ISSET(s, &rd) ? 1 : 0) | (FD_ISSET(s, &wr) ? 2 : 0);
}

int NetRecv(NetSocket s, char* buf, int len) {
  int n = int(recv(s, buf, len, 0));
  if (n >= 0) return n;
  return WouldBlock() ? -1 : -2;
}

int NetSend(NetSocket s, const char* buf, int len) {
  int n = int(send(s, buf, len, NET_NOSIGNAL));
  if (n >= 0) return n;
  return WouldBlock() ? -1 : -2;
}

void NetSleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
