#include "AutoBackupWatcher.h"

#include <algorithm>

#include "Messages.h"

namespace tsumugiya {
namespace {

// A drive put back or space freed is found within this, however long ago the
// failing began.
constexpr std::chrono::milliseconds kLongestRetryWait = std::chrono::minutes(5);

std::filesystem::path FileWritten(const std::filesystem::path& save) {
    std::error_code error;
    if (!std::filesystem::is_symlink(save, error)) {
        return save;
    }
    const std::filesystem::path target = std::filesystem::canonical(save, error);
    return error ? save : target;
}

}  // namespace

AutoBackupWatcher::AutoBackupWatcher(const AppLocations& locations,
                                     const AutoBackupSettings& settings, CommandGate& gate,
                                     Clock::time_point now)
    : locations_(locations),
      settle_(settings.settle),
      taker_(locations, gate, settings.keep),
      written_(FileWritten(locations.SavePath())),
      watch_(written_.parent_path()) {
    if (watch_.Armed()) {
        Written(now);
    } else {
        deadline_ = now;
    }
}

// Windows tells the name as the program that wrote it spelled it. Nothing
// is opened: on Windows an open handle would fail the game's rename over its
// save.
bool AutoBackupWatcher::IsSave(const std::string& name) const {
    return platform::SameFileName(name, platform::Utf8Of(written_.filename()));
}

std::optional<AutoBackupWatcher::Look> AutoBackupWatcher::LookAtSave() const {
    const platform::EntryStatus status = platform::StatusOf(locations_.SavePath());
    if (!status.modificationTime) {
        return std::nullopt;
    }
    return Look{status.size, *status.modificationTime, status.made};
}

void AutoBackupWatcher::Written(Clock::time_point now) {
    look_ = LookAtSave();
    deadline_ = now + settle_;
}

void AutoBackupWatcher::OnReady(Clock::time_point now) {
    const platform::FolderWatch::Changes changes = watch_.Read();
    bool written = changes.incomplete;
    for (const std::string& name : changes.names) {
        written = written || IsSave(name);
    }
    // A folder removed and made again may hold a new save already.
    if (changes.lost) {
        written = watch_.Arm();
        if (!written) {
            deadline_ = now + settle_;
        }
    }
    if (written) {
        Written(now);
    }
}

std::optional<AutoBackupResult> AutoBackupWatcher::Missing() {
    if (saidMissing_) {
        return std::nullopt;
    }
    saidMissing_ = true;
    AutoBackupResult missing;
    missing.kind = AutoBackupResult::Kind::SaveMissing;
    return missing;
}

std::optional<AutoBackupResult> AutoBackupWatcher::Unwatched() {
    if (saidUnwatched_) {
        return std::nullopt;
    }
    saidUnwatched_ = true;
    AutoBackupResult failed;
    failed.kind = AutoBackupResult::Kind::Failed;
    failed.error =
        platform::IoError{platform::IoError::Kind::Other, written_.parent_path(),
                          std::string(messages::kAutoFolderUnwatched) + " " + watch_.Problem()};
    return failed;
}

std::optional<AutoBackupResult> AutoBackupWatcher::OnTimer(Clock::time_point now) {
    if (!deadline_ || now < *deadline_) {
        return std::nullopt;
    }
    deadline_.reset();
    if (!watch_.Armed()) {
        if (!watch_.Arm()) {
            deadline_ = now + settle_;
            return platform::IsDirectory(written_.parent_path()) ? Unwatched() : Missing();
        }
        saidUnwatched_ = false;
        Written(now);
        return std::nullopt;
    }
    const auto look = LookAtSave();
    if (!look) {
        look_.reset();
        return Missing();  // the next write by the game brings it back
    }
    saidMissing_ = false;
    if (look != look_) {
        look_ = look;
        deadline_ = now + settle_;
        return std::nullopt;
    }
    return Taken(taker_.Take(), now);
}

std::optional<AutoBackupResult> AutoBackupWatcher::Taken(AutoBackupResult result,
                                                         Clock::time_point now) {
    using Kind = AutoBackupResult::Kind;
    switch (result.kind) {
        case Kind::Failed: {
            const bool first = retryWait_.count() == 0;
            // A settle longer than the cap is not cut short.
            retryWait_ =
                first ? settle_ : std::min(retryWait_ * 2, std::max(kLongestRetryWait, settle_));
            deadline_ = now + retryWait_;
            if (!first) {
                return std::nullopt;
            }
            return result;
        }
        case Kind::Made:
        case Kind::SameState:
            retryWait_ = std::chrono::milliseconds(0);
            return result;
        case Kind::SaveMissing:
            return Missing();
        case Kind::Changing:
        case Kind::Busy:
            deadline_ = now + settle_;
            return result;
    }
    return result;
}

}  // namespace tsumugiya
