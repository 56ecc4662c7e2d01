#include "ProgramFiles.h"

#include "Messages.h"

#include "BackupNames.h"
#include "FilePath.h"
#include "platform/Platform.h"

namespace fs = std::filesystem;

namespace tsumugiya {
namespace {

constexpr std::string_view kProgramFolder = "tsumugiya";

// An XDG base folder: the variable when it holds an absolute path, else the
// default below the home folder, as the XDG rules say.
fs::path XdgFolder(const char* variable, std::string_view fallback) {
    const auto value = platform::EnvironmentValue(variable);
    if (value && platform::IsAbsolutePath(*value)) {
        return platform::PathFromUtf8(*value);
    }
    const fs::path home = platform::HomeFolder();
    return home.empty() ? fs::path() : home / fallback;
}

// True when the folder is one of the absolute folders on PATH: a copy there
// is shared by every user and every game, like an installed one. A relative
// entry depends on the working folder and says nothing about the copy.
bool IsOnSearchPath(const fs::path& folder) {
#ifdef _WIN32
    constexpr char kListSeparator = ';';
#else
    constexpr char kListSeparator = ':';
#endif
    const std::string list = platform::EnvironmentValue("PATH").value_or("");
    for (std::size_t start = 0; start <= list.size();) {
        std::size_t end = list.find(kListSeparator, start);
        if (end == list.npos) {
            end = list.size();
        }
        const std::string_view entry(list.data() + start, end - start);
        if (platform::IsAbsolutePath(entry) &&
            platform::SameEntry(folder, platform::PathFromUtf8(entry))) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

}  // namespace

fs::path InstalledBinFolder() {
#ifdef TSUMUGIYA_INSTALLED_BINDIR
    return TSUMUGIYA_INSTALLED_BINDIR;
#else
    return {};
#endif
}

ProgramFiles LocateProgramFiles(const fs::path& executable, const fs::path& installedBinFolder) {
    // Without the executable's own path there is nowhere to look: nothing
    // lands in "/" or the working folder.
    if (!executable.is_absolute()) {
        return {};
    }
    CFilePath self(platform::Utf8Of(executable));
    const fs::path folder = platform::PathFromUtf8(self.GetDirectory().value_or("/"));
    const std::string settingsName = self.GetBaseName().value_or("") + ".ini";
    const ProgramFiles portable{Layout::Portable, folder / platform::PathFromUtf8(settingsName),
                                folder / kBackupFolderName};
    if (!platform::kHasXdgFolders || platform::EntryExists(portable.settingsPath)) {
        return portable;
    }
    const bool installed =
        (!installedBinFolder.empty() && platform::SameEntry(folder, installedBinFolder)) ||
        IsOnSearchPath(folder);
    if (!installed && platform::CanWriteIn(folder)) {
        return portable;
    }
    const fs::path config = XdgFolder("XDG_CONFIG_HOME", ".config");
    const fs::path data = XdgFolder("XDG_DATA_HOME", ".local/share");
    if (config.empty() || data.empty()) {
        return {Layout::Xdg, {}, {}};
    }
    return {Layout::Xdg, config / kProgramFolder / platform::PathFromUtf8(settingsName),
            data / kProgramFolder / kBackupFolderName};
}

std::string_view LayoutName(Layout layout) {
    return layout == Layout::Portable ? messages::kPortableLayout : messages::kInstalledLayout;
}

}  // namespace tsumugiya
