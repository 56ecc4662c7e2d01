#include "Resources.h"

#include <QFile>
#include <QFont>
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
    QIcon icon;
    for (const int size : {16, 32, 48, 256}) {
        icon.addFile(QStringLiteral(":/icons/tsumugiya-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

void InstallFontStandIns() {
    const QStringList gothic{QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic")};
    const QStringList mincho{QStringLiteral("IPAPMincho"), QStringLiteral("IPAMincho")};
    QFont::insertSubstitutions(QStringLiteral("MS UI Gothic"), gothic);
    QFont::insertSubstitutions(QStringLiteral("ＭＳ Ｐゴシック"), gothic);
    QFont::insertSubstitutions(QStringLiteral("ＭＳ Ｐ明朝"), mincho);
}

}  // namespace tsumugiya::ui
