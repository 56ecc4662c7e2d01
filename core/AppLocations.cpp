#include "AppLocations.h"

#include "Messages.h"

#include "BackupNames.h"
#include "FilePath.h"
#include "FileTime.h"

namespace fs = std::filesystem;

namespace tsumugiya {
namespace {

std::string Join(const std::string& folder, std::string_view name) {
    std::string path = folder;
    path += platform::kSeparator;
    path += name;
    return path;
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != text.npos;
}

}  // namespace

void AppLocations::InitLocations(const fs::path& executable, Folders folders) {
    InitSettingsPath(executable);
    ReadSettings();
    InitBackupFolder(executable, folders);
}

// Worked out once, so that the settings file written at the end cannot
// move both files to the other layout halfway through a run.
void AppLocations::LocateFiles(const fs::path& executable) {
    if (locatedFor_.empty() || locatedFor_ != executable) {
        files_ = LocateProgramFiles(executable, installedBinFolder_);
        locatedFor_ = executable;
    }
}

void AppLocations::InitSettingsPath(const fs::path& executable) {
    LocateFiles(executable);
    settingsPath_ = files_.settingsPath;
}

void AppLocations::ReadSettings() {
    // One read, so that a second instance writing meanwhile cannot give a
    // folder from one choice and a name from another.
    std::string text;
    if (settingsPath_.empty() || !platform::ReadWholeFile(settingsPath_, text)) {
        text.clear();
        settingsRead_.reset();
    } else {
        settingsRead_ = text;
    }
    saveFolder_ = platform::ProfileStringFromText(text, kSettingsSection, kFolderKey, "");
    saveFileName_ = platform::ProfileStringFromText(text, kSettingsSection, kFileNameKey, "");
    if (!saveFolder_.empty() && platform::IsSeparator(saveFolder_.back())) {
        saveFolder_.pop_back();
    }
    JoinSavePath();
}

void AppLocations::InitBackupFolder(const fs::path& executable, Folders folders) {
    LocateFiles(executable);
    backupFolder_ = files_.backupFolder;
    backupFolderError_.reset();
    if (backupFolder_.empty() || folders == Folders::LeaveAlone) {
        return;
    }
    platform::IoError error;
    if (!platform::CreateFolders(backupFolder_, error)) {
        backupFolderError_ = error;
    }
}

bool AppLocations::BackupFolderExists() const {
    return !backupFolder_.empty() && platform::IsDirectory(backupFolder_);
}

void AppLocations::SweepBackupFolder() const {
    if (!backupFolder_.empty()) {
        platform::RemoveStaleTempFiles(backupFolder_);
    }
}

// Only an absolute folder and a plain file name make a save path, so that no
// settings value can point the commands at a folder or outside its folder.
void AppLocations::JoinSavePath() {
    const std::string joined = Join(saveFolder_, saveFileName_);
    if (IsPrintableFileName(saveFileName_) && !HasLineBreak(saveFolder_) &&
        platform::IsAbsolutePath(joined) && joined.size() <= platform::kMaxPathLength) {
        savePath_ = platform::PathFromUtf8(joined);
    } else {
        savePath_.clear();
    }
}

bool AppLocations::SetSaveFile(const std::string& path) {
    CFilePath split(path);
    if (!platform::IsAbsolutePath(path) || !split.GetFileName() ||
        !IsPrintableFileName(*split.GetFileName()) || HasLineBreak(path) ||
        path.size() > platform::kMaxPathLength) {
        return false;
    }
    // A file in the root folder has no directory part; its folder is stored
    // empty and joins back to "/name".
    saveFolder_ = split.GetDirectory().value_or("");
    saveFileName_ = *split.GetFileName();
    JoinSavePath();
    saveFileAdopted_ = true;
    return true;
}

bool AppLocations::SettingsChangedElsewhere() const {
    if (saveFileAdopted_ || settingsPath_.empty()) {
        return false;
    }
    // A file gone or unreadable holds no one's choice: writing it back loses nothing.
    std::string now;
    return platform::ReadWholeFile(settingsPath_, now) && now != settingsRead_.value_or("");
}

bool AppLocations::SaveSection(std::string_view section,
                               const std::vector<std::pair<std::string, std::string>>& values,
                               platform::IoError& error) {
    if (settingsPath_.empty()) {
        error = platform::IoError{platform::IoError::Kind::Other, settingsPath_,
                                  std::string(messages::kProgramFolderUnknown)};
        return false;
    }
    const bool unchanged = !SettingsChangedElsewhere();
    if ((files_.layout == Layout::Xdg &&
         !platform::CreateFolders(settingsPath_.parent_path(), error)) ||
        !platform::WriteProfileStrings(settingsPath_, section, values, error)) {
        return false;
    }
    std::string now;
    if (unchanged && platform::ReadWholeFile(settingsPath_, now)) {
        settingsRead_ = now;
    }
    return true;
}

std::vector<std::string> AppLocations::SettingsProblems() const {
    std::vector<std::string> problems;
    const auto unusable = [&](std::string_view key, const std::string& value,
                              std::string_view reason) {
        problems.push_back(messages::UnusableSetting(key, value, reason));
    };
    if (!saveFolder_.empty()) {
        if (!IsValidUtf8(saveFolder_)) {
            unusable(kFolderKey, saveFolder_, messages::kUnreadableText);
        } else if (!platform::IsAbsolutePath(saveFolder_)) {
            unusable(kFolderKey, saveFolder_, messages::kNotAbsolute);
        } else if (HasLineBreak(saveFolder_)) {
            unusable(kFolderKey, saveFolder_, messages::kHasLineBreak);
        }
    }
    if (!saveFileName_.empty() && !IsPrintableFileName(saveFileName_)) {
        unusable(
            kFileNameKey, saveFileName_,
            !IsValidUtf8(saveFileName_) ? messages::kUnreadableText : messages::kNotOneFileName);
    }
    if (problems.empty() && !saveFileName_.empty() &&
        Join(saveFolder_, saveFileName_).size() > platform::kMaxPathLength) {
        unusable(kFileNameKey, saveFileName_, messages::kPathTooLong);
    }
    return problems;
}

bool AppLocations::SaveSettings(platform::IoError& error) const {
    if (settingsPath_.empty()) {
        error = platform::IoError{platform::IoError::Kind::Other, settingsPath_,
                                  std::string(messages::kProgramFolderUnknown)};
        return false;
    }
    if (files_.layout == Layout::Xdg &&
        !platform::CreateFolders(settingsPath_.parent_path(), error)) {
        return false;
    }
    return platform::WriteProfileStrings(
        settingsPath_, kSettingsSection,
        {{std::string(kFolderKey), saveFolder_}, {std::string(kFileNameKey), saveFileName_}},
        error);
}

std::optional<std::string> AppLocations::ReadSaveFileTime(platform::IoError& error) const {
    platform::OpenedFileStatus status;
    if (!platform::ReadFileStatus(savePath_, status, error)) {
        return std::nullopt;
    }
    return status.modificationTime ? FormatFileTime(*status.modificationTime) : std::string();
}

}  // namespace tsumugiya
