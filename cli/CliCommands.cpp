#include "CliCommands.h"

#include <cerrno>
#include <chrono>
#include <functional>
#include <map>
#include <ostream>

#include "AppLocations.h"
#include "AutoBackupSettings.h"
#include "AutoBackupTaker.h"
#include "AutoBackupWatcher.h"
#include "BackupCatalogue.h"
#include "BackupCommands.h"
#include "BackupNames.h"
#include "CliHost.h"
#include "DesktopNotification.h"
#include "FilePath.h"
#include "HotkeyCommands.h"
#include "Messages.h"
#include "StopRequests.h"

namespace fs = std::filesystem;

namespace tsumugiya::cli {
namespace {

// Japanese like the program's own texts; the one English line is for those
// who cannot read the rest.
constexpr std::string_view kUsage =
    "使い方: tsumugiya-cli コマンド [引数]\n"
    "usage: tsumugiya-cli use|where|backup|quick|list|restore|delete|watch [ARGUMENTS]\n"
    "\n"
    "ゲームのセーブファイルひとつをバックアップし、いつでも戻します。\n"
    "設定ファイルとバックアップは、隣にある tsumugiya ウィンドウと共通です。\n"
    "\n"
    "  use パス                  セーブファイルを選ぶ\n"
    "  where                     設定ファイル、セーブファイル、バックアップの場所\n"
    "  backup [--memo メモ]      更新日時とメモを名前にしてバックアップ\n"
    "  quick                     固定名でバックアップ（毎回上書き）\n"
    "  list                      バックアップを新しい順に並べる\n"
    "  restore [名前] [--yes]    バックアップを戻す（名前なしならこのセーブの最新）\n"
    "  delete 名前... [--yes]    バックアップを削除する\n"
    "  watch [--once]            ゲームがセーブするたびに自動バックアップ（Ctrl+C で終わる）\n"
    "                            --once: 今の状態を一度だけ自動バックアップして終わる\n"
    "\n"
    "  -y, --yes                 確認せずに実行する\n"
    "  --                        これより後の引数はオプションとして読まない\n"
    "  --notify                  結果をデスクトップ通知でも知らせる（ホットキー用）\n"
    "  --sound                   結果を音でも知らせる（ホットキー用）\n"
    "  -h, --help                この説明を表示する\n"
    "  --version                 バージョンを表示する\n"
    "\n"
    "終了ステータス: 0 成功、1 失敗または中止、2 使い方の誤り\n";

// What use says, without a terminal to ask on, when it takes a name that
// is not there yet.
constexpr std::string_view kSaveFileNotThereNote =
    "このファイルはまだありません。ゲームがセーブすると、バックアップできるようになります。";

// Passes everything on to a stream and keeps a copy of it.
struct TeeStream : std::streambuf {
    explicit TeeStream(std::ostream& to) : target(to) {}
    int overflow(int c) override {
        if (c != traits_type::eof()) {
            text += static_cast<char>(c);
            target.put(static_cast<char>(c));
        }
        return target ? c : traits_type::eof();
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        text.append(s, static_cast<std::size_t>(n));
        target.write(s, n);
        return target ? n : 0;
    }
    int sync() override { return target.flush() ? 0 : -1; }

    std::ostream& target;
    std::string text;
    std::ostream stream{this};
};

struct Invocation {
    std::string command;
    std::vector<std::string> operands;
    std::optional<std::string> memo;
    bool yes = false;
    bool help = false;
    bool version = false;
    bool notify = false;
    bool sound = false;
    bool once = false;
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
        } else if (arg == "--version") {
            call.version = true;
        } else if (arg == "--notify") {
            call.notify = true;
        } else if (arg == "--sound") {
            call.sound = true;
        } else if (arg == "--once") {
            call.once = true;
        } else if (arg == "--yes" || arg == "-y") {
            call.yes = true;
        } else if (arg == "--memo") {
            if (i + 1 == args.size()) {
                problem = "--memo の値がありません。";
                return false;
            }
            call.memo = args[++i];
        } else if (arg.starts_with("--memo=")) {
            call.memo = arg.substr(7);
        } else {
            problem = "知らないオプションです: " + arg;
            return false;
        }
    }
    return true;
}

