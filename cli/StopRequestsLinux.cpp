// The signals are blocked and read from a descriptor: a copy in progress is
// never cut short by them, and the watch loop polls for them with its watch.

#include <poll.h>
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
    ::sigprocmask(SIG_BLOCK, &signals, nullptr);
    waitable_ = ::signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);
}

// A request read here is one taken: unblocked while still pending, it would
// end the process by the signal after all.
StopRequests::~StopRequests() {
    signalfd_siginfo taken;
    while (::read(static_cast<int>(waitable_), &taken, sizeof taken) == sizeof taken) {
    }
    ::close(static_cast<int>(waitable_));
    const sigset_t signals = StopSignals();
    ::sigprocmask(SIG_UNBLOCK, &signals, nullptr);
}

bool StopRequests::Requested() const {
    pollfd ready{static_cast<int>(waitable_), POLLIN, 0};
    return ::poll(&ready, 1, 0) > 0;
}

}  // namespace tsumugiya::cli
