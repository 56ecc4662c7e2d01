#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

#include "HotkeyCommands.h"

namespace tsumugiya::cli {

enum ExitStatus { kSuccess = 0, kFailed = 1, kUsageError = 2 };

// The dialog executable this command line shares its settings and backups
// with: the same folder, the base name without a trailing "-cli".
std::filesystem::path DialogExecutableFor(const std::filesystem::path& cliExecutable);

// Runs one command line (arguments without the program name). A long copy's
// progress goes to progress (a terminal) as one line rewritten in place;
// --sound plays the cue of how it went on cues.
int Run(const std::filesystem::path& cliExecutable, const std::vector<std::string>& args,
        std::ostream& out, std::ostream& err, CuePlayer& cues, std::ostream* progress = nullptr);

}  // namespace tsumugiya::cli
