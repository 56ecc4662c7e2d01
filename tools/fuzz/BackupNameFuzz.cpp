// TimestampedBackupName with a fuzzed memo: a name it returns must be one
// plain file name, and it may refuse only a memo that cannot make one.
// IsValidUtf8 is compared with the C library's UTF-8 decoder on every input.

#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <string_view>

#include "BackupNames.h"

namespace {

constexpr std::string_view kSaveName = "slot1.dat";
constexpr std::string_view kTime = "2023年03月06日04時01分08秒";
constexpr std::size_t kMaxLength = 255;

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "backup name check failed: %s\n", what);
        std::abort();
    }
}

// Decodes with mbrtowc under a UTF-8 locale; false at a malformed sequence or
// when accept refuses a code point. glibc also decodes past U+10FFFF, which
// Unicode excludes, so that limit is applied here.
bool Decode(std::string_view text, bool (*accept)(std::uint32_t)) {
    std::mbstate_t state{};
    for (std::size_t i = 0; i < text.size();) {
        wchar_t wc = 0;
        const std::size_t n = std::mbrtowc(&wc, text.data() + i, text.size() - i, &state);
        if (n == static_cast<std::size_t>(-1) || n == static_cast<std::size_t>(-2)) {
            return false;
        }
        const auto code = static_cast<std::uint32_t>(wc);
        if (code > 0x10FFFF || !accept(code)) {
            return false;
        }
        i += n == 0 ? 1 : n;  // 0 is an embedded NUL, one byte
    }
    return true;
}

bool AnyCodePoint(std::uint32_t) {
    return true;
}

// Control characters are the Unicode Cc set: C0, DEL and C1.
bool NameCodePoint(std::uint32_t c) {
    return c >= 0x20 && !(c >= 0x7F && c <= 0x9F) && c != '/' && c != '\\';
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (!std::setlocale(LC_CTYPE, "C.UTF-8")) {
        std::fprintf(stderr, "the C.UTF-8 locale is missing\n");
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view memo(reinterpret_cast<const char*>(data), size);
    Check(tsumugiya::IsValidUtf8(memo) == Decode(memo, AnyCodePoint),
          "IsValidUtf8 disagrees with mbrtowc");

    std::string expected(kSaveName);
    expected.append(".save.").append(kTime).append("_").append(memo);
    // Never "." or "..": the name always holds ".save.".
    const bool plain = expected.size() <= kMaxLength && Decode(expected, NameCodePoint);

    const auto name = tsumugiya::TimestampedBackupName(kSaveName, kTime, memo, kMaxLength);
    Check(name.has_value() == plain, plain ? "refused a plain name" : "accepted a bad name");
    if (name) {
        Check(*name == expected, "name is not SAVE.save.TIME_MEMO");
    }
    return 0;
}