class Session {
  public:
    // Only the commands that write backups make the backup folder: one that
    // reads finds it there or not. A command that lists the backups leaves
    // the sweep of the backup folder to that listing, which is one pass over it.
    Session(const fs::path& cliExecutable, const std::string& command, std::ostream& out,
            std::ostream& err, std::ostream* progress)
        : out_(out), err_(err), host_(out, err), operations_(locations_, host_, gate_) {
        const bool reads = command == "where" || command == "list" || command == "use";
        locations_.InitLocations(
            DialogExecutableFor(cliExecutable),
            reads ? AppLocations::Folders::LeaveAlone : AppLocations::Folders::Make);
        host_.SetProgressStream(progress);
        if (command != "list") {
            locations_.SweepBackupFolder();
        }
    }

    int Use(const std::string& path) {
        const auto absolute = platform::AbsolutePath(path);
        if (!absolute || !locations_.SetSaveFile(*absolute)) {
            err_ << messages::kSavePathRefused << '\n' << path << '\n';
            if (absolute && platform::IsDevicePath(*absolute)) {
                err_ << "デバイスを指すパスです。ファイルのパスを指定してください。\n";
            }
            return kFailed;
        }
        if (!CanBeSaveFile(locations_.SavePath())) {
            return kFailed;
        }
        platform::IoError error;
        if (!locations_.SaveSettings(error)) {
            err_ << messages::WithCause(messages::kSettingsNotSaved, error) << '\n';
            return kFailed;
        }
        out_ << "セーブファイル: " << platform::Utf8Of(locations_.SavePath()) << '\n';
        return kSuccess;
    }

    // What is wrong with the settings or the folder goes to stderr: stdout
    // stays the four lines a script may read.
    int Where() {
        out_ << "配置: " << LayoutName(locations_.FilesLayout()) << '\n'
             << "設定ファイル: " << platform::Utf8Of(locations_.SettingsPath()) << '\n'
             << "セーブファイル: "
             << (locations_.SavePath().empty() ? std::string(messages::kNoSaveFileShown)
                                               : platform::Utf8Of(locations_.SavePath()))
             << '\n'
             << "バックアップフォルダー: " << platform::Utf8Of(locations_.BackupFolder()) << '\n';
        for (const std::string& problem : locations_.SettingsProblems()) {
            err_ << problem << '\n';
        }
        BackupFolderAbsent();
        return kSuccess;
    }

    int Backup(const std::optional<std::string>& memo) {
        return NoSaveFile() || BackupFolderMissing()
                   ? kFailed
                   : Presented(operations_.Backup(memo.value_or("")));
    }

    int Quick() {
        return NoSaveFile() || BackupFolderMissing() ? kFailed
                                                     : Presented(operations_.QuickBackup());
    }

    // A backup folder not made yet holds no backups: an empty list, said on
    // stderr. Something else in its place is a failure.
    int List() {
        if (BackupFolderAbsent()) {
            return platform::EntryExists(locations_.BackupFolder()) ? kFailed : kSuccess;
        }
        const MemoryBackupList& list = Listed();
        for (int i = 0; i < list.Count(); ++i) {
            out_ << list.Text(i) << '\n';
        }
        return kSuccess;
    }

