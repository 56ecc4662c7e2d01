#include "MemoLimit.h"

#include <QStringView>

namespace tsumugiya::ui {

QString CutToUtf8Bytes(const QString& text, int maxBytes) {
    int bytes = 0;
    qsizetype end = 0;
    while (end < text.size()) {
        const bool pair = text.at(end).isHighSurrogate() && end + 1 < text.size() &&
                          text.at(end + 1).isLowSurrogate();
        const qsizetype units = pair ? 2 : 1;
        const int size = static_cast<int>(QStringView(text).mid(end, units).toUtf8().size());
        if (bytes + size > maxBytes) {
            break;
        }
        bytes += size;
        end += units;
    }
    return text.left(end);
}

}  // namespace tsumugiya::ui
