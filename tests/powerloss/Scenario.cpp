#include "powerloss/Scenario.h"

#include <algorithm>
#include <iterator>
#include <random>
#include <set>
#include <sstream>

#include "support/TestSupport.h"

namespace tsumugiya::powerloss {
namespace {

using test::ReadFile;
using test::U8;
using test::Utf8;

constexpr std::size_t kSaveSize = 10000;  // two whole 4 KiB blocks and part of a third
const std::string kCli = "bin/tsumugiya-cli";
const std::string kBackups = "bin/backup/";
const std::string kSettings = "bin/tsumugiya.ini";
const std::string kQuick = kBackups + "game.sav.save.temp";
// The automatic backups' ledger: the program's own record, not a state.
const std::string kLedger = kBackups + ".tsumugiya-automatic-backups";
const std::string kSource = kBackups + "game.sav.save.2024年01月01日00時00分00秒_b1";
constexpr std::int64_t kStartTime = 1704067200;  // 2024-01-01 00:00:00 UTC

// Distinct contents, each with its own modification time, which a copy keeps:
// a file rebuilt from its bytes gets its time back, and with it the names
// the program derives from it. A look-alike shares the old .s's time.
enum State { kSource1, kQuickState, kSafetyState, kSaveState, kUnflushedState, kAlike, kStates };

const std::vector<std::string>& States() {
    static const std::vector<std::string> states = [] {
        std::vector<std::string> made;
        for (int i = 0; i < kStates; ++i) {
            std::mt19937 random(static_cast<unsigned>(i) + 1);
            std::string bytes(kSaveSize, '\0');
            std::ranges::generate(bytes, [&] { return static_cast<char>(random()); });
            made.push_back("f" + bytes);
        }
        return made;
    }();
    return states;
}

const std::string& Bytes(int state) {
    return States().at(static_cast<std::size_t>(state));
}

int StateOf(const std::string& value) {  // kStates for none
    return static_cast<int>(std::ranges::find(States(), value) - States().begin());
}

std::int64_t TimeOf(const std::string& value) {
    const int state = StateOf(value);
    return kStartTime + 3600 * (state == kAlike ? kSafetyState : state % kStates);
}

std::string TimeName(int state) {
    return "2024年01月01日0" + std::to_string(state) + "時00分00秒";
}

std::string SavePath(const Fixture& fixture) {
    return fixture.linkedSave ? "real/game.sav" : "saves/game.sav";
}

std::string Settings(const fs::path& root, const std::string& fileName) {
    return "f; kept by the checker\n[SaveFile]\nfolder=" + Utf8(root / "saves") +
           "\nfilename=" + fileName + "\n[AutoBackup]\nkeep=2\n[Other]\nkey=kept\n";
}

bool IsTempName(const std::string& path) {
    const std::string name = fs::path(path).filename().string();
    return name.starts_with(".tsumugiya-") && name.ends_with(".tmp");
}

std::string Describe(const Tree& tree, const std::string& path) {
    static const char* const names[] = {
        "the source backup",  "the old quick backup",       "the old .s", "the save",
        "the unflushed save", "a look-alike of the old .s", "other bytes"};
    const auto it = tree.find(path);
    if (it == tree.end() || it->second[0] != 'f') {
        return it == tree.end() ? "absent" : it->second.substr(0, 1);
    }
    return std::to_string(it->second.size() - 1) + " bytes, " + names[StateOf(it->second)];
}

// Its entries name the files' ids and times, which differ from one run to
// the next: any whole ledger will do, never one cut short.
bool WholeLedger(const std::string& value) {
    constexpr std::string_view kHeader = "ftsumugiya automatic backups 1\n";
    if (!value.starts_with(kHeader) || !value.ends_with('\n')) {
        return false;
    }
    std::istringstream lines(value.substr(kHeader.size()));
    for (std::string line; std::getline(lines, line);) {
        if (std::ranges::count(line, '\t') != 6) {
            return false;
        }
    }
    return true;
}

bool IsAutomatic(const std::string& path) {
    return path.starts_with(kBackups) && path.ends_with("_自動");
}

// A prune may take an automatic backup away only once the one that replaces
// it in the pool is whole on disk.
bool PrunedInTurn(const Expectation& expected, const Tree& left, const std::string& path) {
    if (expected.scenario.command != Command::Watch || !IsAutomatic(path) ||
        expected.after.contains(path)) {
        return false;
    }
    return std::ranges::any_of(expected.after, [&](const auto& entry) {
        return IsAutomatic(entry.first) && !expected.before.contains(entry.first) &&
               left.contains(entry.first) && left.at(entry.first) == entry.second;
    });
}

bool Exempt(const Scenario& scenario, const std::string& path) {
    return (scenario.command == Command::Use && path == kSettings) ||
           (scenario.command == Command::Quick && path == kQuick) ||
           (scenario.command == Command::Watch && path == kLedger);
}

// The checks a crash and a rerun share: each file old or new (or, under a
// name neither had, one whole known state), nothing that was there gone, and
// every state the user had still somewhere.
void CheckStates(const Expectation& expected, const Tree& crashed, const Tree& left,
                 std::string& problems) {
    // A save the game wrote without a flush may be anything after a cut, the
    // game's own doing; the program's copies still hold whole states of it.
    const std::string savePath = SavePath(expected.scenario.fixture);
    const bool gameOwnsSave = expected.scenario.fixture.unflushedSave;
    std::set<std::string> known, anywhere;
    for (const Tree* tree : {&expected.before, &expected.after}) {
        for (const auto& [path, value] : *tree) {
            known.insert(value);
        }
    }
    if (gameOwnsSave) {
        anywhere = {Bytes(kSaveState), crashed.contains(savePath) ? crashed.at(savePath) : ""};
        known.insert(anywhere.begin(), anywhere.end());
    }
    std::multiset<std::string> held;
    for (const auto& [path, value] : left) {
        if (IsTempName(path)) {
            continue;
        }
        if (path == kLedger) {
            if (!WholeLedger(value)) {
                problems += "\n  " + path + " is not a whole ledger";
            }
            continue;
        }
        held.insert(value);
        const auto before = expected.before.find(path);
        const auto after = expected.after.find(path);
        const bool wasOld = before != expected.before.end() && before->second == value;
        const bool isNew = after != expected.after.end() && after->second == value;
        const bool named = before != expected.before.end() || after != expected.after.end();
        if (!(gameOwnsSave && path == savePath) && !anywhere.contains(value) &&
            (named ? !wasOld && !isNew : !known.contains(value))) {
            problems += "\n  " + path + " holds no whole state: " + Describe(left, path);
        }
    }
    if (left.contains(kSettings) && !left.at(kSettings).ends_with("[Other]\nkey=kept\n")) {
        problems += "\n  " + kSettings + " lost the other settings";
    }
    for (const auto& [path, value] : expected.before) {
        if (IsTempName(path)) {
            continue;
        }
        if (!left.contains(path)) {
            if (!PrunedInTurn(expected, left, path)) {
                problems += "\n  " + path + " is gone";
            }
        } else if (value[0] == 'f' && !Exempt(expected.scenario, path) && !held.contains(value) &&
                   !(gameOwnsSave && path == savePath)) {
            problems += "\n  the state " + path + " held is lost";
        }
    }
}

// The work is judged by the save as the crash left it: a state the game
// never flushed may be gone. use and restore end with a known file; the
// others with a copy of the save.
bool DidItsWork(const Expectation& expected, const Tree& left) {
    const Command command = expected.scenario.command;
    const std::string savePath = SavePath(expected.scenario.fixture);
    if (command == Command::Use || command == Command::Restore) {
        const std::string& path = command == Command::Use ? kSettings : savePath;
        return left.contains(path) && left.at(path) == expected.after.at(path);
    }
    const std::string save = left.contains(savePath) ? left.at(savePath) : "";
    return std::ranges::any_of(left, [&](const auto& entry) {
        const std::string& path = entry.first;
        const bool copy = command == Command::Quick ? path == kQuick
                          : command == Command::Watch
                              ? IsAutomatic(path)
                              : path.starts_with(kBackups) && !expected.before.contains(path);
        return copy && entry.second == save;
    });
}

}  // namespace

Tree Snapshot(const fs::path& root) {
    Tree tree;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
         ++it) {
        const std::string path = Utf8(it->path().lexically_relative(root));
        if (path == kCli || path == "lost+found") {
            it.disable_recursion_pending();
            continue;
        }
        if (it->is_symlink()) {
            tree[path] = "l" + Utf8(fs::read_symlink(it->path()));
        } else if (it->is_directory()) {
            tree[path] = "d";
        } else {
            tree[path] = "f" + ReadFile(it->path()).value_or("<unreadable>");
        }
    }
    return tree;
}

