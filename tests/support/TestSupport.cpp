#include "support/TestSupport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <stdexcept>
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
    std::ifstream in(file, std::ios::binary);
    return in && fs::is_regular_file(file, ec)
               ? Content(std::string(std::istreambuf_iterator<char>(in), {}))
               : std::nullopt;
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

Outcome RunProgram(const fs::path& program, std::vector<std::string> args, const fs::path& cwd) {
    args.insert(args.begin(), program);
    std::vector<char*> argv;  // built before fork: the child must not allocate
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
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int in = ::open("/dev/null", O_RDONLY);
        if (::dup2(in, 0) == 0 && ::dup2(out[1], 1) == 1 && ::dup2(err[1], 2) == 2 &&
            ::chdir(cwd.c_str()) == 0) {
            ::execve(argv[0], argv.data(), envp);
        }
        ::_exit(127);
    }
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
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid) {
        outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    return outcome;
}

}  // namespace tsumugiya::test
