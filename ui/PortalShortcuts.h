#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include "Hotkeys.h"

namespace tsumugiya::ui {

// Global shortcuts through the desktop portal (org.freedesktop.portal.
// GlobalShortcuts): the one way a Wayland desktop lets a program have keys
// while another window has the focus. The desktop owns the keys: it may ask
// the user, and may bind other triggers than the preferred ones.
class PortalShortcuts : public QObject {
    Q_OBJECT

  public:
    // Whether a portal on this bus offers global shortcuts.
    static bool IsOffered(const QDBusConnection& bus);

    // applicationId: the desktop file's name without ".desktop", registered
    // with the portal before anything else.
    PortalShortcuts(QDBusConnection bus, QString applicationId, QObject* parent = nullptr);

    // Asks for these keys, making the session first when there is none yet;
    // the answer comes as Bound or Failed.
    void Bind(const HotkeyBindings& bindings);

  signals:
    void Activated(tsumugiya::HotkeyAction action);
    // The triggers the desktop reports, one "ACTION: TRIGGER" line each.
    void Bound(const QStringList& triggers);
    // The portal refused, the user declined, or the desktop ended the keys
    // (the session closed, the portal gone); the reason as the user should read it.
    void Failed(const QString& why);

  private slots:
    void OnActivated(const QDBusMessage& signal);
    void OnSessionClosed(const QDBusMessage& signal);

  private:
    void Register();
    void CreateSession();
    void BindOnSession();
    void ReportBound(const QVariantMap& results);
    void Fail(const QString& cause);
    void SessionEnded();

    enum class Stage { NoSession, Starting, Ready };

    QDBusConnection bus_;
    QString applicationId_;
    bool registered_ = false;
    Stage stage_ = Stage::NoSession;
    QString session_;
    HotkeyBindings wanted_;  // the latest Bind's
};

}  // namespace tsumugiya::ui
