#include "MemoFit.h"

#include <algorithm>

#include "BackupNames.h"
#include "platform/Platform.h"

namespace tsumugiya {
namespace {

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// A character, or a surrogate pair, as one piece.
std::size_t UnitsAt(std::u16string_view text, std::size_t at) {
    const bool pair =
        IsHighSurrogate(text[at]) && at + 1 < text.size() && IsLowSurrogate(text[at + 1]);
    return pair ? 2 : 1;
}

void AppendUtf8(std::string& out, char32_t code) {
    const auto byte = [&out](char32_t bits) { out += static_cast<char>(bits); };
    if (code < 0x80) {
        byte(code);
    } else if (code < 0x800) {
        byte(0xC0 | (code >> 6));
        byte(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        byte(0xE0 | (code >> 12));
        byte(0x80 | ((code >> 6) & 0x3F));
        byte(0x80 | (code & 0x3F));
    } else {
        byte(0xF0 | (code >> 18));
        byte(0x80 | ((code >> 12) & 0x3F));
        byte(0x80 | ((code >> 6) & 0x3F));
        byte(0x80 | (code & 0x3F));
    }
}

std::optional<std::string> ProblemOf(std::u16string_view memo, std::size_t room) {
    return MemoProblem(StrictUtf8(memo), room);
}

std::size_t Length(std::u16string_view text) {
    return platform::NameLength(StrictUtf8(text));
}

// What is left of the text once every piece that breaks the rule on its own
// is dropped, and where the caret lands in it.
std::pair<std::u16string, std::size_t> DropRefused(std::u16string_view text, std::size_t caret) {
    std::u16string kept;
    std::size_t keptCaret = caret;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t units = UnitsAt(text, at);
        const std::u16string_view piece = text.substr(at, units);
        if (!ProblemOf(piece, kMemoMaxBytes)) {
            kept += piece;
        } else if (at < caret) {
            keptCaret -= std::min(units, caret - at);
        }
        at += units;
    }
    return {kept, keptCaret};
}

// The longest start of text, in whole pieces, that takes at most room.
std::u16string StartWithin(std::u16string_view text, std::size_t room) {
    std::u16string start;
    std::size_t length = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t units = UnitsAt(text, at);
        const std::u16string_view piece = text.substr(at, units);
        length += Length(piece);
        if (length > room) {
            break;
        }
        start += piece;
        at += units;
    }
    return start;
}

}  // namespace

std::string StrictUtf8(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); at += UnitsAt(text, at)) {
        const char16_t unit = text[at];
        if (UnitsAt(text, at) == 2) {
            AppendUtf8(bytes, 0x10000 + ((unit - 0xD800) << 10) + (text[at + 1] - 0xDC00));
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            return "\xFF";
        } else {
            AppendUtf8(bytes, unit);
        }
    }
    return bytes;
}

std::optional<MemoFit> FitMemo(std::u16string_view text, std::size_t caret, std::size_t room) {
    const auto problem = ProblemOf(text, room);
    if (!problem) {
        return std::nullopt;
    }
    MemoFit fit;
    fit.reasons = *problem;
    const auto [kept, keptCaret] = DropRefused(text, std::min(caret, text.size()));
    if (const auto rest = ProblemOf(kept, room); rest && *rest != *problem) {
        fit.reasons += "\n" + *rest;  // too long as well
    }
    const std::u16string_view after = std::u16string_view(kept).substr(keptCaret);
    const std::size_t afterLength = Length(after);
    const std::u16string before = StartWithin(std::u16string_view(kept).substr(0, keptCaret),
                                              room > afterLength ? room - afterLength : 0);
    fit.text = before + std::u16string(after);
    fit.caret = before.size();
    fit.fits = afterLength <= room;
    return fit;
}

}  // namespace tsumugiya
