#include "PortalShortcuts.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <utility>

#include "Messages.h"
#include "PortalRequest.h"

namespace tsumugiya::ui::portal {

// One entry of the a(sa{sv}) the portal takes and answers with: a shortcut's
// id and its properties.
struct Shortcut {
    QString id;
    QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& argument, const Shortcut& shortcut) {
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, Shortcut& shortcut) {
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

}  // namespace tsumugiya::ui::portal

Q_DECLARE_METATYPE(tsumugiya::ui::portal::Shortcut)

namespace tsumugiya::ui {
namespace {

using portal::Shortcut;
using Shortcuts = QList<Shortcut>;

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kShortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRegistryInterface = QStringLiteral("org.freedesktop.host.portal.Registry");
const QString kSessionInterface = QStringLiteral("org.freedesktop.portal.Session");

// A running portal answers the version in a few milliseconds and a bus
// without one at once; the rest of the wait is for a portal the bus starts
// on demand. The window waits this long at most before it shows.
constexpr int kOfferedTimeoutMs = 500;

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The ids stay the same across runs: the desktop keeps the user's choice
// of trigger under them.
constexpr std::array<std::pair<HotkeyAction, const char*>, 3> kShortcutIds{{
    {HotkeyAction::Backup, "backup"},
    {HotkeyAction::QuickBackup, "quick"},
    {HotkeyAction::Restore, "restore"},
}};

QString ShortcutId(HotkeyAction action) {
    for (const auto& [each, id] : kShortcutIds) {
        if (each == action) {
            return QString::fromLatin1(id);
        }
    }
    return {};
}

std::optional<HotkeyAction> ActionOf(const QString& shortcutId) {
    for (const auto& [action, id] : kShortcutIds) {
        if (shortcutId == QLatin1String(id)) {
            return action;
        }
    }
    return std::nullopt;
}

// Our key names as xkbcommon's keysyms name them. Letters are the lower
// case keysyms, those of the unshifted keys; F-keys, digits, Home, End,
// the arrows, Pause and Print are spelled alike.
QString XkbKeyName(const std::string& key) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 5> kRenamed{{
        {"Ins", "Insert"},
        {"Del", "Delete"},
        {"PgUp", "Page_Up"},
        {"PgDown", "Page_Down"},
        {"Space", "space"},
    }};
    for (const auto& [ours, xkb] : kRenamed) {
        if (key == ours) {
            return FromUtf8(xkb);
        }
    }
    if (key.size() == 1 && std::isupper(static_cast<unsigned char>(key[0]))) {
        return QString(QChar::fromLatin1(static_cast<char>(std::tolower(key[0]))));
    }
    return FromUtf8(key);
}

// A chord in the XDG shortcuts format the portal reads: xkbcommon's
// modifier names and keysym name joined by '+', as "CTRL+SHIFT+F5".
QString XdgTrigger(const KeyChord& chord) {
    static constexpr std::array<std::pair<unsigned, const char*>, 4> kModifiers{{
        {kModCtrl, "CTRL"},
        {kModAlt, "ALT"},
        {kModShift, "SHIFT"},
        {kModMeta, "LOGO"},
    }};
    QStringList parts;
    for (const auto& [bit, name] : kModifiers) {
        if ((chord.modifiers & bit) != 0) {
            parts << QString::fromLatin1(name);
        }
    }
    parts << XkbKeyName(chord.key);
    return parts.join(QLatin1Char('+'));
}

Shortcuts ShortcutsFor(const HotkeyBindings& bindings) {
    Shortcuts shortcuts;
    for (const auto& [action, chord] : bindings) {
        shortcuts.push_back({ShortcutId(action),
                             {{QStringLiteral("description"), FromUtf8(ActionLabel(action))},
                              {QStringLiteral("preferred_trigger"), XdgTrigger(chord)}}});
    }
    return shortcuts;
}

// session_handle is documented as a string; some portals send an object path.
QString SessionHandle(const QVariantMap& results) {
    const QVariant handle = results.value(QStringLiteral("session_handle"));
    if (handle.metaType() == QMetaType::fromType<QDBusObjectPath>()) {
        return handle.value<QDBusObjectPath>().path();
    }
    return handle.toString();
}

QDBusMessage PortalCall(const QString& interface, const QString& method) {
    return QDBusMessage::createMethodCall(kService, kPath, interface, method);
}

void RegisterTypes() {
    static const bool once = [] {
        qDBusRegisterMetaType<Shortcut>();
        qDBusRegisterMetaType<Shortcuts>();
        return true;
    }();
    (void)once;
}

}  // namespace

bool PortalShortcuts::IsOffered(const QDBusConnection& bus) {
    if (!bus.isConnected()) {
        return false;
    }
    QDBusMessage get = QDBusMessage::createMethodCall(
        kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << kShortcutsInterface << QStringLiteral("version");
    return bus.call(get, QDBus::Block, kOfferedTimeoutMs).type() == QDBusMessage::ReplyMessage;
}

PortalShortcuts::PortalShortcuts(QDBusConnection bus, QString applicationId, QObject* parent)
    : QObject(parent), bus_(std::move(bus)), applicationId_(std::move(applicationId)) {
    RegisterTypes();
    // Takes the whole message: QtDBus matches no slot that takes a
    // QDBusObjectPath before that type's marshalling has been registered.
    bus_.connect(kService, kPath, kShortcutsInterface, QStringLiteral("Activated"), this,
                 SLOT(OnActivated(QDBusMessage)));
    // A portal that goes away (it crashed, the desktop restarted it) takes
    // the session and its keys with it.
    auto* portal =
        new QDBusServiceWatcher(kService, bus_, QDBusServiceWatcher::WatchForUnregistration, this);
    connect(portal, &QDBusServiceWatcher::serviceUnregistered, this, [this] { SessionEnded(); });
}

void PortalShortcuts::Bind(const HotkeyBindings& bindings) {
    wanted_ = bindings;
    switch (stage_) {
        case Stage::Ready:
            BindOnSession();
            break;
        case Stage::Starting:
            break;  // the new session binds wanted_
        case Stage::NoSession:
            if (wanted_.empty()) {
                emit Bound({});  // nothing to ask the desktop for
            } else {
                stage_ = Stage::Starting;
                Register();
            }
            break;
    }
}

void PortalShortcuts::Register() {
    if (registered_) {
        CreateSession();
        return;
    }
    registered_ = true;
    QDBusMessage call = PortalCall(kRegistryInterface, QStringLiteral("Register"));
    call << applicationId_ << QVariantMap{};
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    // Any answer will do: a portal without the registry (older ones) names
    // us by our process instead, and one that registered this connection
    // before refuses a second time; the keys work either way.
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        CreateSession();
    });
}

