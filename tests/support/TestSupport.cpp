#include "support/TestSupport.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <stop_token>
#include <thread>

namespace tsumugiya::test {

TempFolder::TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "tsumugiya-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path = fs::canonical(pattern);
}

void WriteFile(const fs::path& file, std::string_view bytes, std::optional<std::int64_t> time) {
    if (!(std::ofstream(file, std::ios::binary) << bytes).flush()) {
        throw std::runtime_error("cannot write " + file.string());
    }
    if (time) {
        const std::chrono::sys_seconds at{std::chrono::seconds(*time)};
        fs::last_write_time(file, std::chrono::file_clock::from_sys(at));
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

std::int64_t ModTime(const fs::path& file) {
    struct stat st {};
    return ::stat(file.c_str(), &st) == 0 ? st.st_mtim.tv_sec : -1;
}

Texts Names(const fs::path& folder) {
    Texts names;
    std::error_code missing;
    for (const auto& entry : fs::directory_iterator(folder, missing)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::map<std::string, std::string> Snapshot(const fs::path& folder) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const fs::path& path = entry.path();
        entries[path] = std::to_string(ModTime(path)) + ":" + ReadFile(path).value_or("?");
    }
    return entries;
}

Outcome RunProgram(const fs::path& program, std::vector<std::string> args, const fs::path& cwd,
                   std::optional<std::chrono::nanoseconds> killAfter) {
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    char zone[] = "TZ=UTC0";
    char* envp[] = {zone, nullptr};
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    // posix_spawn rather than fork: copying the page tables of a test holding large files
    // would cost more than the runs it measures.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    pid_t pid = -1;
    const int failed = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        throw std::runtime_error("cannot start " + args[0] + ": " + std::strerror(failed));
    }
    // The child stays unreaped until the timer has stopped, so that a late kill cannot reach
    // another process that got its pid.
    std::jthread timer([&](std::stop_token stop) {
        std::mutex mutex;
        std::condition_variable_any wake;  // by request_stop only
        std::unique_lock lock(mutex);
        const auto stopped = [&] { return stop.stop_requested(); };
        if (killAfter && !wake.wait_for(lock, stop, *killAfter, stopped)) {
            ::kill(pid, SIGKILL);
        }
    });
    ::close(out[1]);
    ::close(err[1]);
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

}  // namespace tsumugiya::test
