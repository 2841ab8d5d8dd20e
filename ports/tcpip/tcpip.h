// The TCP/IP driver: a raw TCP stream to the printer's printing port, connected
// asynchronously; the socket reports its events to the main window as WM_SOCKET_EVENT.
#pragma once
#include <winsock2.h>
#include <windows.h>
#include "common/state.h"
#include "send/driver.h"

extern const Driver TcpipDriver;

extern volatile SOCKET TcpSocket;  // INVALID_SOCKET when none is open
extern Word TcpSerial;             // +1 for every socket made: a file is sent on one connection only
extern Word TcpReconnectPending;   // a connect made by the re-connection awaits its connect event
extern Word TcpAutoReconnect;      // "Automatic re-connection(&C)"; not saved
extern Word TcpRetryCount;         // connect failures while re-connecting since the last close event
extern Word NoRecvCounter;         // empty receive polls since the last data or the last block sent
extern char ResolvedHostName[260];
const int TCP_RETRY_LIMIT = 10;

// 1 when the connection was started. It owns the TCP state and the pending flag of the
// attempt (set before the connect call, whose outcome may arrive at once) and cleans up
// after itself on failure.
int TcpipConnect(HWND wnd, int retryForm);
// Shuts the sending side down and drains before closing; `endJob` 0 leaves a job running
// (the printer's close, a re-connection, the job's own fresh connection between files).
void TcpipCloseConnection(int endJob);
void TcpipDisconnect();  // the user's: no re-connection follows
void TcpipCloseSocket();              // at once, for a connection that never was
void TcpipInitLock();
// What the socket takes now, on the connection `serial` names: the count sent, 0 when it
// has no room, -1 with *error set.
int TcpipSendNow(int serial, const unsigned char* bytes, uint32_t length, int* error);
void TcpipAwaitRoom(DWORD ms);
int TcpipReadable(SOCKET s, DWORD ms);

int TcpipDialog(HWND owner);
int TcpipSocketEvent(HWND wnd, WPARAM wParam, LPARAM lParam);
int TcpipBlockSender(ConnectionBlock* block, int counter);
int TcpipDirectWrite(const unsigned char* bytes, int length);
int TcpipStartReceiving();  // 0 when the receive thread cannot be created
int TcpipAwaitConnected();
int TcpipStepBetweenFiles(HWND mainWnd, DWORD waitMs);

// The window's thread owns the connection; other threads ask it with these private socket
// events to close it for good (the no-receive limit), or, for a job between two files, to
// close it and to connect again.
const int TCP_EVENT_CLOSE = 0x4000, TCP_EVENT_RECONNECT = 0x4001, TCP_EVENT_JOB_CLOSE = 0x4002;
