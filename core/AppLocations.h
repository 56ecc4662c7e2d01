#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "ProgramFiles.h"
#include "platform/Platform.h"

namespace tsumugiya {

// Where everything is: the settings file and backup folder (beside the
// executable or in the user's XDG folders), and the save file the user
// picked. One instance lives for the whole run and is handed to whoever
// needs it.
class AppLocations {
  public:
    // Whether start-up may make the backup folder (and, for the XDG layout,
    // the folders above it): a command that only reads makes none.
    enum class Folders { Make, LeaveAlone };

    // installedBinFolder: where an installed copy runs from (see ProgramFiles.h).
    explicit AppLocations(std::filesystem::path installedBinFolder = InstalledBinFolder())
        : installedBinFolder_(std::move(installedBinFolder)) {}

    // All start-up steps at once; a front-end may run them one by one.
    void InitLocations(const std::filesystem::path& executable, Folders folders = Folders::Make);
    // settingsPath: the executable's base name + ".ini", in the layout's folder.
    void InitSettingsPath(const std::filesystem::path& executable);
    // Reads folder and file name from the settings file and joins the save path.
    void ReadSettings();
    // backupFolder: "backup" in the layout's folder, created when missing
    // unless folders says to leave it alone.
    void InitBackupFolder(const std::filesystem::path& executable, Folders folders = Folders::Make);
    // Removes what crashed copies left in the backup folder. A front-end that
    // lists the backups at start needs not: the catalogue sweeps as it lists.
    void SweepBackupFolder() const;
    Layout FilesLayout() const { return files_.layout; }
    // Why the backup folder could not be made by InitBackupFolder, if it
    // could not: the first folder on the way that failed, and the cause.
    const std::optional<platform::IoError>& BackupFolderError() const { return backupFolderError_; }
    bool BackupFolderExists() const;

    // Adopts an absolute path to a file; false (nothing changed) for anything
    // that cannot name a save file. Writes nothing.
    bool SetSaveFile(const std::string& path);
    // Writes folder and file name back, keeping the rest of the settings file.
    bool SaveSettings(platform::IoError& error) const;
    // Writes one section of the program's own (the hotkeys), keeping the
    // rest; a file no one else changed since ReadSettings still counts as
    // unchanged, so that the save file chosen is written back at the end.
    bool SaveSection(std::string_view section,
                     const std::vector<std::pair<std::string, std::string>>& values,
                     platform::IoError& error);
    // The settings file's text as ReadSettings found it; empty when unreadable.
    std::string_view SettingsText() const {
        return settingsRead_ ? std::string_view(*settingsRead_) : std::string_view();
    }
    // True when the settings file now holds other settings than ReadSettings
    // found and no save file was adopted since: writing it back would undo a
    // choice another program (tsumugiya-cli use) made meanwhile.
    bool SettingsChangedElsewhere() const;
    // The settings that are present but cannot name a save file, each with
    // its reason, as the user should read it. They stay in the file.
    std::vector<std::string> SettingsProblems() const;

    // The save file's modification time as backup-name text; empty text when
    // its status cannot be read, absent (with the cause) when it cannot be opened.
    std::optional<std::string> ReadSaveFileTime(platform::IoError& error) const;

    const std::filesystem::path& SettingsPath() const { return settingsPath_; }
    const std::string& SaveFolder() const { return saveFolder_; }
    const std::string& SaveFileName() const { return saveFileName_; }
    // Empty while no usable save file is chosen: never "/" or another folder.
    const std::filesystem::path& SavePath() const { return savePath_; }
    const std::filesystem::path& BackupFolder() const { return backupFolder_; }

  private:
    void JoinSavePath();
    void LocateFiles(const std::filesystem::path& executable);

    std::filesystem::path installedBinFolder_;
    std::filesystem::path locatedFor_;  // the executable files_ was worked out for
    ProgramFiles files_;
    std::filesystem::path settingsPath_;
    std::string saveFolder_;
    std::string saveFileName_;
    std::filesystem::path savePath_;
    std::filesystem::path backupFolder_;
    std::optional<platform::IoError> backupFolderError_;
    std::optional<std::string> settingsRead_;  // the file's bytes at start; absent when unreadable
    bool saveFileAdopted_ = false;
};

}  // namespace tsumugiya