    int Restore(const std::vector<std::string>& names, bool yes) {
        if (NoSaveFile() || BackupFolderMissing()) {
            return kFailed;
        }
        // Without a name, this save's newest checkpoint: the folder may also
        // hold backups of other saves, and states a restore kept on its own.
        // A named backup is looked up alone, never by listing the whole folder.
        std::vector<std::string> chosen = names;
        if (chosen.empty()) {
            if (auto newest = catalogue_.NewestCheckpoint(Listed())) {
                chosen.push_back(std::move(*newest));
            }
        }
        if (chosen.empty()) {
            err_ << messages::NoCheckpointToRestore(locations_.SaveFileName()) << '\n'
                 << platform::Utf8Of(locations_.BackupFolder()) << '\n';
            return kFailed;
        }
        const auto paths = BackupPaths(chosen);
        if (paths.empty()) {
            return kFailed;
        }
        host_.SetAssumeYes(yes);
        const CommandOutcome& outcome =
            outcome_.emplace(operations_.Restore(paths.front(), RestoreQuestion::Ask));
        Present(outcome, host_);
        if (outcome.result == CommandResult::Done) {
            out_ << outcome.backup << '\n';
        }
        // Said even after a later step failed: the backup is there all the same.
        if (outcome.keptBeforeRestore) {
            out_ << messages::KeptBeforeRestoreNote(*outcome.keptBeforeRestore) << '\n';
        }
        return Status(outcome.result);
    }

    int Delete(const std::vector<std::string>& names, bool yes) {
        if (BackupFolderMissing()) {
            return kFailed;
        }
        const auto paths = BackupPaths(names);
        if (paths.empty()) {
            return kFailed;
        }
        host_.SetAssumeYes(yes);
        return Presented(operations_.Delete(paths));
    }

    // The cue of how the command went: its outcome's, when it ran one.
    Cue EndingCue(int status) const {
        if (outcome_) {
            return CueOf(*outcome_);
        }
        return status == kSuccess ? Cue::Done : Cue::Failed;
    }

    // In the foreground until SIGINT or SIGTERM, which end it after the
    // copy in progress; one line for each backup or reason to skip one.
    int Watch(bool once) {
        if (NoSaveFile() || BackupFolderMissing()) {
            return kFailed;
        }
        const AutoBackupSettings settings = ReadAutoBackupSettings(locations_.SettingsText());
        for (const std::string& problem : settings.problems) {
            err_ << problem << '\n';
        }
        if (once) {
            const AutoBackupResult result =
                AutoBackupTaker(locations_, gate_, settings.keep).Take();
            Said(result);
            const bool kept = result.kind == AutoBackupResult::Kind::Made ||
                              result.kind == AutoBackupResult::Kind::SameState;
            return kept && !result.Failed() ? kSuccess : kFailed;
        }
        const StopRequests stop;
        AutoBackupWatcher watcher(locations_, settings, gate_);
        out_ << messages::kAutoWatching << platform::Utf8Of(locations_.SavePath()) << std::endl;
        while (!stop.Requested()) {
            std::optional<std::chrono::milliseconds> wait;
            if (const auto deadline = watcher.Deadline()) {
                wait = std::chrono::ceil<std::chrono::milliseconds>(
                    *deadline - AutoBackupWatcher::Clock::now());
            }
            if (platform::WaitForAny({watcher.Waitable(), stop.Waitable()}, wait) == 0) {
                watcher.OnReady();
            }
            // A stop asked for meanwhile starts no new copy.
            if (stop.Requested()) {
                break;
            }
            if (const auto result = watcher.OnTimer()) {
                Said(*result);
            }
        }
        out_ << messages::kAutoStopped << std::endl;
        return kSuccess;
    }

  private:
    // A line as soon as it happens: a journal or a pipe reads it live.
    void Said(const AutoBackupResult& result) {
        (result.Failed() ? err_ : out_) << result.Line() << std::endl;
    }

    // Takes what the window's file dialog could pick: a file (or a link to
    // one), or a name not there yet in a folder that is, after asking on a
    // terminal. A folder, FIFO or device would only fail every backup later.
    bool CanBeSaveFile(const fs::path& file) {
        std::error_code ec;
        const fs::file_status status = fs::status(file, ec);
        const std::string shown = platform::Utf8Of(file);
        switch (status.type()) {
            case fs::file_type::regular:
                return true;
            case fs::file_type::not_found:
                return CanBeNewSaveFile(file);
            case fs::file_type::directory:
                err_ << "!!! フォルダーはセーブファイルに選べません。\n" << shown << '\n';
                return false;
            case fs::file_type::none:
                err_ << "!!! このファイルを調べられませんでした。\n"
                     << shown << ": " << ec.message() << '\n';
                return false;
            default:
                err_ << "!!! ふつうのファイルではないので、セーブファイルに選べません。\n"
                     << shown << '\n';
                return false;
        }
    }

