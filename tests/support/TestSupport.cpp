#include "support/TestSupport.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <bit>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <stdexcept>
#include <thread>
#include <utility>

namespace tsumugiya::test {

// 64 random bits name it: no other folder can have the name.
TempFolder::TempFolder() {
    std::random_device random;
    const fs::path made = fs::temp_directory_path() /
                          ("tsumugiya-test-" + std::to_string(random()) + std::to_string(random()));
    if (!fs::create_directory(made)) {
        throw std::runtime_error("cannot make " + Utf8(made));
    }
    fs::permissions(made, fs::perms::owner_all);  // as mkdtemp makes it
    path = fs::canonical(made);
}

// The times go straight to the system: std::filesystem counts nanoseconds
// in 64 bits and so cannot set or read a time past 2262.
#ifdef _WIN32
namespace {

constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kSecondsTo1970 = 11'644'473'600;  // FILETIME counts from 1601

struct Handle {
    HANDLE h = nullptr;
    ~Handle() {
        if (h && h != INVALID_HANDLE_VALUE) {
            ::CloseHandle(h);
        }
    }
};

void SetModTime(const fs::path& file, std::int64_t time) {
    const Handle handle{::CreateFileW(file.c_str(), FILE_WRITE_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr)};
    const auto written = std::bit_cast<FILETIME>((time + kSecondsTo1970) * kTicksPerSecond);
    if (!::SetFileTime(handle.h, nullptr, nullptr, &written)) {
        throw std::runtime_error("cannot set the time of " + Utf8(file));
    }
}

// One argument as CommandLineToArgvW and the C runtime read it back.
std::wstring Quoted(const std::wstring& arg) {
    std::wstring quoted = L"\"";
    std::size_t slashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        quoted.append(c == L'"' ? 2 * slashes + 1 : slashes, L'\\');
        slashes = 0;
        quoted += c;
    }
    quoted.append(2 * slashes, L'\\');
    return quoted += L'"';
}

}  // namespace

std::int64_t ModTime(const fs::path& file) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data)) {
        return -1;
    }
    return std::bit_cast<std::int64_t>(data.ftLastWriteTime) / kTicksPerSecond - kSecondsTo1970;
}

void SetEnvironment(const std::string& name, const std::optional<std::string>& value) {
    ::SetEnvironmentVariableW(U8(name).c_str(), value ? U8(*value).c_str() : nullptr);
}

Outcome RunProgram(const fs::path& program, std::vector<std::string> args, const fs::path& cwd,
                   std::optional<std::chrono::nanoseconds> killAfter,
                   std::optional<std::string_view> typed, Texts env) {
    if (typed || !env.empty()) {
        throw std::logic_error(typed ? "no terminal to type on" : "no environment of its own");
    }
    std::wstring line = Quoted(program.wstring());
    for (const std::string& arg : args) {
        line += L' ' + Quoted(U8(arg).wstring());
    }
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    Handle outRead, outWrite, errRead, errWrite, nul;
    if (!::CreatePipe(&outRead.h, &outWrite.h, &inherit, 0) ||
        !::CreatePipe(&errRead.h, &errWrite.h, &inherit, 0)) {
        throw std::runtime_error("pipe failed");
    }
    ::SetHandleInformation(outRead.h, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(errRead.h, HANDLE_FLAG_INHERIT, 0);
    nul.h = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                          OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul.h;
    startup.hStdOutput = outWrite.h;
    startup.hStdError = errWrite.h;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                          cwd.c_str(), &startup, &process)) {
        throw std::runtime_error("cannot start " + Utf8(program));
    }
    Handle child{process.hProcess}, thread{process.hThread};
    ::CloseHandle(std::exchange(outWrite.h, nullptr));
    ::CloseHandle(std::exchange(errWrite.h, nullptr));
    const auto drain = [](HANDLE pipe, std::string& text) {
        char buffer[4096];
        DWORD n = 0;
        while (::ReadFile(pipe, buffer, sizeof buffer, &n, nullptr) && n > 0) {
            text.append(buffer, n);
        }
    };
    Outcome outcome;
    std::thread outReader(drain, outRead.h, std::ref(outcome.out));
    std::thread errReader(drain, errRead.h, std::ref(outcome.err));
    const auto wait =
        killAfter ? std::chrono::ceil<std::chrono::milliseconds>(*killAfter).count() : INFINITE;
    if (::WaitForSingleObject(child.h, static_cast<DWORD>(wait)) == WAIT_TIMEOUT) {
        ::TerminateProcess(child.h, 137);
        ::WaitForSingleObject(child.h, INFINITE);
    }
    outReader.join();
    errReader.join();
    DWORD status = 0;
    if (::GetExitCodeProcess(child.h, &status)) {
        outcome.status = static_cast<int>(status);
    }
    return outcome;
}

#else
namespace {

void SetModTime(const fs::path& file, std::int64_t time) {
    const struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(time), 0}};
    if (::utimensat(AT_FDCWD, file.c_str(), times, 0) != 0) {
        throw std::runtime_error("cannot set the time of " + Utf8(file));
    }
}

