// Preloaded into tsumugiya-cli: numbers every call that changes a file or a
// folder below TSUMUGIYA_PL_ROOT, across all threads, and can
//   TSUMUGIYA_PL_STOP=N      stop the machine before call N: the file system
//                            of TSUMUGIYA_PL_MOUNT (when set) goes down, then
//                            the process ends at once with kStoppedExit;
//   TSUMUGIYA_PL_FAIL=N      fail call N with TSUMUGIYA_PL_ERRNO (EIO by default);
//   TSUMUGIYA_PL_TRACE=FILE  append one line per call (Trace.h), with the bytes
//                            written, to replay crash states from.

#include <dlfcn.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>

#include "powerloss/Shutdown.h"
#include "powerloss/Trace.h"

namespace {

using namespace tsumugiya::powerloss;

template <typename F>
F Real(F, const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}
#define REAL(name) static const auto real = Real(&::name, #name)

long EnvNumber(const char* name, long fallback = 0) {
    const char* text = std::getenv(name);
    return text != nullptr ? std::atol(text) : fallback;
}

struct Settings {
    std::string root = std::getenv("TSUMUGIYA_PL_ROOT") ? std::getenv("TSUMUGIYA_PL_ROOT") : "";
    const char* mount = std::getenv("TSUMUGIYA_PL_MOUNT");
    const char* trace = std::getenv("TSUMUGIYA_PL_TRACE");
    long stop = EnvNumber("TSUMUGIYA_PL_STOP");
    long fail = EnvNumber("TSUMUGIYA_PL_FAIL");
    int error = static_cast<int>(EnvNumber("TSUMUGIYA_PL_ERRNO", EIO));
};

const Settings& Config() {
    static const Settings settings;
    return settings;
}

std::atomic<long> calls{0};
std::mutex traceLock;

bool Watched(const std::string& path) {
    const std::string& root = Config().root;
    return !root.empty() && (path + "/").starts_with(root + "/");
}

std::string PathOf(int fd) {
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), error).string();
}

std::string Absolute(const char* path) {
    return std::filesystem::absolute(path).string();
}

// Numbers one call; true when this one is to fail.
bool Before(const std::string& path) {
    if (!Watched(path)) {
        return false;
    }
    const long n = ++calls;
    if (n == Config().stop) {
        if (Config().mount != nullptr && ShutDown(Config().mount) != 0) {
            std::fprintf(stderr, "shutdown refused: %s\n", std::strerror(errno));
            ::_exit(kRefusedExit);
        }
        ::_exit(kStoppedExit);
    }
    return n == Config().fail;
}

void Record(Call call, const std::string& path, const std::string& other = {}, long long offset = 0,
            std::string_view bytes = {}) {
    if (Config().trace == nullptr || !Watched(path)) {
        return;
    }
    const std::string line = FormatCall(call, path, other, offset, bytes);
    const std::lock_guard lock(traceLock);
    static const int fd = static_cast<int>(::syscall(
        SYS_openat, AT_FDCWD, Config().trace, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600));
    ::syscall(SYS_write, fd, line.data(), line.size());
}

int Failed() {
    errno = Config().error;
    return -1;
}

std::string ReadBack(int fd, long long offset, std::size_t size) {
    std::string bytes(size, '\0');
    const ssize_t n = ::pread(fd, bytes.data(), size, offset);
    bytes.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return bytes;
}

// Numbers a call on path, then records it; second is a rename's or a link's new name.
template <typename Run>
int Named(Call call, const std::string& path, const std::string& second, Run run) {
    if (Before(path)) {
        return Failed();
    }
    const int result = run();
    Record(result == 0 ? call : Call::Failed, path, second);
    return result;
}

}  // namespace

