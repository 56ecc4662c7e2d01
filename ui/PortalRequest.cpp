#include "PortalRequest.h"

#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QRandomGenerator>
#include <utility>

#include "Messages.h"

namespace tsumugiya::ui {
namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");

// Response codes of org.freedesktop.portal.Request.
constexpr uint kSuccess = 0;
constexpr uint kCancelled = 1;

// Where the portal puts the Request for a token: our unique name without
// its ':', with '.' made '_'.
QString PredictedPath(const QDBusConnection& bus, const QString& token) {
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
}

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

PortalRequest::PortalRequest(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)), token_(NewToken()) {
    Listen(PredictedPath(bus_, token_));
}

PortalRequest::~PortalRequest() {
    StopListening();
}

QString PortalRequest::NewToken() {
    // Random, so that a token left over from a request of an earlier run
    // on the same connection name cannot be taken for ours.
    return QStringLiteral("tsumugiya_%1").arg(QRandomGenerator::global()->generate64(), 0, 16);
}

void PortalRequest::Follow(const QDBusPendingCall& call) {
    auto* watcher = new QDBusPendingCallWatcher(call, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *w;
        if (path_.isEmpty()) {
            return;  // answered already
        }
        if (reply.isError()) {
            emit Failed(reply.error().message());
            Finish();
        } else if (reply.value().path() != path_) {
            Listen(reply.value().path());
        }
    });
}

void PortalRequest::OnResponse(uint response, const QVariantMap& results) {
    if (response == kSuccess) {
        emit Answered(results);
    } else {
        emit Failed(FromUtf8(response == kCancelled ? messages::kPortalShortcutsDeclined
                                                    : messages::kPortalShortcutsEnded));
    }
    Finish();
}

void PortalRequest::Listen(const QString& path) {
    StopListening();
    path_ = path;
    bus_.connect(kService, path_, kRequestInterface, QStringLiteral("Response"), this,
                 SLOT(OnResponse(uint, QVariantMap)));
}

void PortalRequest::StopListening() {
    if (!path_.isEmpty()) {
        bus_.disconnect(kService, path_, kRequestInterface, QStringLiteral("Response"), this,
                        SLOT(OnResponse(uint, QVariantMap)));
        path_.clear();
    }
}

void PortalRequest::Finish() {
    StopListening();
    deleteLater();
}

}  // namespace tsumugiya::ui
