#include "Resources.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <stdexcept>

namespace tsumugiya::ui {
namespace {

QByteArray ReadResource(const QString& resource) {
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly)) {
        throw std::runtime_error(resource.toStdString() + ": " + file.errorString().toStdString());
    }
    return file.readAll();
}

}  // namespace

DialogTemplate LoadDialogTemplate(const QString& resource) {
    return DialogTemplate::FromJson(ReadResource(resource), resource);
}

QString LoadResourceString(int id) {
    const QJsonObject strings =
        QJsonDocument::fromJson(ReadResource(QStringLiteral(":/strings.json"))).object();
    return strings.value(QString::number(id)).toString();
}

QIcon ProgramIcon() {
    // Decoded once: the application and every dialog share it.
    static const QIcon icon = [] {
        QIcon sizes;
        for (const int size : {16, 32, 48, 256}) {
            sizes.addFile(QStringLiteral(":/icons/tsumugiya-%1.png").arg(size), QSize(size, size));
        }
        return sizes;
    }();
    return icon;
}

}  // namespace tsumugiya::ui
