#include "CliCommands.h"

#include <functional>
#include <map>
#include <ostream>

#include "AppLocations.h"
#include "BackupCatalogue.h"
#include "BackupCommands.h"
#include "BackupNames.h"
#include "CliHost.h"
#include "FilePath.h"

namespace fs = std::filesystem;

namespace tsumugiya::cli {
namespace {

constexpr std::string_view kUsage =
    "usage: tsumugiya-cli COMMAND [ARGUMENTS]\n"
    "\n"
    "Keeps backups of one game save file, sharing settings and backups with the\n"
    "tsumugiya window beside it.\n"
    "\n"
    "  use PATH                 choose the save file\n"
    "  where                    show the settings file, save file and backup folder\n"
    "  backup [--memo TEXT]     back the save file up under its time and a memo\n"
    "  quick                    back the save file up under the fixed name (overwrites)\n"
    "  list                     list the backups, newest first\n"
    "  restore [NAME] [--yes]   put a backup (default: the newest) back over the save file\n"
    "  delete NAME... [--yes]   delete backups\n"
    "\n"
    "Exit status: 0 done, 1 failed or refused, 2 usage error.\n";

struct Invocation {
    std::string command;
    std::vector<std::string> operands;
    std::optional<std::string> memo;
    bool yes = false;
    bool help = false;
};

// Options may stand anywhere; "--" ends them so that names may start with "-".
bool Parse(const std::vector<std::string>& args, Invocation& call, std::string& problem) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            (call.command.empty() ? call.command : call.operands.emplace_back()) = arg;
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            call.help = true;
        } else if (arg == "--yes" || arg == "-y") {
            call.yes = true;
        } else if (arg == "--memo" && i + 1 < args.size()) {
            call.memo = args[++i];
        } else if (arg.starts_with("--memo=")) {
            call.memo = arg.substr(7);
        } else {
            problem = "unknown option " + arg;
            return false;
        }
    }
    return true;
}

class Session {
  public:
    Session(const fs::path& cliExecutable, std::ostream& out, std::ostream& err)
        : out_(out), err_(err), host_(locations_, out, err), commands_(locations_, host_) {
        locations_.InitLocations(DialogExecutableFor(cliExecutable));
    }

    int Use(const std::string& path) {
        std::error_code ec;
        const fs::path absolute = fs::absolute(path, ec);
        if (ec || !locations_.SetSaveFile(absolute.string())) {
            err_ << "Not a path to a save file: " << path << '\n';
            return kFailed;
        }
        platform::IoError error;
        if (!locations_.SaveSettings(error)) {
            err_ << "Could not write " << error.file.string() << ": " << error.cause << '\n';
            return kFailed;
        }
        out_ << "save: " << locations_.SavePath().string() << '\n';
        return kSuccess;
    }

    int Where() {
        out_ << "settings: " << locations_.SettingsPath().string() << '\n'
             << "save: " << locations_.SavePath().string() << '\n'
             << "backups: " << locations_.BackupFolder().string() << '\n';
        return kSuccess;
    }

    int Backup(const std::optional<std::string>& memo) {
        host_.SetMemo(memo.value_or(""));
        return BackupFolderMissing() ? kFailed : Status(commands_.OnBackup());
    }

    int Quick() { return BackupFolderMissing() ? kFailed : Status(commands_.OnFixedNameBackup()); }

    int List() {
        const MemoryBackupList& list = host_.List();
        for (int i = 0; i < list.Count(); ++i) {
            out_ << list.Text(i) << '\n';
        }
        return kSuccess;
    }

    int Restore(const std::vector<std::string>& names, bool yes) {
        // Without a name, the newest backup of this save file: the folder may
        // also hold backups of other saves.
        std::vector<std::string> chosen = names;
        const std::string own = locations_.SaveFileName() + ".save.";
        const MemoryBackupList& list = host_.List();
        for (int i = 0; i < list.Count() && chosen.empty(); ++i) {
            if (list.Text(i).starts_with(own)) {
                chosen.push_back(list.Text(i));
            }
        }
        if (chosen.empty()) {
            err_ << "There are no backups of " << locations_.SaveFileName() << " in "
                 << locations_.BackupFolder().string() << '\n';
            return kFailed;
        }
        if (!Select(chosen)) {
            return kFailed;
        }
        host_.SetAssumeYes(yes);
        return Status(commands_.OnRestore());
    }

