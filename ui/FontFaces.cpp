#include "FontFaces.h"

namespace tsumugiya::ui {

QString StandInFamily(const QString& face) {
    if (face == QStringLiteral("MS UI Gothic") || face == QStringLiteral("ＭＳ Ｐゴシック")) {
        return QStringLiteral("IPAPGothic");
    }
    if (face == QStringLiteral("ＭＳ Ｐ明朝")) {
        return QStringLiteral("IPAPMincho");
    }
    return face;
}

}  // namespace tsumugiya::ui
