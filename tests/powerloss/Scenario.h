#pragma once

// What both power-cut layers share: the files a command starts from, the
// program run with the preloaded library, and the checker of what a crash
// left.

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace tsumugiya::powerloss {

namespace fs = std::filesystem;

// Every entry below a root by relative path: "f" and the bytes of a file,
// "d" for a folder, "l" and the target of a symbolic link. The program
// itself and lost+found are left out.
using Tree = std::map<std::string, std::string>;
Tree Snapshot(const fs::path& root);
// Makes root hold exactly tree (beside the program, which stays).
void Materialize(const fs::path& root, const Tree& tree);

// Where a command starts from.
struct Fixture {
    std::string name;
    bool backupFolder = true;      // else the first run makes it
    bool safetyCopy = true;        // the save's ".s"
    bool safetyHeld = false;       // a backup holds the same state as ".s"
    bool safetyLookalike = false;  // a backup has the size and time of ".s", not its bytes
    bool linkedSave = false;       // the save is a symbolic link to real/game.sav
    bool unflushedSave = false;    // the game's last write is not on disk (the real kernel only)
};

enum class Command { Use, Backup, Quick, Restore, Watch };

struct Scenario {
    Command command;
    Fixture fixture;
    std::string Name() const;
    std::vector<std::string> Args(bool rerun) const;
    // The files before the run: everything, all of it on disk.
    Tree Start(const fs::path& root) const;
    // The save's state that the game has not flushed yet; empty when none.
    std::string Unflushed() const;
    // What only the program itself can make, made by running it on root:
    // for watch, a full pool of automatic backups and its ledger, whose
    // entries name the files' own ids and times.
    void Populate(const fs::path& root) const;
};

// Every command on each fixture that bears on it.
std::vector<Scenario> Scenarios();

using CliRun = test::Outcome;
struct Injection {
    std::string trace{};  // file to record to
    long stop = 0;
    long fail = 0;
    int error = 0;
    std::string mount{};             // file system to shut down at stop
    std::vector<std::string> env{};  // more NAME=VALUE for the program
};
// Runs the program copied into root/bin, below which calls are numbered.
CliRun RunCli(const fs::path& root, const std::vector<std::string>& args,
              const Injection& injection = {});
// Puts the program in folder/root/bin, beside its settings and backups,
// where it keeps them; gives that root.
fs::path InstallCli(const fs::path& folder);

// What a crash may leave: every state of a file is one the run started or
// ended with; nothing the user had is lost.
struct Expectation {
    const Scenario& scenario;
    Tree before, after;  // the start, and the end of a run without a crash
};
// Problems found in what a crash left, a line each; exited says the run had
// told of success.
std::string CheckCrashed(const Expectation& expected, const Tree& left, bool exited);
// Problems found after the same command ran once more on what a crash left.
std::string CheckRerun(const Expectation& expected, const Tree& crashed, const Tree& left,
                       const CliRun& rerun);

}  // namespace tsumugiya::powerloss
