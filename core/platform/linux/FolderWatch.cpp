// Linux folder watch: one inotify descriptor for the watch's life, one watch
// on the folder that is put back when the folder is removed or replaced.

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/Platform.h"

namespace fs = std::filesystem;

namespace tsumugiya::platform {

namespace {

// A save written in place ends with a close; one written beside it ends with
// a rename onto its name. Losing the folder itself is told apart.
constexpr std::uint32_t kWatched =
    IN_CLOSE_WRITE | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

}  // namespace

struct FolderWatch::Impl {
    fs::path folder;
    int fd = -1;
    int wd = -1;
    std::string problem;
};

FolderWatch::FolderWatch(fs::path folder) : impl_(std::make_unique<Impl>()) {
    impl_->folder = std::move(folder);
    impl_->fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    // The user's limit of inotify instances may be used up.
    impl_->problem = impl_->fd < 0 ? ErrnoCause(errno) : std::string();
    Arm();
}

FolderWatch::~FolderWatch() {
    if (impl_->fd >= 0) {
        ::close(impl_->fd);
    }
}

bool FolderWatch::Arm() {
    if (impl_->fd < 0) {
        return false;
    }
    if (impl_->wd >= 0) {
        ::inotify_rm_watch(impl_->fd, impl_->wd);
    }
    impl_->wd = ::inotify_add_watch(impl_->fd, impl_->folder.c_str(), kWatched);
    impl_->problem = impl_->wd < 0 ? ErrnoCause(errno) : std::string();
    return impl_->wd >= 0;
}

const std::string& FolderWatch::Problem() const {
    return impl_->problem;
}

bool FolderWatch::Armed() const {
    return impl_->wd >= 0;
}

std::intptr_t FolderWatch::Waitable() const {
    return impl_->fd;
}

FolderWatch::Changes FolderWatch::Read() {
    Changes changes;
    alignas(inotify_event) char buffer[16 * 1024];
    for (;;) {
        const ssize_t n = impl_->fd < 0 ? -1 : ::read(impl_->fd, buffer, sizeof buffer);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) {
                continue;
            }
            return changes;
        }
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if ((event->mask & IN_Q_OVERFLOW) != 0) {
                changes.incomplete = true;
            } else if (event->wd != impl_->wd || impl_->wd < 0) {
                continue;  // left over from a watch given up before
            } else if ((event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) != 0) {
                // A moved folder would still be followed under its new name.
                ::inotify_rm_watch(impl_->fd, impl_->wd);
                impl_->wd = -1;
                changes.lost = true;
            } else if (event->len > 0) {
                changes.names.emplace_back(event->name, ::strnlen(event->name, event->len));
            }
        }
    }
}

bool SameFileName(std::string_view a, std::string_view b) {
    return a == b;
}

std::optional<std::size_t> WaitForAny(const std::vector<std::intptr_t>& waitables,
                                      std::optional<std::chrono::milliseconds> timeout) {
    std::vector<pollfd> fds;
    for (const std::intptr_t waitable : waitables) {
        fds.push_back({static_cast<int>(waitable), POLLIN, 0});
    }
    const int wait = timeout ? static_cast<int>(std::max<std::int64_t>(timeout->count(), 0)) : -1;
    if (::poll(fds.data(), fds.size(), wait) <= 0) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < fds.size(); ++i) {
        if (fds[i].revents != 0) {
            return i;
        }
    }
    return std::nullopt;
}

}  // namespace tsumugiya::platform