void Materialize(const fs::path& root, const Tree& tree) {
    for (const fs::path& folder : {root, root / "bin"}) {
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (!std::set{root / "bin", root / "lost+found", root / kCli}.contains(entry)) {
                fs::remove_all(entry.path());
            }
        }
    }
    for (const auto& [path, value] : tree) {  // a folder sorts before what it holds
        const fs::path full = root / U8(path);
        if (value == "d") {
            fs::create_directories(full);
        } else if (value[0] == 'l') {
            fs::create_symlink(U8(value.substr(1)), full);
        } else {
            test::WriteFile(full, std::string_view(value).substr(1), TimeOf(value));
        }
    }
}

std::string Scenario::Name() const {
    static const char* const names[] = {"use", "backup", "quick", "restore", "watch"};
    return names[static_cast<int>(command)] + ("." + fixture.name);
}

std::vector<std::string> Scenario::Args(bool rerun) const {
    switch (command) {
        case Command::Use:
            return {"use", "SAVES/game.sav"};  // RunCli puts the root in
        case Command::Backup:
            return {"backup", "--memo", rerun ? "b" : "a"};
        case Command::Quick:
            return {"quick"};
        case Command::Restore:
            return {"restore", fs::path(kSource).filename().string(), "--yes"};
        case Command::Watch:
            return {"watch", "--once"};
    }
    return {};
}

