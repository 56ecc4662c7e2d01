#pragma once

// Every state a power cut may leave, rebuilt from one recorded run under a
// model of what a file system keeps (renames atomic):
//   fsync of a file keeps its data, size and attributes, not its name;
//   fsync of a folder keeps its entries, not the data of the files in them;
//   nothing else is kept for sure; what is not may persist as nothing, whole,
//   a prefix of 4 KiB blocks or zeros (data), or as done or not (entries).

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "powerloss/Scenario.h"
#include "powerloss/Trace.h"

namespace tsumugiya::powerloss {

class CrashStates {
  public:
    CrashStates(const fs::path& root, const Tree& start, const std::vector<TracedCall>& calls);

    std::size_t Calls() const { return ops_.size(); }
    // What a cut before call `boundary` (0 to Calls()) may leave: first only
    // what is on disk for sure, then everything (as after SIGKILL), then the
    // mixes of what was pending, all of them or at most `limit` picked.
    std::vector<Tree> At(std::size_t boundary, std::size_t limit) const;

  private:
    struct Op {
        Call call = Call::Failed;
        std::string path, other;
        int inode = -1;
        long long offset = 0;
        std::string bytes;
        std::size_t durableAt = static_cast<std::size_t>(-1);  // the sync that keeps it
        bool Entry() const;
        // The entry a folder's flush keeps: a rename's or a link's new one.
        const std::string& Named() const { return other.empty() ? path : other; }
        int Variants() const;
    };
    Tree Build(std::size_t boundary, const std::vector<std::size_t>& pending,
               const std::vector<int>& choice) const;

    Tree start_;
    std::vector<Op> ops_;
};

}  // namespace tsumugiya::powerloss
