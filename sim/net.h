#pragma once
// Just enough of a socket layer for the simulated printer: POSIX sockets here,
// Winsock 2 on Windows. Every socket it hands out is non-blocking.
#include <cstdint>

typedef intptr_t NetSocket;
const NetSocket kNetNone = -1;

int NetInit();  // 1 when the socket layer is ready; pair with NetDone
void NetDone();
// Listens on an IPv4 address; *boundPort gets the port (useful for port 0).
NetSocket NetListen(const char* host, int port, int* boundPort);
NetSocket NetAccept(NetSocket listener);  // kNetNone when nothing is pending
// Waits up to ms; returns 1 readable | 2 writable, 0 on time-out, -1 on error.
int NetWait(NetSocket s, int forRead, int forWrite, int ms);
// Bytes moved, 0 when the peer closed (receive only), -1 would block, -2 error.
int NetRecv(NetSocket s, char* buf, int len);
int NetSend(NetSocket s, const char* buf, int len);
void NetClose(NetSocket s);
void NetSleep(int ms);
