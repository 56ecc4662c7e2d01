// The signals are blocked and read from a descriptor: a copy in progress is
// never cut short by them, and the watch loop polls for them with its watch.

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include "StopRequests.h"

namespace tsumugiya::cli {
namespace {

sigset_t StopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

}  // namespace

StopRequests::StopRequests() {
    const sigset_t signals = StopSignals();
    ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    waitable_ = ::signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);
    // Without the descriptor the signals must end the process as usual,
    // or nothing but SIGKILL could.
    if (waitable_ < 0) {
        ::pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
    }
}

// The signals stay blocked: the command is over and its process about to
// end, and a second Ctrl+C arriving now must not turn a clean end into a
// death by the signal.
StopRequests::~StopRequests() {
    if (waitable_ >= 0) {
        ::close(static_cast<int>(waitable_));
    }
}

bool StopRequests::Requested() const {
    if (waitable_ < 0) {
        return false;
    }
    pollfd ready{static_cast<int>(waitable_), POLLIN, 0};
    return ::poll(&ready, 1, 0) > 0;
}

}  // namespace tsumugiya::cli