    // A script gets a note instead of a question it could not answer.
    bool CanBeNewSaveFile(const fs::path& file) {
        const std::string shown = platform::Utf8Of(file);
        if (!platform::IsDirectory(file.parent_path())) {
            err_ << "!!! セーブファイルを置くフォルダーがありません。\n"
                 << platform::Utf8Of(file.parent_path()) << '\n';
            return false;
        }
        if (host_.CanAsk()) {
            return host_.AskOkCancel(shown + "\n" + std::string(messages::kSaveFileNotThere));
        }
        err_ << shown << '\n' << kSaveFileNotThereNote << '\n';
        return true;
    }

    // The backups of these names, each looked up alone: never by listing
    // the whole folder, never taken as a path. None when one is not listed.
    std::vector<fs::path> BackupPaths(const std::vector<std::string>& names) {
        std::vector<fs::path> paths;
        for (const std::string& name : names) {
            if (!catalogue_.Lists(name)) {
                err_ << "その名前のバックアップはありません: " << name << '\n';
                return {};
            }
            paths.push_back(locations_.BackupFolder() / platform::PathFromUtf8(name));
        }
        return paths;
    }

    // The list as the catalogue orders it, read from the folder once.
    const MemoryBackupList& Listed() {
        if (!listed_) {
            catalogue_.Refresh(list_);
            listed_ = true;
        }
        return list_;
    }

    int Presented(CommandOutcome outcome) {
        Present(outcome_.emplace(std::move(outcome)), host_);
        // The state is kept already: a hotkey's player learns that from the
        // cue, a terminal's from this line.
        if (outcome_->alreadyKept) {
            err_ << messages::AlreadyKept(outcome_->backup) << '\n';
        }
        return Status(outcome_->result);
    }

    // Says why, where the core would only know that the save path is empty.
    bool NoSaveFile() {
        if (!locations_.SavePath().empty()) {
            return false;
        }
        err_ << messages::kNoSaveFileChosen << '\n';
        for (const std::string& problem : locations_.SettingsProblems()) {
            err_ << problem << '\n';
        }
        err_ << "tsumugiya-cli use パス で選べます。\n";
        return true;
    }

    // Says why there is no backup folder, rather than let a copy fail on it.
    bool BackupFolderMissing() {
        if (const auto& error = locations_.BackupFolderError()) {
            err_ << messages::WithCause(messages::kBackupFolderMissing, *error) << '\n';
            return true;
        }
        return false;
    }

    // For the commands that make no folder: says that the backup folder is
    // not there yet, or that something else is in its place.
    bool BackupFolderAbsent() {
        if (locations_.BackupFolder().empty() || locations_.BackupFolderExists()) {
            return false;
        }
        const std::string folder = platform::Utf8Of(locations_.BackupFolder());
        if (platform::EntryExists(locations_.BackupFolder())) {
            err_ << "バックアップフォルダーの場所にフォルダーではないものがあります。\n"
                 << folder << '\n';
        } else {
            err_ << "バックアップフォルダーはまだありません（最初のバックアップで作ります）。\n"
                 << folder << '\n';
        }
        return true;
    }

    static int Status(CommandResult result) {
        return result == CommandResult::Done ? kSuccess : kFailed;
    }

    std::ostream& out_;
    std::ostream& err_;
    AppLocations locations_;
    CliHost host_;
    CommandGate gate_;
    BackupOperations operations_;
    BackupCatalogue catalogue_{locations_};
    MemoryBackupList list_;
    bool listed_ = false;
    std::optional<CommandOutcome> outcome_;
};