void PortalShortcuts::CreateSession() {
    auto* request = new PortalRequest(bus_, this);
    connect(request, &PortalRequest::Answered, this, [this](const QVariantMap& results) {
        session_ = SessionHandle(results);
        if (session_.isEmpty()) {
            stage_ = Stage::NoSession;
            Fail(FromUtf8(messages::kPortalShortcutsEnded));
            return;
        }
        stage_ = Stage::Ready;
        bus_.connect(kService, session_, kSessionInterface, QStringLiteral("Closed"), this,
                     SLOT(OnSessionClosed(QDBusMessage)));
        BindOnSession();
    });
    connect(request, &PortalRequest::Failed, this, [this](const QString& cause) {
        stage_ = Stage::NoSession;
        Fail(cause);
    });
    QDBusMessage call = PortalCall(kShortcutsInterface, QStringLiteral("CreateSession"));
    call << QVariantMap{{QStringLiteral("handle_token"), request->Token()},
                        {QStringLiteral("session_handle_token"), PortalRequest::NewToken()}};
    request->Follow(bus_.asyncCall(call));
}

void PortalShortcuts::BindOnSession() {
    auto* request = new PortalRequest(bus_, this);
    connect(request, &PortalRequest::Answered, this, &PortalShortcuts::ReportBound);
    connect(request, &PortalRequest::Failed, this, &PortalShortcuts::Fail);
    QDBusMessage call = PortalCall(kShortcutsInterface, QStringLiteral("BindShortcuts"));
    call << QVariant::fromValue(QDBusObjectPath(session_))
         << QVariant::fromValue(ShortcutsFor(wanted_)) << QString()
         << QVariantMap{{QStringLiteral("handle_token"), request->Token()}};
    request->Follow(bus_.asyncCall(call));
}

void PortalShortcuts::ReportBound(const QVariantMap& results) {
    const auto bound = qdbus_cast<Shortcuts>(results.value(QStringLiteral("shortcuts")));
    QStringList lines;
    for (const auto& [action, chord] : wanted_) {
        const auto found = std::find_if(bound.begin(), bound.end(), [&](const Shortcut& s) {
            return s.id == ShortcutId(action);
        });
        QString trigger;
        if (found != bound.end()) {
            trigger = found->properties.value(QStringLiteral("trigger_description")).toString();
        }
        if (trigger.isEmpty()) {
            trigger = FromUtf8(messages::kPortalNoTrigger);
        }
        lines << FromUtf8(ActionLabel(action)) + QStringLiteral(": ") + trigger;
    }
    emit Bound(lines);
}

void PortalShortcuts::Fail(const QString& cause) {
    emit Failed(QString::fromStdString(messages::PortalShortcutsFailed(cause.toStdString())));
}

void PortalShortcuts::OnSessionClosed(const QDBusMessage& signal) {
    if (signal.path() == session_) {
        SessionEnded();
    }
}

// The keys are gone without a word from the user here: said, so that the
// player does not press them in vain. The next Bind (the dialog's OK) asks
// the desktop again; asking at once could put its dialog before the game.
void PortalShortcuts::SessionEnded() {
    if (stage_ != Stage::Ready) {
        return;
    }
    bus_.disconnect(kService, session_, kSessionInterface, QStringLiteral("Closed"), this,
                    SLOT(OnSessionClosed(QDBusMessage)));
    session_.clear();
    stage_ = Stage::NoSession;
    Fail(FromUtf8(messages::kPortalShortcutsEnded));
}

void PortalShortcuts::OnActivated(const QDBusMessage& signal) {
    // (o session_handle, s shortcut_id, t timestamp, a{sv} options)
    const QVariantList arguments = signal.arguments();
    if (arguments.size() < 2) {
        return;
    }
    const QString session = qvariant_cast<QDBusObjectPath>(arguments[0]).path();
    const auto action = ActionOf(arguments[1].toString());
    // A desktop may keep keys bound before: only those asked for last count.
    const bool wanted = action && std::any_of(wanted_.begin(), wanted_.end(),
                                              [&](const auto& b) { return b.first == *action; });
    if (session == session_ && !session_.isEmpty() && wanted) {
        emit Activated(*action);
    }
}

}  // namespace tsumugiya::ui
