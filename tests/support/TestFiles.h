#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tsumugiya::test {

// A fresh folder under the system temp dir, removed with all it holds.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& name) const {
        return path_ / name;
    }

  private:
    std::filesystem::path path_;
};

// Sets TZ (a POSIX zone string, no tzdata needed) and puts the old one back.
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* zone);
    ~ScopedTimeZone();
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

  private:
    std::optional<std::string> old_;
};

void WriteFile(const std::filesystem::path& file, std::string_view bytes);
// The whole content; absent when the file cannot be read.
std::optional<std::string> ReadFile(const std::filesystem::path& file);
void SetModTime(const std::filesystem::path& file, std::int64_t seconds);
std::int64_t ModTime(const std::filesystem::path& file);
// A socket entry: it exists but no one, not even root, can open it.
void MakeSocket(const std::filesystem::path& entry);
// Sorted names in a folder.
std::vector<std::string> EntryNames(const std::filesystem::path& folder);
// Temporary files a commit-or-nothing write would leave behind if it failed badly.
std::vector<std::string> TempLeftovers(const std::filesystem::path& folder);

}  // namespace tsumugiya::test
