#pragma once

#include <QDBusConnection>
#include <QDBusPendingCall>
#include <QObject>
#include <QString>
#include <QVariantMap>

namespace tsumugiya::ui {

// One desktop portal call whose answer comes later, as the Response signal of
// a Request object (the user may take a while to answer the desktop's
// dialog). It listens at the path the portal derives from our token before
// the call goes out, since the answer may come before the call's reply, and
// moves to the path the reply names when an older portal chose another.
// It answers once, as Answered or Failed, then deletes itself.
class PortalRequest : public QObject {
    Q_OBJECT

  public:
    PortalRequest(QDBusConnection bus, QObject* parent);
    ~PortalRequest() override;

    // A fresh token for a handle_token or session_handle_token option: an
    // object path element that no other call on this connection uses.
    static QString NewToken();
    // This request's handle_token.
    const QString& Token() const { return token_; }
    // Watches the call's own reply; an error answers as Failed.
    void Follow(const QDBusPendingCall& call);

  signals:
    void Answered(const QVariantMap& results);
    // Why, as the user should read it: the portal's error, or that the user
    // declined.
    void Failed(const QString& cause);

  private slots:
    void OnResponse(uint response, const QVariantMap& results);

  private:
    void Listen(const QString& path);
    void StopListening();
    void Finish();

    QDBusConnection bus_;
    QString token_;
    QString path_;  // where we listen; empty once answered
};

}  // namespace tsumugiya::ui
