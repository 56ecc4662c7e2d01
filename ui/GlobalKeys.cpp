#include "GlobalKeys.h"

#include <QDBusConnection>
#include <QGuiApplication>

#include "PortalShortcuts.h"
#include "X11KeyGrabs.h"

namespace tsumugiya::ui {
namespace {

// The desktop file's name: the portal knows the program by it.
constexpr const char* kApplicationId = "io.github.tsumugiya";

class PortalKeys : public GlobalKeys {
  public:
    explicit PortalKeys(const Events& events)
        : portal_(QDBusConnection::sessionBus(), QString::fromLatin1(kApplicationId)) {
        QObject::connect(&portal_, &PortalShortcuts::Activated, events.pressed);
        QObject::connect(&portal_, &PortalShortcuts::Bound,
                         [said = events.said](const QStringList& triggers) {
                             said(triggers.join(QStringLiteral("  ")));
                         });
        QObject::connect(&portal_, &PortalShortcuts::Failed, events.said);
    }

    std::vector<HotkeyAction> Grab(const HotkeyBindings& bindings) override {
        portal_.Bind(bindings);
        return {};
    }

  private:
    PortalShortcuts portal_;
};

class X11Keys : public GlobalKeys {
  public:
    X11Keys(xcb_connection_t& connection, const Events& events)
        : grabs_(connection, events.pressed) {}

    std::vector<HotkeyAction> Grab(const HotkeyBindings& bindings) override {
        return grabs_.Grab(bindings);
    }
    bool LetGo() override {
        grabs_.ReleaseAll();
        return true;
    }

  private:
    X11KeyGrabs grabs_;
};

}  // namespace

std::unique_ptr<GlobalKeys> SystemGlobalKeys(GlobalKeys::Events events) {
    if (PortalShortcuts::IsOffered(QDBusConnection::sessionBus())) {
        return std::make_unique<PortalKeys>(events);
    }
    auto* application = qGuiApp;
    if (auto* x11 = application ? application->nativeInterface<QNativeInterface::QX11Application>()
                                : nullptr) {
        if (xcb_connection_t* connection = x11->connection()) {
            return std::make_unique<X11Keys>(*connection, events);
        }
    }
    return nullptr;
}

}  // namespace tsumugiya::ui
