#include "support/TestFiles.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace tsumugiya::test {

TempFolder::TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "tsumugiya-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

ScopedTimeZone::ScopedTimeZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) {
        old_ = old;
    }
    ::setenv("TZ", zone, 1);
    ::tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
    if (old_) {
        ::setenv("TZ", old_->c_str(), 1);
    } else {
        ::unsetenv("TZ");
    }
    ::tzset();
}

void WriteFile(const fs::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
        throw std::runtime_error("cannot write " + file.string());
    }
}

std::optional<std::string> ReadFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void SetModTime(const fs::path& file, std::int64_t seconds) {
    const struct timespec times[2] = {{static_cast<time_t>(seconds), 0},
                                      {static_cast<time_t>(seconds), 0}};
    if (::utimensat(AT_FDCWD, file.c_str(), times, 0) != 0) {
        throw std::runtime_error("cannot set the time of " + file.string());
    }
}

std::int64_t ModTime(const fs::path& file) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) {
        throw std::runtime_error("cannot stat " + file.string());
    }
    return st.st_mtim.tv_sec;
}

void MakeSocket(const fs::path& entry) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = entry.string();
    if (path.size() >= sizeof address.sun_path) {
        throw std::runtime_error("socket path too long: " + path);
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const int bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::close(fd);
    if (bound != 0) {
        throw std::runtime_error("cannot bind " + path);
    }
}

std::vector<std::string> EntryNames(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> TempLeftovers(const fs::path& folder) {
    std::vector<std::string> names = EntryNames(folder);
    std::erase_if(names, [](const std::string& n) { return !n.ends_with(".tmp"); });
    return names;
}

}  // namespace tsumugiya::test
