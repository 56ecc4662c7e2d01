#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <ranges>
#include <thread>

#include "BackupCommands.h"
#include "Messages.h"
#include "WindowHost.h"
#include "support/TestSupport.h"

namespace tsumugiya::test {

using namespace std::chrono_literals;

// A window stand-in on the windows' own WindowHost: logs what the user would
// see (messages as they are, and "Ask ...", "Status ...", "Refresh",
// "FileError ..."), answers questions from a script and keeps the backup list
// in memory.
struct FakeHost : WindowHost {
    explicit FakeHost(AppLocations& locations) : WindowHost(locations) {}
    Texts TakeLog() { return std::exchange(log, {}); }
    // Lists the backup folder afresh and selects exactly these entries.
    void Select(const Texts& names) {
        WindowHost::ShowCatalogue();
        for (int i = 0; i < list.Count(); ++i) {
            std::ranges::count(names, list.Text(i)) ? list.Select(i) : list.Deselect(i);
        }
    }

    std::string MemoText() const override { return memo; }
    bool IsConfirmOnRestore() const override { return confirm; }
    bool WarnOkCancel(std::string_view text) override {
        return AskOkCancel("(warning) " + std::string(text));
    }
    // Questions too are logged by their first line. The log keeps a
    // message's fixed first line; told keeps it whole.
    bool ShowBox(std::string_view text, bool withCancel) override {
        if (!withCancel) {
            log.emplace_back(text.substr(0, text.find('\n')));
            told.emplace_back(text);
            return true;
        }
        log.push_back("Ask " + std::string(text.substr(0, text.find('\n'))));
        asked.emplace_back(text);
        if (duringBox) {
            duringBox();
        }
        const bool yes = answers.starts_with('y');
        answers.erase(0, 1);
        return yes;
    }
    void SetStatus(std::string_view text) override { log.push_back("Status " + std::string(text)); }
    void ShowCatalogue() override {
        log.emplace_back("Refresh");
        WindowHost::ShowCatalogue();
    }
    void ShowCatalogueSelecting(const std::string& name) override {
        log.push_back("Refresh selecting " + name);
        WindowHost::ShowCatalogueSelecting(name);
    }
    // Logged as "Progress TEXT" ("Progress end" for the end); the figures go to progress.
    void ShowProgress(std::string_view text, std::uint64_t done, std::uint64_t total) override {
        log.push_back("Progress " + (text.empty() ? std::string("end") : std::string(text)));
        if (!text.empty()) {
            progress.emplace_back(done, total);
            if (duringCopy) {
                duringCopy();
            }
        }
    }
    void ReportFileError(const platform::IoError& error) override {
        log.push_back("FileError " + messages::FileErrorReport(error));
    }

    BackupList& List() override { return list; }
    // What a window does at start beyond the commands' host is its own.
    void DressControls() override { log.emplace_back("Dress"); }
    void ShowSavePath() override { log.emplace_back("SavePath"); }
    void TellOnceShown(const std::string& text) override { Tell(text); }
    std::vector<HotkeyAction> GrabHotkeys(const HotkeyBindings& bindings) override {
        grabbed = bindings;
        const auto held = [this](const auto& binding) {
            return std::ranges::count(heldElsewhere, binding.second) > 0;
        };
        auto refused = bindings | std::views::filter(held) | std::views::keys;
        return {refused.begin(), refused.end()};
    }
    struct CueLog : CuePlayer {
        void Play(Cue cue) override { played.push_back(cue); }
        std::vector<Cue> played;
    } cues;
    CuePlayer& Cues() override { return cues; }
    void Notify(const HotkeyReport& report) override { notified.push_back(report); }
    void WatchAutoBackup(std::optional<std::intptr_t> waitable) override { watched = waitable; }
    void ArmAutoBackupTimer(std::optional<std::chrono::steady_clock::time_point> at) override {
        deadline = at;
    }
    void ShowPlainTitle() override { titles.push_back(PlainTitle()); }
    // The window's event loop for the automatic backups, for this long.
    void RunEventLoop(std::chrono::milliseconds span) {
        const auto end = std::chrono::steady_clock::now() + span;
        for (auto now = end - span; now < end; now = std::chrono::steady_clock::now()) {
            const auto until = std::min(deadline.value_or(end), end);
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(until - now);
            if (watched && platform::WaitForAny({*watched}, std::max(wait, 0ms))) {
                OnAutoBackupReady();
            } else if (!watched) {
                std::this_thread::sleep_for(std::max(wait, 0ms));
            }
            if (deadline && std::chrono::steady_clock::now() >= *deadline) {
                OnAutoBackupTimer();
            }
        }
    }
    using WindowHost::ChangeHotkeys;
    using WindowHost::Hotkeys;
    using WindowHost::IsAutoBackupOn;
    using WindowHost::OnHotkey;
    using WindowHost::OnRestore;
    using WindowHost::SetAutoBackup;
    using WindowHost::StartUp;

    MemoryBackupList list;
    std::string memo;
    bool confirm = false;  // the confirm box; ticked, restores ask first
    std::string answers;   // 'y' or 'n' for each question to come; no once it runs out
    Texts log;
    Texts told;
    Texts asked;  // whole
    std::vector<std::pair<std::uint64_t, std::uint64_t>> progress;
    // Runs while a long copy shows its progress, as a trigger let through then would.
    std::function<void()> duringCopy;
    // Runs while a question's box is open.
    std::function<void()> duringBox;
    HotkeyBindings grabbed;               // the keys last taken
    std::vector<KeyChord> heldElsewhere;  // keys the system will not give
    std::vector<HotkeyReport> notified;
    std::optional<std::intptr_t> watched;  // what the event loop waits for
    std::optional<std::chrono::steady_clock::time_point> deadline;
    Texts titles;  // each plain title shown
};

// A program folder app/ (backups in app/backup) and the chosen save file
// game/slot1.dat holding "state A" from kTimeA; times shown in UTC.
class CommandTest : public ::testing::Test {
  protected:
    static constexpr std::int64_t kTimeA = 1678042868;  // 2023-03-05 19:01:08 UTC
    static constexpr std::int64_t kTimeB = kTimeA + 3600;
    const FileState kStateA{"state A", kTimeA}, kStateB{"state B", kTimeB};

    void SetUp() override {
        SetEnvironment("TZ", "UTC0");
        fs::create_directories(dir / "app");
        fs::create_directories(dir / "game");
        WriteFile(save, "state A", kTimeA);
        locations.InitLocations(dir / "app/tsumugiya");
        unchosen.InitLocations(dir / "app/tsumugiya");
        ASSERT_TRUE(locations.SetSaveFile(Utf8(save)));
    }

    // Selects these entries afresh and restores, as the restore button does;
    // the whole outcome is kept in restored.
    CommandResult Restore(const Texts& names) {
        host.Select(names);
        restored = commands.OnRestore();
        return restored.result;
    }

    TempFolder dir;
    fs::path backup = dir / "app" / "backup", save = dir / "game" / "slot1.dat",
             safety = U8(Utf8(save) + ".s");
    AppLocations locations, unchosen;  // the same program, one without a save file
    FakeHost host{locations};
    BackupCommands commands{locations, host};
    CommandOutcome restored;  // of the last Restore
};

}  // namespace tsumugiya::test
