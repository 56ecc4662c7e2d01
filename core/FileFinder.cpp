#include "FileFinder.h"

namespace tsumugiya {
namespace {

std::uint64_t DivideRoundingUp(std::uint64_t value) {
    return (value + 1023) / 1024;
}

}  // namespace

void CFileFinder::SetFolder(std::filesystem::path folder) {
    Close();
    folder_ = std::move(folder);
}

bool CFileFinder::FindFirst(std::string& name, FindRecord& record,
                            std::optional<std::string_view> extensionPattern) {
    pattern_ = extensionPattern ? "*." + std::string(*extensionPattern) : std::string("*");
    reader_ =
        std::make_unique<platform::FolderReader>(folder_ ? *folder_ : std::filesystem::path("."));
    return Advance(name, record);
}

bool CFileFinder::FindNext(std::string& name, FindRecord& record) {
    return Advance(name, record);
}

void CFileFinder::Close() {
    reader_.reset();
}

bool CFileFinder::Advance(std::string& name, FindRecord& record) {
    while (reader_ && reader_->Next()) {
        if (platform::MatchesWildcard(pattern_, reader_->Name())) {
            const platform::EntryStatus status = reader_->Status();
            record = FindRecord{status.isDirectory, status.size, status.modificationTime,
                                reader_->Name()};
            name = reader_->Name();
            return true;
        }
    }
    return false;
}

bool CFileFinder::Exists() const {
    return folder_ && platform::IsDirectory(*folder_);
}

bool CFileFinder::CreateFolder(platform::IoError& error) const {
    return folder_ && platform::CreateDirectory(*folder_, error);
}

template <typename Visit>
void CFileFinder::Sweep(std::optional<std::string_view> extensionPattern, Visit visit) {
    std::string name;
    FindRecord record;
    for (bool found = FindFirst(name, record, extensionPattern); found;
         found = FindNext(name, record)) {
        visit(record);
    }
    Close();
}

std::uint32_t CFileFinder::CountFiles(std::optional<std::string_view> extensionPattern) {
    std::uint32_t count = 0;
    Sweep(extensionPattern, [&](const FindRecord& r) { count += r.isDirectory ? 0 : 1; });
    return count;
}

std::uint64_t CFileFinder::TotalBytes(std::optional<std::string_view> extensionPattern) {
    std::uint64_t total = 0;
    Sweep(extensionPattern, [&](const FindRecord& r) { total += r.isDirectory ? 0 : r.size; });
    return total;
}

std::uint64_t CFileFinder::TotalKB(std::optional<std::string_view> extensionPattern) {
    return DivideRoundingUp(TotalBytes(extensionPattern));
}

std::uint64_t CFileFinder::TotalMB(std::optional<std::string_view> extensionPattern) {
    return DivideRoundingUp(TotalKB(extensionPattern));
}

bool CFileFinder::DeleteMatching(std::optional<std::string_view> suffix) {
    if (!folder_) {
        return false;
    }
    std::vector<std::string> doomed;
    Sweep(std::nullopt, [&](const FindRecord& r) {
        if (!suffix || (r.name.size() > suffix->size() && r.name.ends_with(*suffix))) {
            doomed.push_back(r.name);
        }
    });
    for (const std::string& name : doomed) {
        platform::RemoveEntry(*folder_ / platform::PathFromUtf8(name));
    }
    return true;
}

}  // namespace tsumugiya