int RunCommand(const fs::path& cliExecutable, const std::vector<std::string>& args,
               std::ostream& out, std::ostream& err, CuePlayer& cues, std::ostream* progress) {
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
    if (call.version) {
        out << "tsumugiya-cli " TSUMUGIYA_VERSION "\n";
        return kSuccess;
    }
    using Handler = std::function<int(Session&)>;
    const std::size_t n = call.operands.size();
    const std::map<std::string, std::pair<bool, Handler>> table = {
        {"use", {n == 1, [&](Session& s) { return s.Use(call.operands[0]); }}},
        {"where", {n == 0, [](Session& s) { return s.Where(); }}},
        {"backup", {n == 0, [&](Session& s) { return s.Backup(call.memo); }}},
        {"quick", {n == 0, [](Session& s) { return s.Quick(); }}},
        {"list", {n == 0, [](Session& s) { return s.List(); }}},
        {"restore", {n <= 1, [&](Session& s) { return s.Restore(call.operands, call.yes); }}},
        {"delete", {n >= 1, [&](Session& s) { return s.Delete(call.operands, call.yes); }}},
        {"watch", {n == 0, [&](Session& s) { return s.Watch(call.once); }}},
    };
    const auto found = table.find(call.command);
    if (call.command.empty()) {
        problem = "コマンドがありません。";
    } else if (found == table.end()) {
        problem = "知らないコマンドです: " + call.command;
    } else if (!found->second.first) {
        problem = call.command + " の引数の数が違います。";
    } else if (call.memo && call.command != "backup") {
        problem = "--memo は backup にだけ付けられます。";
    } else if (call.yes && call.command != "restore" && call.command != "delete") {
        problem = "--yes は restore と delete にだけ付けられます。";
    } else if (call.once && call.command != "watch") {
        problem = "--once は watch にだけ付けられます。";
    }
    if (!problem.empty()) {
        err << problem << "\n\n" << kUsage;
        return kUsageError;
    }
    if (!cliExecutable.is_absolute()) {
        err << "このプログラムのあるフォルダーがわからないので、設定ファイルもバックアップも"
               "見つけられません。\n";
        return kFailed;
    }
    // What the terminal would show goes to the notification too: the status
    // on success, the messages on failure.
    TeeStream teeOut(out), teeErr(err);
    int status = kFailed;
    Cue cue = Cue::Failed;
    {
        Session session(cliExecutable, call.command, call.notify ? teeOut.stream : out,
                        call.notify ? teeErr.stream : err, progress);
        status = found->second.second(session);
        cue = session.EndingCue(status);
    }
    // The notification first: it shows while the sound plays.
    if (call.notify) {
        const std::string& said = status == kSuccess ? teeOut.text : teeErr.text;
        ShowDesktopNotification(said.ends_with('\n') ? said.substr(0, said.size() - 1) : said, cue,
                                call.sound);
    }
    if (call.sound) {
        cues.Play(cue);
    }
    return status;
}

}  // namespace

fs::path DialogExecutableFor(const fs::path& cliExecutable) {
    CFilePath cli(platform::Utf8Of(cliExecutable));
    std::string name = cli.GetBaseName().value_or("");
    if (name.ends_with("-cli")) {
        name.resize(name.size() - 4);
    }
    if (const auto& extension = cli.GetExtension()) {
        name += "." + *extension;
    }
    return cliExecutable.parent_path() / platform::PathFromUtf8(name);
}

// Output that did not arrive is a failure, as for ls: a script reading a
// list cut short must not take it for the whole.
int Run(const fs::path& cliExecutable, const std::vector<std::string>& args, std::ostream& out,
        std::ostream& err, CuePlayer& cues, std::ostream* progress) {
    const int status = RunCommand(cliExecutable, args, out, err, cues, progress);
    const bool wroteAll = out.good();
    errno = 0;
    out.flush();
    if (out.good()) {
        return status;
    }
    // errno names the cause only when this flush is what failed.
    const int cause = errno;
    err << "標準出力に書き込めませんでした。\n";
    if (wroteAll && cause != 0) {
        err << platform::ErrnoCause(cause) << '\n';
    }
    return status == kSuccess ? kFailed : status;
}

}  // namespace tsumugiya::cli