// Whether the child ends within this time. It is not reaped here, so that a kill after this
// cannot reach another process that got its pid. Without a pidfd (a kernel before 5.3) the
// whole time passes.
bool EndsWithin(pid_t pid, std::chrono::nanoseconds time) {
    const auto seconds = std::chrono::floor<std::chrono::seconds>(time);
    const timespec span{seconds.count(), (time - seconds).count()};
    pollfd ended{static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)), POLLIN, 0};
    int ready = 0;
    do {  // a signal to the test is no end of the child
        ready = ::ppoll(&ended, 1, &span, nullptr);
    } while (ready < 0 && errno == EINTR);
    ::close(ended.fd);
    return ready > 0;
}

}  // namespace

std::int64_t ModTime(const fs::path& file) {
    struct stat st {};
    return ::stat(file.c_str(), &st) == 0 ? static_cast<std::int64_t>(st.st_mtim.tv_sec) : -1;
}

void SetEnvironment(const std::string& name, const std::optional<std::string>& value) {
    value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
}

Outcome RunProgram(const fs::path& program, std::vector<std::string> args, const fs::path& cwd,
                   std::optional<std::chrono::nanoseconds> killAfter,
                   std::optional<std::string_view> typed, Texts env) {
    args.insert(args.begin(), program);
    env.insert(env.begin(), "TZ=UTC0");
    const auto pointers = [](Texts& texts) {
        std::vector<char*> list(texts.size() + 1);  // ends with a null
        std::ranges::transform(texts, list.begin(), [](std::string& text) { return text.data(); });
        return list;
    };
    std::vector<char*> argv = pointers(args), envp = pointers(env);
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    // posix_spawn rather than fork: copying the page tables of a test holding large files
    // would cost more than the runs it measures.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int terminal = -1, slave = -1;
    if (typed) {
        // Lines are read as typed, without echo or output processing, so that
        // err holds the program's own bytes.
        termios mode{};
        mode.c_cflag = CS8 | CREAD;
        mode.c_lflag = ICANON;
        if (::openpty(&terminal, &slave, nullptr, &mode, nullptr) != 0) {
            throw std::runtime_error("no terminal");
        }
        ::fcntl(terminal, F_SETFD, FD_CLOEXEC);
        ::fcntl(slave, F_SETFD, FD_CLOEXEC);
        posix_spawn_file_actions_adddup2(&actions, slave, 0);
        posix_spawn_file_actions_adddup2(&actions, slave, 2);
    } else {
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    }
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    pid_t pid = -1;
    const int failed = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        throw std::runtime_error("cannot start " + args[0] + ": " + std::strerror(failed));
    }
    ::close(out[1]);
    ::close(err[1]);
    if (typed) {  // the terminal reads EIO once the program has ended
        ::close(slave);
        ::close(std::exchange(err[0], terminal));
        if (::write(terminal, typed->data(), typed->size()) < 0) {
            throw std::runtime_error("cannot type");
        }
    }
    const auto drain = [](int fd, std::string& text) {
        char buffer[4096];
        for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
            text.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(fd);
    };
    Outcome outcome;
    // Each stream on a thread of its own, so that a child filling one pipe cannot stall on the
    // other while this one waits for its end.
    std::thread outReader(drain, out[0], std::ref(outcome.out));
    std::thread errReader(drain, err[0], std::ref(outcome.err));
    if (killAfter && !EndsWithin(pid, *killAfter)) {
        ::kill(pid, SIGKILL);
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) == pid) {
        outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    outReader.join();
    errReader.join();
    return outcome;
}

#endif

void WriteFile(const fs::path& file, std::string_view bytes, std::optional<std::int64_t> time) {
    if (!(std::ofstream(file, std::ios::binary) << bytes).flush()) {
        throw std::runtime_error("cannot write " + Utf8(file));
    }
    if (time) {
        SetModTime(file, *time);
    }
}

Content ReadFile(const fs::path& file) {
    std::error_code ec;  // a folder opens but throws on reading
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    if (!in || !fs::is_regular_file(file, ec)) {
        return std::nullopt;
    }
    // One read of the whole size: the crash trials compare files of 64 MiB.
    std::string bytes(static_cast<std::size_t>(in.tellg()), '\0');
    in.seekg(0).read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

Texts Names(const fs::path& folder) {
    Texts names;
    std::error_code missing;
    for (const auto& entry : fs::directory_iterator(folder, missing)) {
        names.push_back(Utf8(entry.path().filename()));
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::map<std::string, std::string> Snapshot(const fs::path& folder) {
    std::map<std::string, std::string> entries;
    for (const fs::path& path : fs::recursive_directory_iterator(folder)) {
        entries[Utf8(path)] = std::to_string(ModTime(path)) + ":" + ReadFile(path).value_or("?");
    }
    return entries;
}

void PrintTo(const Outcome& outcome, std::ostream* os) {
    *os << "status " << outcome.status << "\nout: " << outcome.out << "\nerr: " << outcome.err;
}

}  // namespace tsumugiya::test
