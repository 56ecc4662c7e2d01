#include "MemoFit.h"

#include <windows.h>

#include <algorithm>

#include "BackupNames.h"
#include "platform/Platform.h"

namespace tsumugiya::win {
namespace {

// A character, or a surrogate pair, as one piece.
std::size_t UnitsAt(std::wstring_view text, std::size_t at) {
    const bool pair =
        IS_HIGH_SURROGATE(text[at]) && at + 1 < text.size() && IS_LOW_SURROGATE(text[at + 1]);
    return pair ? 2 : 1;
}

std::optional<std::string> ProblemOf(std::wstring_view memo, std::size_t room) {
    return MemoProblem(StrictUtf8(memo), room);
}

std::size_t Length(std::wstring_view text) {
    return platform::NameLength(StrictUtf8(text));
}

}  // namespace

std::string StrictUtf8(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int length = ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), size,
                                             nullptr, 0, nullptr, nullptr);
    if (length <= 0) {
        return "\xFF";
    }
    std::string bytes(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), size, bytes.data(), length,
                          nullptr, nullptr);
    return bytes;
}

std::optional<MemoFit> FitMemo(std::wstring_view text, int caret, std::size_t room) {
    const auto problem = ProblemOf(text, room);
    if (!problem) {
        return std::nullopt;
    }
    caret = std::clamp(caret, 0, static_cast<int>(text.size()));
    MemoFit fit;
    fit.reasons = *problem;

    // A character is refused when it breaks the rule on its own.
    std::wstring kept;
    int keptCaret = caret;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t units = UnitsAt(text, at);
        const std::wstring_view piece = text.substr(at, units);
        if (!ProblemOf(piece, kMemoMaxBytes)) {
            kept += piece;
        } else if (static_cast<int>(at) < caret) {
            keptCaret -= static_cast<int>(units);
        }
        at += units;
    }
    if (const auto rest = ProblemOf(kept, room); rest && *rest != *problem) {
        fit.reasons += "\n" + *rest;  // too long as well
    }

    const std::wstring_view after = std::wstring_view(kept).substr(keptCaret);
    const std::size_t afterLength = Length(after);
    const std::size_t left = room > afterLength ? room - afterLength : 0;
    std::wstring before;
    for (std::size_t at = 0; at < static_cast<std::size_t>(keptCaret);) {
        const std::size_t units = UnitsAt(kept, at);
        const std::wstring_view piece = std::wstring_view(kept).substr(at, units);
        if (Length(before) + Length(piece) > left) {
            break;
        }
        before += piece;
        at += units;
    }
    fit.text = before + std::wstring(after);
    fit.caret = static_cast<int>(before.size());
    return fit;
}

}  // namespace tsumugiya::win
