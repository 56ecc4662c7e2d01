#include "AutoBackupPool.h"

#include <sstream>

#include "BackupNames.h"
#include "Messages.h"

namespace tsumugiya {
namespace {

constexpr std::string_view kHeader = "tsumugiya automatic backups 1";

// The file's own id, size and times; the device number is left out, as it
// may differ from one mount of the same disk to the next.
bool SameFile(const platform::FileIdentity& a, const platform::FileIdentity& b) {
    return a.inode == b.inode && a.size == b.size && a.modified == b.modified &&
           a.changed == b.changed;
}

std::string Line(const AutoBackupPool::Entry& entry) {
    const platform::FileIdentity& id = entry.identity;
    std::ostringstream line;
    line << entry.name << '\t' << id.inode << '\t' << id.size << '\t' << id.modified.seconds << '\t'
         << id.modified.nanoseconds << '\t' << id.changed.seconds << '\t' << id.changed.nanoseconds
         << '\n';
    return line.str();
}

bool Parse(const std::string& line, AutoBackupPool::Entry& entry) {
    const auto tab = line.find('\t');
    if (tab == line.npos) {
        return false;
    }
    entry.name = line.substr(0, tab);
    std::istringstream fields(line.substr(tab + 1));
    platform::FileIdentity& id = entry.identity;
    fields >> id.inode >> id.size >> id.modified.seconds >> id.modified.nanoseconds >>
        id.changed.seconds >> id.changed.nanoseconds;
    return !fields.fail() && IsNameInFolder(entry.name);
}

}  // namespace

bool AutoBackupPool::Matches(const Entry& entry) const {
    const auto now = platform::IdentityOf(Path(entry.name));
    return now && !platform::StatusOf(Path(entry.name)).isLink && SameFile(*now, entry.identity);
}

std::optional<std::vector<AutoBackupPool::Entry>> AutoBackupPool::Read(
    platform::IoError& error) const {
    std::vector<Entry> entries;
    if (!platform::EntryExists(Path(kLedgerName))) {
        return entries;
    }
    std::string text;
    if (!platform::ReadWholeFile(Path(kLedgerName), text)) {
        error = platform::IoError{platform::IoError::Kind::Other, Path(kLedgerName),
                                  std::string(messages::kLedgerUnreadable)};
        return std::nullopt;
    }
    std::istringstream lines(text);
    std::string line;
    // A ledger of another form names nothing this version may remove.
    if (!std::getline(lines, line) || line != kHeader) {
        error = platform::IoError{platform::IoError::Kind::Other, Path(kLedgerName),
                                  std::string(messages::kLedgerUnreadable)};
        return std::nullopt;
    }
    for (Entry entry; std::getline(lines, line);) {
        if (Parse(line, entry)) {
            entries.push_back(entry);
        }
    }
    return entries;
}

bool AutoBackupPool::Write(const std::vector<Entry>& entries, platform::IoError& error) const {
    std::string text = std::string(kHeader) + '\n';
    for (const Entry& entry : entries) {
        text += Line(entry);
    }
    return platform::WriteFileAtomically(Path(kLedgerName), text, error);
}

std::vector<AutoBackupPool::Entry> AutoBackupPool::Entries() const {
    platform::IoError ignored;
    std::vector<Entry> entries = Read(ignored).value_or(std::vector<Entry>{});
    std::erase_if(entries, [this](const Entry& entry) { return !Matches(entry); });
    return entries;
}

std::string AutoBackupPool::Newest(std::string_view saveFileName) const {
    const std::vector<Entry> entries = Entries();
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        if (IsBackupOf(entry->name, saveFileName)) {
            return entry->name;
        }
    }
    return {};
}

bool AutoBackupPool::Add(const std::string& name, std::string_view saveFileName, int keep,
                         Pruned& pruned, platform::IoError& error) const {
    const auto identity = platform::IdentityOf(Path(name));
    if (!identity) {
        error = platform::IoError{platform::IoError::Kind::SourceMissing, Path(name), {}};
        return false;
    }
    auto recorded = Read(error);
    if (!recorded) {
        return false;
    }
    // An entry whose file no longer matches (changed, replaced, or renumbered
    // by the file system) stays recorded but is never removed nor counted:
    // forgetting it could only let it pile up, removing it could lose a file.
    std::vector<Entry> entries, kept;
    for (Entry& entry : *recorded) {
        if (entry.name == name || !platform::EntryExists(Path(entry.name))) {
            continue;
        }
        (Matches(entry) ? entries : kept).push_back(std::move(entry));
    }
    entries.push_back({name, *identity});
    long excess = -keep;
    for (const Entry& entry : entries) {
        excess += IsBackupOf(entry.name, saveFileName) ? 1 : 0;
    }
    std::vector<Entry> dropped;
    for (Entry& entry : entries) {
        const bool drop = excess > 0 && IsBackupOf(entry.name, saveFileName);
        excess -= drop ? 1 : 0;
        (drop ? dropped : kept).push_back(std::move(entry));
    }
    if (!Write(kept, error)) {
        return false;
    }
    std::vector<Entry> stayed;
    for (const Entry& entry : dropped) {
        // Checked again at the last moment: a file changed since stays,
        // recorded as every entry that no longer matches.
        if (!Matches(entry)) {
            stayed.push_back(entry);
            continue;
        }
        platform::IoError failure;
        if (platform::RemoveEntry(Path(entry.name), failure)) {
            pruned.removed.push_back(entry.name);
        } else {
            pruned.failures.push_back(failure);
            stayed.push_back(entry);
        }
    }
    // What a prune removed stays removed after a power cut, as it was told.
    if (!pruned.removed.empty()) {
        platform::IoError failure;
        if (!platform::FlushFolder(folder_, failure)) {
            pruned.failures.push_back(failure);
        }
    }
    // One that could not be removed (held open on Windows) is pruned next time.
    if (!stayed.empty()) {
        stayed.insert(stayed.end(), kept.begin(), kept.end());
        platform::IoError ignored;
        Write(stayed, ignored);
    }
    return true;
}

}  // namespace tsumugiya
