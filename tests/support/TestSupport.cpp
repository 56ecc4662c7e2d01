#include "support/TestSupport.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <functional>
#include <mutex>
#include <random>
#include <stdexcept>
#include <stop_token>
#include <thread>
#include <utility>

namespace tsumugiya::test {
namespace {

// Calls kill once the time is up, unless stopped first; never without a time.
std::jthread KillTimer(std::optional<std::chrono::nanoseconds> after, std::function<void()> kill) {
    return std::jthread([=](std::stop_token stop) {
        std::mutex mutex;
        std::condition_variable_any wake;  // by request_stop only
        std::unique_lock lock(mutex);
        if (after && !wake.wait_for(lock, stop, *after, [&] { return stop.stop_requested(); })) {
            kill();
        }
    });
}

}  // namespace

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

void SetModTime(const fs::path& file, std::int64_t time) {
    const HANDLE handle =
        ::CreateFileW(file.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const auto ticks = static_cast<std::uint64_t>((time + kSecondsTo1970) * kTicksPerSecond);
    const FILETIME written{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    const bool set =
        handle != INVALID_HANDLE_VALUE && ::SetFileTime(handle, nullptr, nullptr, &written);
    ::CloseHandle(handle);
    if (!set) {
        throw std::runtime_error("cannot set the time of " + Utf8(file));
    }
}

}  // namespace

std::int64_t ModTime(const fs::path& file) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data)) {
        return -1;
    }
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
        data.ftLastWriteTime.dwLowDateTime;
    return static_cast<std::int64_t>(ticks / kTicksPerSecond) - kSecondsTo1970;
}
#else
namespace {

void SetModTime(const fs::path& file, std::int64_t time) {
    const struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(time), 0}};
    if (::utimensat(AT_FDCWD, file.c_str(), times, 0) != 0) {
        throw std::runtime_error("cannot set the time of " + Utf8(file));
    }
}

}  // namespace

std::int64_t ModTime(const fs::path& file) {
    struct stat st {};
    return ::stat(file.c_str(), &st) == 0 ? static_cast<std::int64_t>(st.st_mtim.tv_sec) : -1;
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
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const fs::path& path = entry.path();
        entries[Utf8(path)] = std::to_string(ModTime(path)) + ":" + ReadFile(path).value_or("?");
    }
    return entries;
}

void PrintTo(const Outcome& outcome, std::ostream* os) {
    *os << "status " << outcome.status << "\nout: " << outcome.out << "\nerr: " << outcome.err;
}

#ifndef _WIN32
void SetEnvironment(const std::string& name, const std::optional<std::string>& value) {
    value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
}

Outcome RunProgram(const fs::path& program, std::vector<std::string> args, const fs::path& cwd,
                   std::optional<std::chrono::nanoseconds> killAfter,
                   std::optional<std::string_view> typed, Texts env) {
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    env.insert(env.begin(), "TZ=UTC0");
    std::vector<char*> envp;
    for (auto& entry : env) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
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
    // The child stays unreaped until the timer has stopped, so that a late kill cannot reach
    // another process that got its pid.
    std::jthread timer = KillTimer(killAfter, [pid] { ::kill(pid, SIGKILL); });
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
    // stderr on its own thread, so that a child filling one pipe cannot stall on the other.
    std::thread errReader(drain, err[0], std::ref(outcome.err));
    drain(out[0], outcome.out);
    errReader.join();
    siginfo_t info{};
    ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT);
    timer.request_stop();
    timer.join();
    int status = 0;
    if (::waitpid(pid, &status, 0) == pid) {
        outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    return outcome;
}

#else

namespace {

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

struct Handle {
    HANDLE h = nullptr;
    ~Handle() {
        if (h && h != INVALID_HANDLE_VALUE) {
            ::CloseHandle(h);
        }
    }
};

}  // namespace

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
    std::jthread timer = KillTimer(killAfter, [&child] { ::TerminateProcess(child.h, 137); });
    Outcome outcome;
    std::thread errReader(drain, errRead.h, std::ref(outcome.err));
    drain(outRead.h, outcome.out);
    errReader.join();
    ::WaitForSingleObject(child.h, INFINITE);
    timer.request_stop();
    timer.join();
    DWORD status = 0;
    if (::GetExitCodeProcess(child.h, &status)) {
        outcome.status = static_cast<int>(status);
    }
    return outcome;
}

#endif

}  // namespace tsumugiya::test
