#include "X11KeyGrabs.h"

#include <X11/keysym.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <QCoreApplication>
#include <array>
#include <cstdlib>
#include <memory>
#include <string>

namespace tsumugiya::ui {
namespace {

// A grab is exact about the modifiers: NumLock (Mod2) and CapsLock on must
// not turn a hotkey off.
constexpr std::array<std::uint16_t, 4> kLockVariants{0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2,
                                                     XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};
constexpr std::uint16_t kChordMask =
    XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_4;

std::uint16_t XModifiers(unsigned modifiers) {
    std::uint16_t mask = 0;
    if (modifiers & kModCtrl) {
        mask |= XCB_MOD_MASK_CONTROL;
    }
    if (modifiers & kModAlt) {
        mask |= XCB_MOD_MASK_1;
    }
    if (modifiers & kModShift) {
        mask |= XCB_MOD_MASK_SHIFT;
    }
    if (modifiers & kModMeta) {
        mask |= XCB_MOD_MASK_4;
    }
    return mask;
}

std::uint32_t RootWindow(xcb_connection_t& connection) {
    return xcb_setup_roots_iterator(xcb_get_setup(&connection)).data->root;
}

// Keycodes that make this keysym on the keyboard as it is mapped now.
std::vector<std::uint8_t> KeycodesOf(xcb_connection_t& connection, std::uint32_t keysym) {
    const std::unique_ptr<xcb_key_symbols_t, decltype(&xcb_key_symbols_free)> symbols(
        xcb_key_symbols_alloc(&connection), &xcb_key_symbols_free);
    std::vector<std::uint8_t> keycodes;
    if (!symbols) {
        return keycodes;
    }
    const std::unique_ptr<xcb_keycode_t, decltype(&std::free)> found(
        xcb_key_symbols_get_keycode(symbols.get(), keysym), &std::free);
    for (const xcb_keycode_t* code = found.get(); code && *code != XCB_NO_SYMBOL; ++code) {
        keycodes.push_back(*code);
    }
    return keycodes;
}

}  // namespace

std::optional<std::uint32_t> KeySymOf(std::string_view key) {
    if (key.size() == 1 && key[0] >= 'A' && key[0] <= 'Z') {
        return XK_a + static_cast<std::uint32_t>(key[0] - 'A');
    }
    if (key.size() == 1 && key[0] >= '0' && key[0] <= '9') {
        return XK_0 + static_cast<std::uint32_t>(key[0] - '0');
    }
    if (key.size() >= 2 && key[0] == 'F' && key.find_first_not_of("0123456789", 1) == key.npos) {
        const int number = std::stoi(std::string(key.substr(1)));
        if (number >= 1 && number <= 24) {
            return XK_F1 + static_cast<std::uint32_t>(number - 1);
        }
        return std::nullopt;
    }
    static constexpr std::pair<std::string_view, std::uint32_t> kNamed[] = {
        {"Ins", XK_Insert},  {"Del", XK_Delete},  {"Home", XK_Home},   {"End", XK_End},
        {"PgUp", XK_Prior},  {"PgDown", XK_Next}, {"Left", XK_Left},   {"Up", XK_Up},
        {"Right", XK_Right}, {"Down", XK_Down},   {"Space", XK_space}, {"Pause", XK_Pause},
        {"Print", XK_Print},
    };
    for (const auto& [name, keysym] : kNamed) {
        if (name == key) {
            return keysym;
        }
    }
    return std::nullopt;
}

X11KeyGrabs::X11KeyGrabs(xcb_connection_t& connection, std::function<void(HotkeyAction)> pressed)
    : connection_(connection), root_(RootWindow(connection)), pressed_(std::move(pressed)) {
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11KeyGrabs::~X11KeyGrabs() {
    if (auto* application = QCoreApplication::instance()) {
        application->removeNativeEventFilter(this);
    }
    ReleaseAll();
}

std::vector<HotkeyAction> X11KeyGrabs::Grab(const HotkeyBindings& bindings) {
    ReleaseAll();
    std::vector<HotkeyAction> refused;
    for (const auto& [action, chord] : bindings) {
        if (auto grabs = GrabChord(action, chord)) {
            taken_.insert(taken_.end(), grabs->begin(), grabs->end());
        } else {
            refused.push_back(action);
        }
    }
    return refused;
}

std::optional<std::vector<X11KeyGrabs::Taken>> X11KeyGrabs::GrabChord(HotkeyAction action,
                                                                      const KeyChord& chord) {
    const auto keysym = KeySymOf(chord.key);
    const std::vector<std::uint8_t> keycodes =
        keysym ? KeycodesOf(connection_, *keysym) : std::vector<std::uint8_t>{};
    if (keycodes.empty()) {
        return std::nullopt;
    }
    const std::uint16_t modifiers = XModifiers(chord.modifiers);
    struct Request {
        std::uint8_t keycode;
        std::uint16_t mask;
        xcb_void_cookie_t cookie;
    };
    std::vector<Request> requests;
    for (const std::uint8_t keycode : keycodes) {
        for (const std::uint16_t locks : kLockVariants) {
            const std::uint16_t mask = modifiers | locks;
            requests.push_back({keycode, mask,
                                xcb_grab_key_checked(&connection_, 1, root_, mask, keycode,
                                                     XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)});
        }
    }
    // BadAccess: another client holds one of them. The ones given go back,
    // so that a refused key is not half taken.
    bool refused = false;
    for (const Request& request : requests) {
        if (xcb_generic_error_t* error = xcb_request_check(&connection_, request.cookie)) {
            std::free(error);
            refused = true;
        }
    }
    if (refused) {
        for (const Request& request : requests) {
            xcb_ungrab_key(&connection_, request.keycode, root_, request.mask);
        }
        xcb_flush(&connection_);
        return std::nullopt;
    }
    std::vector<Taken> chords;
    for (const std::uint8_t keycode : keycodes) {
        chords.push_back(Taken{action, keycode, modifiers});
    }
    return chords;
}

void X11KeyGrabs::Ungrab(const Taken& taken) {
    for (const std::uint16_t locks : kLockVariants) {
        xcb_ungrab_key(&connection_, taken.keycode, root_, taken.modifiers | locks);
    }
}

void X11KeyGrabs::ReleaseAll() {
    for (const Taken& taken : taken_) {
        Ungrab(taken);
    }
    if (!taken_.empty()) {
        xcb_flush(&connection_);
    }
    taken_.clear();
    down_.reset();
}

bool X11KeyGrabs::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const std::uint8_t type = event->response_type & 0x7f;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE) {
        return false;
    }
    const auto* key = static_cast<const xcb_key_press_event_t*>(message);
    if (key->event != root_) {
        return false;  // typed into one of this program's own windows
    }
    if (type == XCB_KEY_RELEASE) {
        if (down_ == key->detail) {
            down_.reset();
            released_ = std::pair(key->detail, key->time);
        }
        return true;
    }
    const std::uint16_t modifiers = key->state & kChordMask;
    for (const Taken& taken : taken_) {
        if (taken.keycode == key->detail && taken.modifiers == modifiers) {
            // Auto-repeat comes as presses without releases, or, where
            // the server does not tell it apart, as a release and a press
            // of the same instant.
            const bool repeat =
                down_ == key->detail || released_ == std::pair(key->detail, key->time);
            down_ = key->detail;
            if (!repeat) {
                pressed_(taken.action);
            }
            return true;
        }
    }
    return false;
}

}  // namespace tsumugiya::ui
