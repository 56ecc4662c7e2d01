#include "AutoBackupSettings.h"

#include <charconv>
#include <cmath>
#include <optional>

#include "Messages.h"
#include "SettingValues.h"
#include "platform/Platform.h"

namespace tsumugiya {
namespace {

// Ten minutes: a save still being written after that is not waited for longer.
constexpr double kMaxSettleSeconds = 600;
constexpr int kMaxKeep = 100000;

// Seconds with an optional fraction ("2", "0.2"), down to the millisecond.
std::optional<std::chrono::milliseconds> ParseSeconds(std::string_view text) {
    double seconds = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), seconds, std::chars_format::fixed);
    // Under a millisecond would round to no settle at all.
    if (error != std::errc() || end != text.data() + text.size() || !(seconds >= 0.001) ||
        seconds > kMaxSettleSeconds) {
        return std::nullopt;
    }
    return std::chrono::milliseconds(std::llround(seconds * 1000));
}

std::optional<int> ParseCount(std::string_view text) {
    int count = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
    if (error != std::errc() || end != text.data() + text.size() || count < 1 || count > kMaxKeep) {
        return std::nullopt;
    }
    return count;
}

}  // namespace

AutoBackupSettings ReadAutoBackupSettings(std::string_view settingsText) {
    AutoBackupSettings settings;
    const auto read = [&](std::string_view key, std::string_view expected, auto parse,
                          auto& target) {
        const std::string text =
            platform::ProfileStringFromText(settingsText, kAutoBackupSection, key, "\x01");
        if (text == "\x01") {
            return;
        }
        if (const auto value = parse(TrimmedSetting(text))) {
            target = *value;
        } else {
            settings.problems.push_back(messages::AutoBackupSettingUnreadable(key, text, expected));
        }
    };
    read("enabled", "0 か 1", ParseSwitch, settings.enabled);
    read("settle", "秒数、0 より大きく 600 まで（例: 2、0.5）", ParseSeconds, settings.settle);
    read("keep", "1 から 100000 までの個数", ParseCount, settings.keep);
    return settings;
}

}  // namespace tsumugiya
