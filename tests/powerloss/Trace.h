#pragma once

// The calls the preloaded library records, one line each: the kind, the path
// (a file descriptor's as /proc names it), a second path, an offset and the
// bytes written, in hex. Header-only: the library and the tests share it.

#include <cstdint>
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
    std::string path, other;
    long long offset = 0;
    std::string bytes;
};

inline std::string FormatCall(Call call, std::string_view path, std::string_view other,
                              long long offset, std::string_view bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string line(1, static_cast<char>(call));
    ((line += '\t') += path) += '\t';
    (line += other) += '\t';
    (line += std::to_string(offset)) += '\t';
    for (const char c : bytes) {
        line += kHex[static_cast<unsigned char>(c) >> 4];
        line += kHex[static_cast<unsigned char>(c) & 15];
    }
    return line += '\n';
}

inline std::vector<TracedCall> ParseTrace(const std::string& text) {
    std::vector<TracedCall> calls;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string kind, offset, hex;
        TracedCall call;
        std::getline(fields, kind, '\t');
        std::getline(fields, call.path, '\t');
        std::getline(fields, call.other, '\t');
        std::getline(fields, offset, '\t');
        std::getline(fields, hex);
        call.call = static_cast<Call>(kind.at(0));
        call.offset = std::stoll(offset);
        for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
            call.bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
        }
        calls.push_back(std::move(call));
    }
    return calls;
}

}  // namespace tsumugiya::powerloss