Tree Scenario::Start(const fs::path& root) const {
    Tree tree{{"bin", "d"}, {"saves", "d"}};
    tree[kSettings] = Settings(root, command == Command::Use ? "old.sav" : "game.sav");
    if (fixture.backupFolder) {
        tree["bin/backup"] = "d";
        tree[kSource] = Bytes(kSource1);
        tree[kQuick] = Bytes(kQuickState);
        if (fixture.safetyHeld) {
            tree[kBackups + "game.sav.save." + TimeName(kSafetyState) + "_held"] =
                Bytes(kSafetyState);
        }
        if (fixture.safetyLookalike) {
            tree[kBackups + "game.sav.save." + TimeName(kSafetyState) + "_like"] = Bytes(kAlike);
        }
    }
    if (fixture.linkedSave) {
        tree["real"] = "d";
        tree["saves/game.sav"] = "l../real/game.sav";
    }
    tree[SavePath(fixture)] = Bytes(kSaveState);
    if (fixture.safetyCopy) {
        tree["saves/game.sav.s"] = Bytes(kSafetyState);
    }
    return tree;
}

std::string Scenario::Unflushed() const {
    return fixture.unflushedSave ? Bytes(kUnflushedState).substr(1) : std::string();
}

void Scenario::Populate(const fs::path& root) const {
    if (command != Command::Watch) {
        return;
    }
    const fs::path save = root / U8(SavePath(fixture));
    for (const int state : {kQuickState, kSafetyState, kSaveState}) {
        test::WriteFile(save, std::string_view(Bytes(state)).substr(1), TimeOf(Bytes(state)));
        if (state != kSaveState) {
            RunCli(root, Args(false));
        }
    }
}

