#include "DialogTemplate.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <stdexcept>

#include "FontFaces.h"

namespace tsumugiya::ui {
namespace {

[[noreturn]] void Malformed(const QString& source, const QString& what) {
    throw std::runtime_error(QStringLiteral("%1: %2").arg(source, what).toStdString());
}

int RequiredInt(const QJsonObject& object, const char* key, const QString& source) {
    const QJsonValue value = object.value(QLatin1String(key));
    if (!value.isDouble()) {
        Malformed(source, QStringLiteral("\"%1\" must be a number").arg(QLatin1String(key)));
    }
    return value.toInt();
}

QStringList Strings(const QJsonValue& value) {
    QStringList list;
    for (const QJsonValue& item : value.toArray()) {
        list << item.toString();
    }
    return list;
}

ControlTemplate ControlFrom(const QJsonObject& object, const QString& source) {
    ControlTemplate control;
    control.id = RequiredInt(object, "id", source);
    control.kind = object.value(QLatin1String("kind")).toString();
    if (control.kind.isEmpty()) {
        Malformed(source, QStringLiteral("control %1 has no kind").arg(control.id));
    }
    control.caption = object.value(QLatin1String("caption")).toString();
    control.styles = Strings(object.value(QLatin1String("styles")));
    control.rect = QRect(RequiredInt(object, "x", source), RequiredInt(object, "y", source),
                         RequiredInt(object, "w", source), RequiredInt(object, "h", source));
    return control;
}

}  // namespace

DialogTemplate DialogTemplate::FromJson(const QByteArray& json, const QString& source) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (!document.isObject()) {
        Malformed(source, error.error != QJsonParseError::NoError
                              ? error.errorString()
                              : QStringLiteral("not an object"));
    }
    const QJsonObject root = document.object();
    DialogTemplate dialog;
    dialog.id = RequiredInt(root, "id", source);
    dialog.caption = root.value(QLatin1String("caption")).toString();
    dialog.styles = Strings(root.value(QLatin1String("styles")));
    const QJsonObject font = root.value(QLatin1String("font")).toObject();
    dialog.fontFace = font.value(QLatin1String("face")).toString();
    dialog.fontPoints = RequiredInt(font, "points", source);
    dialog.fontWeight = font.value(QLatin1String("weight")).toInt(400);
    dialog.fontItalic = font.value(QLatin1String("italic")).toBool(false);
    dialog.size = QSize(RequiredInt(root, "w", source), RequiredInt(root, "h", source));
    for (const QJsonValue& control : root.value(QLatin1String("controls")).toArray()) {
        if (!control.isObject()) {
            Malformed(source, QStringLiteral("a control is not an object"));
        }
        dialog.controls.push_back(ControlFrom(control.toObject(), source));
    }
    return dialog;
}

QFont DialogTemplate::Font() const {
    QFont font(StandInFamily(fontFace));
    font.setPointSize(fontPoints);
    // Windows weights run 100..900 like CSS; Qt 6 uses the same scale.
    font.setWeight(static_cast<QFont::Weight>(fontWeight));
    font.setItalic(fontItalic);
    return font;
}

}  // namespace tsumugiya::ui
