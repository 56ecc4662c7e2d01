#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AppLocations.h"
#include "AutoBackupSettings.h"
#include "AutoBackupWatcher.h"
#include "BackupCatalogue.h"
#include "BackupCommands.h"
#include "BackupList.h"
#include "CommandHost.h"
#include "HotkeyCommands.h"
#include "Hotkeys.h"

namespace tsumugiya {

// What a window does for the commands whatever its toolkit: the backup list
// through the catalogue, every question in a box, every report in a box
// (Tell), and the steps of its start and close. The window brings the list
// control, the boxes, its controls' look and the title.
class WindowHost : public CommandHost {
  public:
    explicit WindowHost(AppLocations& locations)
        : locations_(locations), catalogue_(locations), commands_(locations, *this, gate_) {}

    int SelectionCount() const override;
    std::vector<std::filesystem::path> SelectedPaths(int max) const override;
    bool AskOkCancel(std::string_view text) override { return ShowBox(text, true); }
    // A window has no --yes: the warning is one more box.
    bool WarnOkCancel(std::string_view text) override { return ShowBox(text, true); }
    void Tell(std::string_view text) override { ShowBox(text, false); }
    void ShowCatalogue() override;
    void ShowCatalogueSelecting(const std::string& name) override;
    void ReportFileError(const platform::IoError& error) override;

  protected:
    // The buttons both windows have. A failed deletion loses nothing, but the
    // user should not think it happened: what stayed is told with the outcome.
    void OnBackup() { commands_.OnBackup(); }
    void OnFixedNameBackup() { commands_.OnFixedNameBackup(); }
    void OnRestore() { commands_.OnRestore(); }
    void OnDelete() { commands_.OnDelete(); }
    void OnRefresh() { ShowCatalogue(); }
    // A global hotkey: runs its command without a box, even while a box of
    // this window is open, and says the result in the title, by a cue when
    // the sound is on, and by a desktop notification.
    HotkeyReport OnHotkey(HotkeyAction action);
    const HotkeySettings& Hotkeys() const { return hotkeys_; }
    // Keeps the hotkeys the dialog shows, then takes them from the system
    // (what it would not give is told); the user's words when they could not be kept.
    std::optional<std::string> ChangeHotkeys(const HotkeySettings& hotkeys);

    // The menu's automatic backups: on, the save's folder is watched and
    // each state the game writes is kept once it has settled. Written to the
    // settings file at once; the user's words when it could not be.
    std::optional<std::string> SetAutoBackup(bool on);
    bool IsAutoBackupOn() const { return watcher_ != nullptr; }
    // The window's title between passing notes: the mode shows in it.
    std::string PlainTitle() const;
    // The window's event loop calls these: the waitable given to
    // WatchAutoBackup is ready, the time given to ArmAutoBackupTimer came.
    void OnAutoBackupReady();
    void OnAutoBackupTimer();
    // A save file was picked: the watch follows it to its folder.
    void OnSaveFileChosen();

    // Finds, reads and shows the settings and the backups of the program at
    // this executable path, with the window's look set in between (the
    // settings file's place is known by then, its content not yet).
    void StartUp(const std::filesystem::path& executable);
    // Keeps the settings as the window closes; what went wrong, in the
    // user's words, when they could not be kept.
    std::optional<std::string> SaveSettingsAtClose() const;
    // How many units of memo (those of platform::NameLength) a backup name
    // can still take.
    std::size_t MemoRoom() const;

    // What the window brings. The list control is asked for, not held: it is
    // built after this base.
    virtual BackupList& List() = 0;
    // A modal box with OK, and Cancel when asked; true when OK was chosen.
    virtual bool ShowBox(std::string_view text, bool withCancel) = 0;
    // Fonts, captions, check boxes and colours.
    virtual void DressControls() = 0;
    virtual void ShowSavePath() = 0;
    // Said once the window is up, so that the box has it behind.
    virtual void TellOnceShown(const std::string& text) = 0;
    // Takes these keys from the system, letting go of any taken before;
    // returns the actions whose key it would not give.
    virtual std::vector<HotkeyAction> GrabHotkeys(const HotkeyBindings& bindings) = 0;
    // Why the system gives this window no global keys at all, said instead
    // of the refused keys; absent where it gives them.
    virtual std::optional<std::string_view> NoGlobalKeys() const { return std::nullopt; }
    virtual CuePlayer& Cues() = 0;
    // A desktop notification, where a service shows them; the cue is played
    // apart, so the notification keeps quiet.
    virtual void Notify(const HotkeyReport& report) = 0;
    // Waits for this waitable (an inotify descriptor; an event HANDLE) in the
    // window's event loop and calls OnAutoBackupReady when it is ready;
    // absent stops waiting. Nothing may poll: idle is no work at all.
    virtual void WatchAutoBackup(std::optional<std::intptr_t> waitable) = 0;
    // Calls OnAutoBackupTimer once at this time, replacing the time armed
    // before; absent disarms it.
    virtual void ArmAutoBackupTimer(
        std::optional<std::chrono::steady_clock::time_point> deadline) = 0;
    // The title between passing notes changed (PlainTitle()).
    virtual void ShowPlainTitle() = 0;

  private:
    // The list for reading only; no window's List() changes it.
    const BackupList& ListShown() const { return const_cast<WindowHost*>(this)->List(); }
    // What the settings file and the backup folder got wrong at start;
    // empty when nothing did.
    std::string StartProblems() const;
    // The hotkeys' part of the start's box: what the file got wrong, what
    // the system would not give.
    std::string HotkeyProblems(const std::vector<HotkeyAction>& refused) const;

    // Starts or stops the watcher as the settings say, and tells the window.
    void FollowAutoBackup();
    // Waits for what the watcher waits for next.
    void ArmForWatcher();
    void Present(const AutoBackupResult& result);

    AppLocations& locations_;
    BackupCatalogue catalogue_;
    CommandGate gate_;  // one for the buttons and the hotkeys
    BackupCommands commands_;
    HotkeySettings hotkeys_;
    AutoBackupSettings autoBackup_;
    std::unique_ptr<AutoBackupWatcher> watcher_;
};

}  // namespace tsumugiya
