#pragma once

// Stops a file system as a power cut would: what is not yet in its journal
// on disk is lost, and every later call fails. XFS names the call; ext4 takes
// the same number (EXT4_IOC_SHUTDOWN) and flags.

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace tsumugiya::powerloss {

inline constexpr unsigned long kGoingDown = _IOR('X', 125, std::uint32_t);  // XFS_IOC_GOINGDOWN
inline constexpr std::uint32_t kNoLogFlush = 0x2;  // XFS_FSOP_GOING_FLAGS_NOLOGFLUSH

// 0 when the file system below the folder went down, else the errno.
inline int ShutDown(const char* folder) {
    const int fd = ::open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    std::uint32_t flags = kNoLogFlush;
    const int err = ::ioctl(fd, kGoingDown, &flags) == 0 ? 0 : errno;
    ::close(fd);
    return err;
}

}  // namespace tsumugiya::powerloss
