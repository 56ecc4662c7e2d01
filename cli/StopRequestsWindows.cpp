// A console control handler runs on a thread of its own: it sets an event
// the watch loop waits on. On a close, logoff or shutdown the process ends
// when the handler returns, so the handler waits for the loop to be done.

#include <windows.h>

#include "StopRequests.h"

namespace tsumugiya::cli {
namespace {

// The handler is a plain function: it finds the events here.
HANDLE stopEvent = nullptr;
HANDLE doneEvent = nullptr;
// Windows ends the process some seconds after a close event anyway.
constexpr DWORD kCloseWaitMs = 4500;

BOOL WINAPI OnControl(DWORD type) {
    ::SetEvent(stopEvent);
    if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT) {
        ::WaitForSingleObject(doneEvent, kCloseWaitMs);
    }
    return TRUE;
}

}  // namespace

StopRequests::StopRequests() {
    stopEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    doneEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    waitable_ = reinterpret_cast<std::intptr_t>(stopEvent);
    ::SetConsoleCtrlHandler(OnControl, TRUE);
}

StopRequests::~StopRequests() {
    ::SetEvent(doneEvent);
    ::SetConsoleCtrlHandler(OnControl, FALSE);
}

bool StopRequests::Requested() const {
    return ::WaitForSingleObject(stopEvent, 0) == WAIT_OBJECT_0;
}

}  // namespace tsumugiya::cli
