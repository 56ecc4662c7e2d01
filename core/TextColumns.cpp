#include "TextColumns.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace tsumugiya {
namespace {

using Range = std::pair<char32_t, char32_t>;

// East Asian Width W and F, merged where the gaps hold nothing assigned.
constexpr std::array kWide = {
    Range{0x1100, 0x115F},   Range{0x231A, 0x231B},   Range{0x2329, 0x232A},
    Range{0x23E9, 0x23EC},   Range{0x23F0, 0x23F0},   Range{0x23F3, 0x23F3},
    Range{0x25FD, 0x25FE},   Range{0x2614, 0x2615},   Range{0x2648, 0x2653},
    Range{0x267F, 0x267F},   Range{0x2693, 0x2693},   Range{0x26A1, 0x26A1},
    Range{0x26AA, 0x26AB},   Range{0x26BD, 0x26BE},   Range{0x26C4, 0x26C5},
    Range{0x26CE, 0x26CE},   Range{0x26D4, 0x26D4},   Range{0x26EA, 0x26EA},
    Range{0x26F2, 0x26F3},   Range{0x26F5, 0x26F5},   Range{0x26FA, 0x26FA},
    Range{0x26FD, 0x26FD},   Range{0x2705, 0x2705},   Range{0x270A, 0x270B},
    Range{0x2728, 0x2728},   Range{0x274C, 0x274C},   Range{0x274E, 0x274E},
    Range{0x2753, 0x2755},   Range{0x2757, 0x2757},   Range{0x2795, 0x2797},
    Range{0x27B0, 0x27B0},   Range{0x27BF, 0x27BF},   Range{0x2B1B, 0x2B1C},
    Range{0x2B50, 0x2B50},   Range{0x2B55, 0x2B55},   Range{0x2E80, 0x303E},
    Range{0x3041, 0x33FF},   Range{0x3400, 0x4DBF},   Range{0x4E00, 0x9FFF},
    Range{0xA000, 0xA4CF},   Range{0xA960, 0xA97F},   Range{0xAC00, 0xD7A3},
    Range{0xF900, 0xFAFF},   Range{0xFE10, 0xFE19},   Range{0xFE30, 0xFE6F},
    Range{0xFF00, 0xFF60},   Range{0xFFE0, 0xFFE6},   Range{0x16FE0, 0x16FE4},
    Range{0x17000, 0x18CFF}, Range{0x1B000, 0x1B2FF}, Range{0x1F004, 0x1F004},
    Range{0x1F0CF, 0x1F0CF}, Range{0x1F18E, 0x1F18E}, Range{0x1F191, 0x1F19A},
    Range{0x1F200, 0x1F265}, Range{0x1F300, 0x1F64F}, Range{0x1F680, 0x1F6FF},
    Range{0x1F7E0, 0x1F7EB}, Range{0x1F90C, 0x1F9FF}, Range{0x1FA70, 0x1FAFF},
    Range{0x20000, 0x2FFFD}, Range{0x30000, 0x3FFFD},
};

// Marks drawn on the character before them, and invisible format characters.
constexpr std::array kZeroWidth = {
    Range{0x0300, 0x036F}, Range{0x200B, 0x200F},   Range{0x202A, 0x202E}, Range{0x2060, 0x2064},
    Range{0x20D0, 0x20FF}, Range{0x3099, 0x309A},   Range{0xFE00, 0xFE0F}, Range{0xFE20, 0xFE2F},
    Range{0xFEFF, 0xFEFF}, Range{0xE0100, 0xE01EF},
};

template <std::size_t N>
bool IsIn(const std::array<Range, N>& ranges, char32_t c) {
    const auto after = std::upper_bound(ranges.begin(), ranges.end(), c,
                                        [](char32_t v, const Range& r) { return v < r.first; });
    return after != ranges.begin() && c <= std::prev(after)->second;
}

std::size_t ColumnsOfCharacter(char32_t c) {
    if (c < 0x20 || (c >= 0x7F && c < 0xA0) || IsIn(kZeroWidth, c)) {
        return 0;
    }
    return IsIn(kWide, c) ? 2 : 1;
}

// One character of text: its bytes and the columns it takes.
struct Character {
    std::string_view bytes;
    std::size_t columns = 1;
};

// Splits text into characters; a byte that does not start a well-formed
// sequence is one character of its own, one column wide.
std::vector<Character> Characters(std::string_view text) {
    std::vector<Character> characters;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        bool wellFormed =
            lead < 0x80 || (lead >= 0xC2 && lead <= 0xF4 && i + length <= text.size());
        for (std::size_t k = 1; wellFormed && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            wellFormed = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        const std::size_t taken = wellFormed ? length : 1;
        characters.push_back({text.substr(i, taken), wellFormed ? ColumnsOfCharacter(c) : 1});
        i += taken;
    }
    return characters;
}

}  // namespace

std::size_t ColumnsOf(std::string_view text) {
    std::size_t columns = 0;
    for (const Character& c : Characters(text)) {
        columns += c.columns;
    }
    return columns;
}

std::string FitToColumns(std::string_view head, std::string_view tail, std::size_t columns) {
    constexpr std::string_view kEllipsis = "…";
    const std::size_t tailColumns = ColumnsOf(tail);
    if (ColumnsOf(head) + tailColumns <= columns) {
        return std::string(head) + std::string(tail);
    }
    if (tailColumns + ColumnsOf(kEllipsis) > columns) {
        return std::string(tail);
    }
    const std::vector<Character> characters = Characters(head);
    const std::size_t room = columns - tailColumns - ColumnsOf(kEllipsis);
    // The start gets half the room, the end what the start left.
    std::string start;
    std::size_t used = 0, first = 0;
    for (; first < characters.size() && used + characters[first].columns <= (room + 1) / 2;
         ++first) {
        start += characters[first].bytes;
        used += characters[first].columns;
    }
    std::size_t last = characters.size();
    for (; last > first && used + characters[last - 1].columns <= room; --last) {
        used += characters[last - 1].columns;
    }
    std::string end;
    for (std::size_t k = last; k < characters.size(); ++k) {
        end += characters[k].bytes;
    }
    return start + std::string(kEllipsis) + end + std::string(tail);
}

}  // namespace tsumugiya
