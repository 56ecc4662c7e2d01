#include "Resources.h"

#include <QFile>
#include <QImageReader>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPixmap>
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
    // Decoded once, as PNG without probing every image plugin; the window
    // needs no more than 48 pixels.
    static const QIcon icon = [] {
        QIcon sizes;
        for (const int size : {16, 32, 48}) {
            QImageReader reader(QStringLiteral(":/icons/tsumugiya-%1.png").arg(size), "png");
            reader.setAutoDetectImageFormat(false);
            sizes.addPixmap(QPixmap::fromImage(reader.read()));
        }
        return sizes;
    }();
    return icon;
}

}  // namespace tsumugiya::ui
