#include "BackupNames.h"

namespace tsumugiya {

bool IsValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t extra = 0;
        char32_t code = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            code = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            code = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            code = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= text.size()) {
            return false;
        }
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto cc = static_cast<unsigned char>(text[i + k]);
            if ((cc & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (cc & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF.
        if ((extra == 2 && code < 0x800) || (extra == 3 && code < 0x10000) || code > 0x10FFFF ||
            (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        i += extra + 1;
    }
    return true;
}

bool IsEntryName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == name.npos &&
           name.find('\0') == name.npos;
}

bool IsPlainFileName(std::string_view name) {
    if (!IsEntryName(name)) {
        return false;
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (c < 0x20 || c == 0x7F || name[i] == '\\') {
            return false;
        }
        // The C1 controls U+0080..U+009F (NEL among them) are C2 80..C2 9F.
        if (c == 0xC2 && i + 1 < name.size() &&
            (static_cast<unsigned char>(name[i + 1]) & 0xE0) == 0x80) {
            return false;
        }
    }
    return IsValidUtf8(name);
}

std::optional<std::string> TimestampedBackupName(std::string_view saveFileName,
                                                 std::string_view timeText, std::string_view memo,
                                                 std::size_t maxLength) {
    std::string name;
    name.reserve(saveFileName.size() + timeText.size() + memo.size() + 7);
    name.append(saveFileName).append(".save.").append(timeText).append("_").append(memo);
    if (name.size() > maxLength || !IsPlainFileName(name)) {
        return std::nullopt;
    }
    return name;
}

std::string FixedBackupName(std::string_view saveFileName) {
    return std::string(saveFileName) + ".save.temp";
}

std::filesystem::path SafetyCopyPath(const std::filesystem::path& savePath) {
    return std::filesystem::path(savePath.string() + ".s");
}

}  // namespace tsumugiya
