// The settings reader on arbitrary bytes, and the writer's round trip: the
// first line of the input is a value, the rest the settings file it is
// written into.

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/Platform.h"

namespace fs = std::filesystem;
namespace platform = tsumugiya::platform;

namespace {

constexpr std::string_view kSection = "SaveFile";

// One file in a private folder, reused by every run.
fs::path gFolder;
fs::path gFile;

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "settings check failed: %s\n", what);
        std::abort();
    }
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != text.npos;
}

// A value that fits on one line of the file.
bool Storable(std::string_view value) {
    return !HasLineBreak(value) && value.find('\0') == value.npos;
}

// What survives a rewrite of the file: a storable value, unless it both
// starts and ends with a quote, which the reader takes for quoting; only the
// values being written get those quotes back.
bool SurvivesRewrite(std::string_view value) {
    const bool quoted = value.size() >= 2 && value.front() == '"' && value.back() == '"';
    return Storable(value) && !quoted;
}

void RemoveFolder() {
    std::error_code ignored;
    fs::remove_all(gFolder, ignored);
}

// A run stopped by a finding exits without cleaning up, so each process names
// its folder by its id and removes those whose process is gone.
constexpr std::string_view kFolderPrefix = "tsumugiya-fuzz-";

void RemoveStaleFolders(const fs::path& base) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(base, ec)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with(kFolderPrefix)) {
            continue;
        }
        const char* end = name.data() + name.size();
        int pid = 0;
        const auto parsed = std::from_chars(name.data() + kFolderPrefix.size(), end, pid);
        if (parsed.ec == std::errc() && parsed.ptr == end && pid > 0 && ::kill(pid, 0) != 0 &&
            errno == ESRCH) {
            fs::remove_all(entry.path(), ec);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::error_code ec;
    const fs::path base =
        fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
    RemoveStaleFolders(base);
    gFolder = base / (std::string(kFolderPrefix) + std::to_string(::getpid()));
    fs::remove_all(gFolder, ec);
    Check(fs::create_directory(gFolder, ec), "no temporary folder");
    gFile = gFolder / "tsumugiya.ini";
    std::atexit(RemoveFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const char* key : {"folder", "filename"}) {
        Check(!HasLineBreak(platform::ProfileStringFromText(text, kSection, key, "")),
              "a value read holds a line break");
    }

    const std::size_t eol = text.find('\n');
    const std::string value(text.substr(0, eol));
    const std::string_view before = eol == text.npos ? "" : text.substr(eol + 1);
    {
        std::ofstream out(gFile, std::ios::binary | std::ios::trunc);
        out.write(before.data(), static_cast<std::streamsize>(before.size()));
        Check(out.good(), "the settings file could not be prepared");
    }
    const std::string otherBefore =
        platform::ProfileStringFromText(before, kSection, "filename", "");

    platform::IoError error;
    const bool written = platform::WriteProfileStrings(gFile, kSection, {{"folder", value}}, error);
    Check(written || !Storable(value), "WriteProfileStrings refused a storable value");
    std::string after;
    platform::ReadWholeFile(gFile, after);
    if (written) {
        Check(platform::ProfileStringFromText(after, kSection, "folder", "") == value,
              "the value written is not the value read back");
    }
    // Every other key is kept, as far as its own value survives a rewrite.
    if (SurvivesRewrite(otherBefore)) {
        Check(platform::ProfileStringFromText(after, kSection, "filename", "") == otherBefore,
              "another key changed");
    }
    return 0;
}
