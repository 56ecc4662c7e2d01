#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Platform.h"

namespace tsumugiya {

// What one step of a search reports about a directory entry: its status is
// read once, when the entry is found.
struct FindRecord {
    bool isDirectory = false;
    std::uint64_t size = 0;
    std::optional<std::int64_t> modificationTime;  // regular files only
    std::string name;
};

// Walks the entries of one folder that match a wildcard, and answers whether
// the folder exists and can be created.
class CFileFinder {
  public:
    CFileFinder() = default;
    explicit CFileFinder(std::filesystem::path folder) : folder_(std::move(folder)) {}

    void SetFolder(std::filesystem::path folder);
    const std::optional<std::filesystem::path>& GetFolder() const { return folder_; }

    // Starts a search for folder/"*" or, with an extension pattern, for
    // folder/"*." + pattern. False when nothing matches.
    bool FindFirst(std::string& name, FindRecord& record,
                   std::optional<std::string_view> extensionPattern = std::nullopt);
    bool FindNext(std::string& name, FindRecord& record);
    void Close();

    bool Exists() const;
    bool CreateFolder(platform::IoError& error) const;

    // Sweeps over the non-directory entries matching an extension pattern.
    std::uint32_t CountFiles(std::optional<std::string_view> extensionPattern);
    std::uint64_t TotalBytes(std::optional<std::string_view> extensionPattern);
    std::uint64_t TotalKB(std::optional<std::string_view> extensionPattern);
    std::uint64_t TotalMB(std::optional<std::string_view> extensionPattern);
    // Deletes entries whose name ends in the suffix (all when absent).
    bool DeleteMatching(std::optional<std::string_view> suffix);
    bool DeleteAll() { return DeleteMatching(std::nullopt); }

  private:
    bool Advance(std::string& name, FindRecord& record);
    template <typename Visit>
    void Sweep(std::optional<std::string_view> extensionPattern, Visit visit);

    std::optional<std::filesystem::path> folder_;
    std::unique_ptr<platform::FolderReader> reader_;
    std::string pattern_;
};

}  // namespace tsumugiya
