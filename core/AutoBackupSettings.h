#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tsumugiya {

// The [AutoBackup] section of the settings file.
struct AutoBackupSettings {
    bool enabled = false;
    // How long the save must see no write before it is copied.
    std::chrono::milliseconds settle{2000};
    // How many automatic backups of a save the pool keeps.
    int keep = 30;
    // The values that could not be read, each named as the user should read
    // it; the defaults stand in for them and the file keeps them.
    std::vector<std::string> problems;
};

inline constexpr std::string_view kAutoBackupSection = "AutoBackup";

// The section from the settings file's text; defaults for what is missing.
AutoBackupSettings ReadAutoBackupSettings(std::string_view settingsText);

}  // namespace tsumugiya
