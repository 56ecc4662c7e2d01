#include "Hotkeys.h"

#include <algorithm>

#include "Messages.h"
#include "SettingValues.h"
#include "platform/Platform.h"

namespace tsumugiya {
namespace {

constexpr std::array<std::string_view, 3> kActionKeys{"backup", "quick", "restore"};

struct ModifierName {
    std::string_view name;
    unsigned bit;
};
// The first name of each bit is the one written.
constexpr std::array<ModifierName, 7> kModifierNames{{{"Ctrl", kModCtrl},
                                                      {"Alt", kModAlt},
                                                      {"Shift", kModShift},
                                                      {"Meta", kModMeta},
                                                      {"Control", kModCtrl},
                                                      {"Win", kModMeta},
                                                      {"Super", kModMeta}}};

std::optional<unsigned> ModifierBit(std::string_view name) {
    for (const auto& modifier : kModifierNames) {
        if (SameLetters(modifier.name, name)) {
            return modifier.bit;
        }
    }
    return std::nullopt;
}

std::optional<std::string> KnownKey(std::string_view name) {
    for (std::string_view known : KeyNames()) {
        if (SameLetters(known, name)) {
            return std::string(known);
        }
    }
    return std::nullopt;
}

}  // namespace

const std::vector<std::string_view>& KeyNames() {
    static const std::vector<std::string_view> names = [] {
        static std::vector<std::string> spelled;
        for (int i = 1; i <= 24; ++i) {
            spelled.push_back("F" + std::to_string(i));
        }
        for (char c = 'A'; c <= 'Z'; ++c) {
            spelled.emplace_back(1, c);
        }
        for (char c = '0'; c <= '9'; ++c) {
            spelled.emplace_back(1, c);
        }
        for (const char* name : {"Ins", "Del", "Home", "End", "PgUp", "PgDown", "Left", "Up",
                                 "Right", "Down", "Space", "Pause", "Print"}) {
            spelled.emplace_back(name);
        }
        return std::vector<std::string_view>(spelled.begin(), spelled.end());
    }();
    return names;
}

std::optional<KeyChord> ParseKeyChord(std::string_view text) {
    KeyChord chord;
    std::string_view rest = text;
    while (true) {
        const auto plus = rest.find('+');
        const std::string part = TrimmedSetting(rest.substr(0, plus));
        if (plus == rest.npos) {
            auto key = KnownKey(part);
            if (!key || (chord.modifiers & (kModCtrl | kModAlt | kModMeta)) == 0) {
                return std::nullopt;
            }
            chord.key = std::move(*key);
            return chord;
        }
        const auto bit = ModifierBit(part);
        if (!bit || (chord.modifiers & *bit) != 0) {
            return std::nullopt;
        }
        chord.modifiers |= *bit;
        rest.remove_prefix(plus + 1);
    }
}

std::string KeyChordText(const KeyChord& chord) {
    std::string text;
    // The first four entries are the names written, one for each bit.
    for (std::size_t i = 0; i < 4; ++i) {
        if ((chord.modifiers & kModifierNames[i].bit) != 0) {
            text += kModifierNames[i].name;
            text += '+';
        }
    }
    return text + chord.key;
}

HotkeySettings ReadHotkeySettings(std::string_view settingsText) {
    HotkeySettings settings;
    const auto value = [&](std::string_view key) {
        return platform::ProfileStringFromText(settingsText, kHotkeysSection, key, "\x01");
    };
    const auto readSwitch = [&](std::string_view key, bool& target) {
        const std::string text = value(key);
        if (text == "\x01") {
            return;
        }
        if (const auto on = ParseSwitch(TrimmedSetting(text))) {
            target = *on;
        } else {
            settings.problems.push_back(messages::HotkeySettingUnreadable(key, text));
        }
    };
    readSwitch("enabled", settings.enabled);
    readSwitch("sound", settings.sound);
    for (HotkeyAction action : kHotkeyActions) {
        const auto key = kActionKeys[static_cast<std::size_t>(action)];
        const std::string text = value(key);
        if (text == "\x01") {
            continue;
        }
        auto& chord = settings.Key(action);
        if (TrimmedSetting(text).empty()) {
            chord.reset();
        } else if (auto parsed = ParseKeyChord(text)) {
            chord = std::move(parsed);
        } else {
            chord.reset();
            settings.problems.push_back(messages::HotkeySettingUnreadable(key, text));
        }
    }
    return settings;
}

HotkeyBindings ActiveBindings(const HotkeySettings& settings) {
    HotkeyBindings bindings;
    if (!settings.enabled) {
        return bindings;
    }
    for (HotkeyAction action : kHotkeyActions) {
        const auto& chord = settings.Key(action);
        const bool taken = chord && std::any_of(bindings.begin(), bindings.end(),
                                                [&](const auto& b) { return b.second == *chord; });
        if (chord && !taken) {
            bindings.emplace_back(action, *chord);
        }
    }
    return bindings;
}

std::vector<std::pair<std::string, std::string>> HotkeySettingValues(
    const HotkeySettings& settings) {
    std::vector<std::pair<std::string, std::string>> values{
        {"enabled", settings.enabled ? "1" : "0"}, {"sound", settings.sound ? "1" : "0"}};
    for (HotkeyAction action : kHotkeyActions) {
        const auto& chord = settings.Key(action);
        values.emplace_back(kActionKeys[static_cast<std::size_t>(action)],
                            chord ? KeyChordText(*chord) : std::string());
    }
    return values;
}

std::string_view ActionLabel(HotkeyAction action) {
    switch (action) {
        case HotkeyAction::Backup:
            return messages::kBackupActionLabel;
        case HotkeyAction::QuickBackup:
            return messages::kQuickBackupActionLabel;
        case HotkeyAction::Restore:
            return messages::kRestoreActionLabel;
    }
    return {};
}

}  // namespace tsumugiya