std::vector<Scenario> Scenarios() {
    const Fixture plain{"plain"};
    const Fixture noSafety{.name = "no_s", .safetyCopy = false};
    const Fixture held{.name = "s_held", .safetyHeld = true};
    const Fixture lookalike{.name = "s_lookalike", .safetyLookalike = true};
    const Fixture noFolder{.name = "no_backup_folder", .backupFolder = false, .safetyCopy = false};
    const Fixture linked{.name = "linked_save", .linkedSave = true};
    const Fixture unflushed{.name = "unflushed_save", .unflushedSave = true};
    std::vector<Scenario> scenarios{{Command::Use, plain}, {Command::Use, noFolder}};
    for (const Command command : {Command::Backup, Command::Quick}) {
        for (const Fixture& fixture : {plain, noFolder, linked, unflushed}) {
            scenarios.push_back({command, fixture});
        }
    }
    // A restore needs a backup to restore, so never lacks the folder.
    for (const Fixture& fixture : {plain, noSafety, held, lookalike, linked, unflushed}) {
        scenarios.push_back({Command::Restore, fixture});
    }
    // A new automatic backup into a full pool, which then prunes its oldest.
    scenarios.push_back({Command::Watch, plain});
    return scenarios;
}

fs::path InstallCli(const fs::path& folder) {
    fs::create_directories(folder / "root" / "bin");
    fs::copy_file(TSUMUGIYA_CLI, folder / "root" / kCli);
    return folder / "root";
}

CliRun RunCli(const fs::path& root, const std::vector<std::string>& args,
              const Injection& injection) {
    std::vector<std::string> words;
    for (const std::string& arg : args) {
        words.push_back(arg.starts_with("SAVES/") ? Utf8(root / "saves") + arg.substr(5) : arg);
    }
    std::vector<std::string> env{"LD_PRELOAD=" TSUMUGIYA_PL_PRELOAD,
                                 "TSUMUGIYA_PL_ROOT=" + Utf8(root)};
    const auto add = [&](const char* name, const std::string& value) {
        if (!value.empty() && value != "0") {
            env.push_back(std::string(name) + "=" + value);
        }
    };
    add("TSUMUGIYA_PL_TRACE", injection.trace);
    add("TSUMUGIYA_PL_STOP", std::to_string(injection.stop));
    add("TSUMUGIYA_PL_FAIL", std::to_string(injection.fail));
    add("TSUMUGIYA_PL_ERRNO", std::to_string(injection.error));
    add("TSUMUGIYA_PL_MOUNT", injection.mount);
    env.insert(env.end(), injection.env.begin(), injection.env.end());
    return test::RunProgram(root / kCli, words, root, std::nullopt, std::nullopt, env);
}

std::string CheckCrashed(const Expectation& expected, const Tree& left, bool exited) {
    std::string problems;
    CheckStates(expected, left, left, problems);
    if (exited) {
        Tree differ;  // by path, once each
        std::ranges::set_symmetric_difference(left, expected.after,
                                              std::inserter(differ, differ.end()));
        for (const auto& [path, value] : differ) {
            // An empty folder made on the way holds nothing the run told of.
            if (!left.contains(path) && expected.after.at(path) == "d" &&
                std::ranges::none_of(expected.after, [&](const auto& entry) {
                    return entry.first.starts_with(path + "/");
                })) {
                continue;
            }
            if (path == kLedger && left.contains(path)) {
                continue;  // checked whole above
            }
            // What the game itself never flushed is not the program's to keep.
            if (expected.scenario.fixture.unflushedSave &&
                path == SavePath(expected.scenario.fixture)) {
                continue;
            }
            problems += "\n  told done, yet " + path + " is " + Describe(left, path) + ", not " +
                        Describe(expected.after, path);
        }
    }
    return problems;
}

std::string CheckRerun(const Expectation& expected, const Tree& crashed, const Tree& left,
                       const CliRun& rerun) {
    std::string problems;
    if (rerun.status != 0) {
        problems += "\n  the rerun exited " + std::to_string(rerun.status) + ": " + rerun.err;
    }
    for (const auto& [path, value] : left) {
        if (IsTempName(path)) {
            problems += "\n  the rerun left " + path;
        }
    }
    CheckStates(expected, crashed, left, problems);
    if (!DidItsWork(expected, left)) {
        problems += "\n  the rerun did not do its work";
    }
    return problems;
}

}  // namespace tsumugiya::powerloss