extern "C" {

int open(const char* path, int flags, ...) {
    REAL(open);
    va_list args;
    va_start(args, flags);
    const mode_t mode = (flags & O_CREAT) ? static_cast<mode_t>(va_arg(args, int)) : 0;
    va_end(args);
    if ((flags & (O_CREAT | O_TRUNC)) == 0) {
        return real(path, flags, mode);
    }
    const std::string full = Absolute(path);
    struct stat st {};
    const bool existed = ::stat(full.c_str(), &st) == 0;
    if (Before(full)) {
        return Failed();
    }
    const int fd = real(path, flags, mode);
    Record(fd < 0              ? Call::Failed
           : !existed          ? Call::Create
           : (flags & O_TRUNC) ? Call::Truncate
                               : Call::Attributes,
           full);
    return fd;
}

ssize_t write(int fd, const void* data, size_t size) {
    REAL(write);
    // A write to a terminal or a pipe changes no file.
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !(S_ISREG(st.st_mode) || S_ISDIR(st.st_mode))) {
        return real(fd, data, size);
    }
    const std::string path = PathOf(fd);
    const long long offset = ::lseek(fd, 0, SEEK_CUR);
    if (Before(path)) {
        return Failed();
    }
    const ssize_t n = real(fd, data, size);
    Record(n >= 0 ? Call::Write : Call::Failed, path, {}, offset,
           std::string_view(static_cast<const char*>(data), n > 0 ? static_cast<size_t>(n) : 0));
    return n;
}

ssize_t copy_file_range(int in, off_t* inOffset, int out, off_t* outOffset, size_t size,
                        unsigned flags) {
    REAL(copy_file_range);
    const std::string path = PathOf(out);
    const long long at = outOffset ? *outOffset : ::lseek(out, 0, SEEK_CUR);
    if (Before(path)) {
        return Failed();
    }
    const ssize_t n = real(in, inOffset, out, outOffset, size, flags);
    Record(n >= 0 ? Call::Write : Call::Failed, path, {}, at,
           n > 0 ? ReadBack(out, at, static_cast<size_t>(n)) : std::string());
    return n;
}

int ioctl(int fd, unsigned long request, ...) {
    REAL(ioctl);
    va_list args;
    va_start(args, request);
    void* argument = va_arg(args, void*);
    va_end(args);
    if (request != FICLONE) {
        return real(fd, request, argument);
    }
    const std::string path = PathOf(fd);
    if (Before(path)) {
        return Failed();
    }
    const int result = real(fd, request, argument);
    struct stat st {};
    const bool cloned = result == 0 && ::fstat(fd, &st) == 0;
    Record(cloned ? Call::Clone : Call::Failed, path, {}, 0,
           cloned ? ReadBack(fd, 0, static_cast<size_t>(st.st_size)) : std::string());
    return result;
}

#define ATTRIBUTE_CALL(name, params, args)                                         \
    int name params {                                                              \
        REAL(name);                                                                \
        return Named(Call::Attributes, PathOf(fd), {}, [&] { return real args; }); \
    }
ATTRIBUTE_CALL(fchmod, (int fd, mode_t mode), (fd, mode))
ATTRIBUTE_CALL(fchown, (int fd, uid_t uid, gid_t gid), (fd, uid, gid))
ATTRIBUTE_CALL(futimens, (int fd, const struct timespec times[2]), (fd, times))

int fsync(int fd) {
    REAL(fsync);
    const std::string path = PathOf(fd);
    if (Before(path)) {
        return Failed();
    }
    const int result = real(fd);
    struct stat st {};
    Record(result != 0                                    ? Call::Failed
           : ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) ? Call::SyncFolder
                                                          : Call::SyncFile,
           path);
    return result;
}

// Starts or waits for writeback only: no promise rests on it, so it is a
// point to crash at that replay need not model.
ATTRIBUTE_CALL(sync_file_range, (int fd, off64_t offset, off64_t size, unsigned flags),
               (fd, offset, size, flags))

int rename(const char* from, const char* to) {
    REAL(rename);
    return Named(Call::Rename, Absolute(from), Absolute(to), [&] { return real(from, to); });
}

int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
    REAL(renameat2);
    return Named(Call::Rename, Absolute(from), Absolute(to),
                 [&] { return real(fromDir, from, toDir, to, flags); });
}

int link(const char* existing, const char* name) {
    REAL(link);
    return Named(Call::Link, Absolute(existing), Absolute(name),
                 [&] { return real(existing, name); });
}

int unlink(const char* path) {
    REAL(unlink);
    return Named(Call::Unlink, Absolute(path), {}, [&] { return real(path); });
}

int mkdir(const char* path, mode_t mode) {
    REAL(mkdir);
    return Named(Call::MakeFolder, Absolute(path), {}, [&] { return real(path, mode); });
}

}  // extern "C"
