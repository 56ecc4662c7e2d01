#pragma once

#include <filesystem>
#include <string_view>

namespace tsumugiya {

// Where the program keeps its settings file and its backups.
enum class Layout {
    Portable,  // beside the executable: a copy unpacked into a folder of the user's
    Xdg,       // in the user's XDG folders: an installed copy, one on PATH or in a read-only folder
};

struct ProgramFiles {
    Layout layout = Layout::Portable;
    std::filesystem::path settingsPath;  // empty when there is nowhere to keep it
    std::filesystem::path backupFolder;
};

// The folder an installed copy runs from, fixed when the program is built.
std::filesystem::path InstalledBinFolder();

// The files of the program at this path. A settings file beside it always
// wins, so a portable copy stays portable and nothing stored moves; an
// installed copy (in the folder it was built for, or in any folder on PATH,
// such as ~/bin), or one whose folder cannot be written, uses
// $XDG_CONFIG_HOME/tsumugiya and $XDG_DATA_HOME/tsumugiya instead.
ProgramFiles LocateProgramFiles(const std::filesystem::path& executable,
                                const std::filesystem::path& installedBinFolder);

std::string_view LayoutName(Layout layout);

}  // namespace tsumugiya
