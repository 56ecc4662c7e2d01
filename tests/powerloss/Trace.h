#pragma once

// The calls the preloaded library records, one line each: the kind, the path
// (a file descriptor's as /proc names it), a second path, an offset and the
// number of bytes written, which follow the line as they are. Header-only:
// the library and the tests share it.

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace tsumugiya::powerloss {

// How a process stopped before a numbered call ends; and how it ends when
// the file system refused to go down.
inline constexpr int kStoppedExit = 86;
inline constexpr int kRefusedExit = 87;

enum class Call : char {
    Create = 'c',      // a new file
    Truncate = 't',    // an existing file emptied
    Write = 'w',       // bytes at an offset (write, pwrite, copy_file_range)
    Clone = 'k',       // the whole file now shares another's data
    Attributes = 'a',  // permissions, owner, times, or writeback started
    SyncFile = 's',
    SyncFolder = 'S',
    Rename = 'r',
    Link = 'l',
    Unlink = 'u',
    MakeFolder = 'm',
    Failed = 'x',  // numbered, but changed nothing
};

struct TracedCall {
    Call call;
    std::string path{}, other{};
    long long offset = 0;
    std::string bytes{};
};

inline std::string FormatCall(Call call, std::string_view path, std::string_view other,
                              long long offset, std::string_view bytes) {
    std::string line(1, static_cast<char>(call));
    (((line += '\t') += path) += '\t') += other;
    line += '\t' + std::to_string(offset) + '\t' + std::to_string(bytes.size()) + '\n';
    return line += bytes;
}

inline std::vector<TracedCall> ParseTrace(const std::string& text) {
    std::vector<TracedCall> calls;
    std::istringstream in(text);
    for (std::string kind, offset, size; std::getline(in, kind, '\t');) {
        TracedCall call{static_cast<Call>(kind.at(0))};
        std::getline(std::getline(in, call.path, '\t'), call.other, '\t');
        std::getline(std::getline(in, offset, '\t'), size);
        call.offset = std::stoll(offset);
        call.bytes.resize(std::stoul(size));
        in.read(call.bytes.data(), static_cast<std::streamsize>(call.bytes.size()));
        calls.push_back(std::move(call));
    }
    return calls;
}

}  // namespace tsumugiya::powerloss
