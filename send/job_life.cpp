// How a job ends at its edges. Every pause of a job waits on one event that every request
// to end it sets, so Stop, a job cancel, a close and shutdown reach a job wherever it waits.
// A close waits until the job has let go of the port, so the driver's handle never goes
// while the job still writes through it.
#include "send/frame.h"
#include "send/engine.h"

const DWORD JOB_OFF_PORT_MS = 5000;  // a job sees the request within one wait slice of its write

static HANDLE endEvent;      // set: the running job is asked to end
static HANDLE offPortEvent;  // set: no job uses a port
static Word jobPortKind;

static void MakeEvents() {
  if (!endEvent) endEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
  if (!offPortEvent) offPortEvent = CreateEventA(NULL, TRUE, TRUE, NULL);
}

int JobAskedToEnd() { return StopRequest == 3; }

int JobPause(DWORD ms) {
  MakeEvents();
  if (JobAskedToEnd()) return 0;
  if (ms) WaitForSingleObject(endEvent, ms);
  return !JobAskedToEnd();
}

void RequestJobEnd() {
  MakeEvents();
  StopRequest = 3;
  SetEvent(endEvent);
}

void JobStarts() {
  MakeEvents();
  StopRequest = 0;
  ResetEvent(endEvent);
}

void JobEntersPort(int kind) {
  MakeEvents();
  jobPortKind = kind;
  ResetEvent(offPortEvent);
}

void JobLeavesPort() {
  jobPortKind = IF_NONE;
  SetEvent(offPortEvent);
}

int AwaitJobOffPort(int kind, DWORD ms) {
  MakeEvents();
  int onWindowThread = GetWindowThreadProcessId(hMainWnd, NULL) == GetCurrentThreadId();
  for (DWORD start = GetTickCount(); jobPortKind == kind;) {
    DWORD spent = GetTickCount() - start;
    if (spent >= ms) return 0;
    if (!onWindowThread) {
      WaitForSingleObject(offPortEvent, ms - spent);
      continue;
    }
    if (MsgWaitForMultipleObjects(1, &offPortEvent, FALSE, ms - spent, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
      MSG msg;
      PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
  }
  return 1;
}

void AbandonDirectWrite(int kind);

void EndPortUse(int kind, int endJob) {
  Ports[kind].connected = 0;
  if (endJob && Ports[kind].sending == 1) RequestJobEnd();
  AbandonDirectWrite(kind);
  AwaitJobOffPort(kind, JOB_OFF_PORT_MS);
  StopReceiving(kind);
}
