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

QValidator::State MemoValidator::validate(QString& input, int& pos) const {
    const auto bytes = [](const QString& text) { return text.toUtf8().size(); };
    const int maxBytes = maxBytes_();
    if (bytes(input) <= maxBytes) {
        return Acceptable;
    }
    const QString after = input.mid(pos);
    const qsizetype room = maxBytes - bytes(after);
    const QString before =
        CutToUtf8Bytes(input.left(pos), static_cast<int>(qMax<qsizetype>(room, 0)));
    input = before + after;
    pos = static_cast<int>(before.size());
    return bytes(input) <= maxBytes ? Acceptable : Invalid;
}

}  // namespace tsumugiya::ui
