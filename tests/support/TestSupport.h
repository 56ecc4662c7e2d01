#pragma once

// Helpers for every test program, without core/: a temporary folder, whole
// files, folder snapshots and a runner for built programs.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace tsumugiya::test {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;
using Content = std::optional<std::string>;  // of a file; absent when it cannot be read

// A fresh folder, canonical so that paths match what a child's getcwd gives;
// removed with all it holds.
struct TempFolder {
    TempFolder();
    TempFolder(const TempFolder&) = delete;
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    fs::path operator/(const fs::path& name) const { return path / name; }
    fs::path path;
};

// Writes the whole file and, when given, its modification time; throws on failure.
void WriteFile(const fs::path& file, std::string_view bytes,
               std::optional<std::int64_t> time = std::nullopt);
Content ReadFile(const fs::path& file);
std::int64_t ModTime(const fs::path& file);  // -1 when there is no such file
// A file's content and modification time, to compare in one go.
using FileState = std::pair<Content, std::int64_t>;
inline FileState StateOf(const fs::path& file) {
    return {ReadFile(file), ModTime(file)};
}
Texts Names(const fs::path& folder);  // sorted; none when the folder is missing
// Every entry below a folder with its time and content: equal snapshots mean
// that nothing there changed.
std::map<std::string, std::string> Snapshot(const fs::path& folder);

// A path from UTF-8 text and back: plain strings and literals would go
// through the ANSI code page on Windows.
inline fs::path U8(std::string_view text) {
    return fs::path(std::u8string_view(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}
inline std::string Utf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// An absolute path on this system written the POSIX way: on Windows it
// gets a drive.
inline std::string Abs(std::string_view posix) {
#ifdef _WIN32
    return "C:" + std::string(posix);
#else
    return std::string(posix);
#endif
}

// True for text with kana or kanji in it (U+3000 to U+9FFF, whose UTF-8
// starts with E3 to E9): a cause the user reads in Japanese, not English.
inline bool IsJapanese(std::string_view text) {
    return std::ranges::any_of(text,
                               [](unsigned char byte) { return byte >= 0xE3 && byte <= 0xE9; });
}

// Sets or, given no value, removes an environment variable of this process.
void SetEnvironment(const std::string& name, const std::optional<std::string>& value);

// Skips a case that needs what only Linux has, saying what.
#ifdef _WIN32
#define LINUX_ONLY(what) GTEST_SKIP() << "Linux only: " << what
#else
#define LINUX_ONLY(what) static_cast<void>(0)
#endif

struct Outcome {
    int status = -1;  // exit code, or 128 + signal
    std::string out, err;
    bool operator==(const Outcome&) const = default;
};
// How a failed check shows an outcome.
void PrintTo(const Outcome& outcome, std::ostream* os);
// Runs a program in cwd with stdin on /dev/null (never a terminal) and only
// TZ=UTC0 and env (NAME=VALUE each) in its environment, so that backup names
// do not depend on the machine.
// Given killAfter, SIGKILL ends the program then unless it has ended first.
// Given typed, stdin and stderr are a terminal of its own where that is typed,
// and err is what the terminal showed (Linux only).
// On Windows stdin is NUL, the environment is this process's own (the zone
// is the system's; env must be empty) and killAfter ends it with TerminateProcess.
Outcome RunProgram(const fs::path& program, std::vector<std::string> args, const fs::path& cwd,
                   std::optional<std::chrono::nanoseconds> killAfter = std::nullopt,
                   std::optional<std::string_view> typed = std::nullopt, Texts env = {});

}  // namespace tsumugiya::test
