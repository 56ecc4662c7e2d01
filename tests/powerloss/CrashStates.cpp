#include "powerloss/CrashStates.h"

#include <algorithm>
#include <functional>
#include <map>
#include <numeric>
#include <random>

namespace tsumugiya::powerloss {
namespace {

constexpr long long kBlock = 4096;
enum Variant { kNothing, kWhole, kZeros, kFirstPrefix };

std::string FolderOf(const std::string& path) {
    return fs::path(path).parent_path().string();
}

// A folder tree by name: "d", "l" and a target, or "f" and an inode's number;
// the inodes' bytes beside it.
struct Disk {
    std::map<std::string, std::string> names;
    std::map<int, std::string> data;

    explicit Disk(const Tree& start) {
        int inode = 0;
        for (const auto& [path, value] : start) {
            if (value[0] == 'f') {
                data[inode] = value.substr(1);
                names[path] = "f" + std::to_string(inode++);
            } else {
                names[path] = value;
            }
        }
    }
    int InodeOf(const std::string& path) const {
        const auto it = names.find(path);
        return it != names.end() && it->second[0] == 'f' ? std::stoi(it->second.substr(1)) : -1;
    }
    bool HasFolder(const std::string& path) const {
        return path.empty() || (names.contains(path) && names.at(path) == "d");
    }
    // Only what a path from the root still reaches is there.
    Tree Reachable() const {
        Tree tree;
        for (const auto& [path, value] : names) {
            bool reached = true;
            for (std::string up = FolderOf(path); reached && !up.empty(); up = FolderOf(up)) {
                reached = HasFolder(up);
            }
            if (reached) {
                tree[path] = value[0] == 'f' ? "f" + data.at(std::stoi(value.substr(1))) : value;
            }
        }
        return tree;
    }
};

void Write(std::string& file, long long offset, const std::string& bytes, int variant) {
    long long end = offset + static_cast<long long>(bytes.size());
    if (variant >= kFirstPrefix) {
        end = std::min(end, (offset / kBlock + (variant - kFirstPrefix + 1)) * kBlock);
    }
    if (static_cast<long long>(file.size()) < end) {
        file.resize(static_cast<std::size_t>(end), '\0');
    }
    for (long long at = offset; at < end; ++at) {
        file[static_cast<std::size_t>(at)] =
            variant == kZeros ? '\0' : bytes[static_cast<std::size_t>(at - offset)];
    }
}

// Puts one call on the disk as `variant` of it survived; entries only where
// their folder is.
template <typename Op>
void Apply(Disk& disk, const Op& op, int variant) {
    const bool inFolder = disk.HasFolder(FolderOf(op.Named()));
    switch (op.call) {
        case Call::Create:
            if (inFolder && !disk.names.contains(op.path)) {
                disk.names[op.path] = "f" + std::to_string(op.inode);
            }
            disk.data[op.inode];
            break;
        case Call::Truncate:
            disk.data[op.inode].clear();
            break;
        case Call::Write:
        case Call::Clone:
            Write(disk.data[op.inode], op.offset, op.bytes, variant);
            break;
        case Call::Rename:
        case Call::Link:
            if (inFolder && disk.names.contains(op.path)) {
                disk.names[op.other] = disk.names[op.path];
                if (op.call == Call::Rename) {
                    disk.names.erase(op.path);
                }
            }
            break;
        case Call::Unlink:
            disk.names.erase(op.path);
            break;
        case Call::MakeFolder:
            if (inFolder) {
                disk.names[op.path] = "d";
            }
            break;
        default:
            break;
    }
}

}  // namespace

bool CrashStates::Op::Entry() const {
    return call == Call::Create || call == Call::Rename || call == Call::Link ||
           call == Call::Unlink || call == Call::MakeFolder;
}

int CrashStates::Op::Variants() const {
    if (call == Call::Write || call == Call::Clone) {
        const long long blocks =
            (offset + static_cast<long long>(bytes.size()) + kBlock - 1) / kBlock - offset / kBlock;
        return kFirstPrefix + static_cast<int>(std::max(0LL, blocks - 1));
    }
    return Entry() || call == Call::Truncate ? 2 : 1;
}

CrashStates::CrashStates(const fs::path& root, const Tree& start,
                         const std::vector<TracedCall>& calls)
    : start_(start) {
    const std::string prefix = root.string() + "/";
    // Paths as the program gave them may hold "..", as a link's target does.
    const auto relative = [&](const std::string& given) {
        const std::string path = fs::path(given).lexically_normal().string();
        return path.starts_with(prefix) ? path.substr(prefix.size()) : path;
    };
    Disk now(start);
    int inodes = static_cast<int>(now.data.size());
    for (const TracedCall& traced : calls) {
        Op op{traced.call, relative(traced.path), relative(traced.other),
              -1,          traced.offset,         traced.bytes};
        const std::size_t index = ops_.size();
        switch (op.call) {
            case Call::Create:
                op.inode = inodes++;
                break;
            case Call::Truncate:
            case Call::Write:
            case Call::Clone:
                op.inode = now.InodeOf(op.path);
                if (op.inode < 0) {
                    op.call = Call::Failed;  // a file no name reaches any more
                }
                break;
            case Call::SyncFile:
                for (Op& earlier : ops_) {
                    if (!earlier.Entry() && earlier.inode == now.InodeOf(op.path)) {
                        earlier.durableAt = std::min(earlier.durableAt, index);
                    }
                }
                break;
            case Call::SyncFolder:
                for (Op& earlier : ops_) {
                    if (earlier.Entry() && FolderOf(earlier.Named()) == op.path) {
                        earlier.durableAt = std::min(earlier.durableAt, index);
                    }
                }
                break;
            default:
                break;
        }
        Apply(now, op, kWhole);
        ops_.push_back(std::move(op));
    }
}

Tree CrashStates::Build(std::size_t boundary, const std::vector<std::size_t>& pending,
                        const std::vector<int>& choice) const {
    Disk disk(start_);
    for (std::size_t i = 0, next = 0; i < boundary; ++i) {
        const Op& op = ops_[i];
        int variant = kWhole;
        if (next < pending.size() && pending[next] == i) {
            variant = choice[next++];
        }
        if (variant != kNothing) {
            Apply(disk, op, variant);
        }
    }
    return disk.Reachable();
}

std::vector<Tree> CrashStates::At(std::size_t boundary, std::size_t limit) const {
    std::vector<std::size_t> pending;
    std::vector<int> radix;
    for (std::size_t i = 0; i < boundary; ++i) {
        if (ops_[i].durableAt >= boundary && ops_[i].Variants() > 1) {
            pending.push_back(i);
            radix.push_back(ops_[i].Variants());
        }
    }
    std::vector<Tree> states{Build(boundary, pending, std::vector<int>(pending.size(), kNothing)),
                             Build(boundary, pending, std::vector<int>(pending.size(), kWhole))};
    const double combinations = std::accumulate(radix.begin(), radix.end(), 1.0, std::multiplies());
    std::mt19937_64 random(boundary);
    std::vector<int> choice(pending.size(), 0);
    const bool every = combinations <= static_cast<double>(limit);
    const std::size_t count = every ? static_cast<std::size_t>(combinations) : limit;
    for (std::size_t n = 0; n < count; ++n) {
        std::size_t rest = n;
        for (std::size_t i = 0; i < choice.size(); ++i) {
            const auto r = static_cast<std::size_t>(radix[i]);
            choice[i] = static_cast<int>(every ? rest % r : random() % r);
            rest /= r;
        }
        states.push_back(Build(boundary, pending, choice));
    }
    return states;
}

}  // namespace tsumugiya::powerloss