    int Delete(const std::vector<std::string>& names, bool yes) {
        if (!Select(names)) {
            return kFailed;
        }
        host_.SetAssumeYes(yes);
        const CommandResult result = commands_.OnDelete();
        for (const platform::IoError& failure : commands_.DeleteFailures()) {
            err_ << "Could not delete " << failure.file.string() << ": " << failure.cause << '\n';
        }
        return Status(result);
    }

  private:
    bool Select(const std::vector<std::string>& names) {
        std::string missing;
        if (!host_.SelectNames(names, missing)) {
            err_ << "No backup named " << missing << '\n';
            return false;
        }
        return true;
    }

    // Says why there is no backup folder, rather than let a copy fail on it.
    bool BackupFolderMissing() {
        if (const auto& error = locations_.BackupFolderError()) {
            err_ << "Could not create " << error->file.string() << ": " << error->cause << '\n';
            return true;
        }
        return false;
    }

    static int Status(CommandResult result) {
        return result == CommandResult::Done ? kSuccess : kFailed;
    }

    std::ostream& out_;
    std::ostream& err_;
    AppLocations locations_;
    CliHost host_;
    BackupCommands commands_;
};

}  // namespace

fs::path DialogExecutableFor(const fs::path& cliExecutable) {
    CFilePath cli(cliExecutable.string());
    std::string name = cli.GetBaseName().value_or("");
    if (name.ends_with("-cli")) {
        name.resize(name.size() - 4);
    }
    if (const auto& extension = cli.GetExtension()) {
        name += "." + *extension;
    }
    return cliExecutable.parent_path() / name;
}

int Run(const fs::path& cliExecutable, const std::vector<std::string>& args, std::ostream& out,
        std::ostream& err) {
    Invocation call;
    std::string problem;
    if (!Parse(args, call, problem)) {
        err << problem << "\n\n" << kUsage;
        return kUsageError;
    }
    if (call.help) {
        out << kUsage;
        return kSuccess;
    }
    using Handler = std::function<int(Session&)>;
    const std::size_t n = call.operands.size();
    const bool memoAllowed = call.command == "backup";
    const bool yesAllowed = call.command == "restore" || call.command == "delete";
    const std::map<std::string, std::pair<bool, Handler>> table = {
        {"use", {n == 1, [&](Session& s) { return s.Use(call.operands[0]); }}},
        {"where", {n == 0, [](Session& s) { return s.Where(); }}},
        {"backup", {n == 0, [&](Session& s) { return s.Backup(call.memo); }}},
        {"quick", {n == 0, [](Session& s) { return s.Quick(); }}},
        {"list", {n == 0, [](Session& s) { return s.List(); }}},
        {"restore", {n <= 1, [&](Session& s) { return s.Restore(call.operands, call.yes); }}},
        {"delete", {n >= 1, [&](Session& s) { return s.Delete(call.operands, call.yes); }}},
    };
    const auto found = table.find(call.command);
    if (found == table.end() || !found->second.first || (call.memo && !memoAllowed) ||
        (call.yes && !yesAllowed)) {
        const std::string problem = call.command.empty()   ? "no command"
                                    : found == table.end() ? "unknown command " + call.command
                                                           : "wrong use of " + call.command;
        err << problem << "\n\n" << kUsage;
        return kUsageError;
    }
    if (!cliExecutable.is_absolute()) {
        err << "Cannot find this program's own folder, where its settings and backups live.\n";
        return kFailed;
    }
    Session session(cliExecutable, out, err);
    return found->second.second(session);
}

}  // namespace tsumugiya::cli
