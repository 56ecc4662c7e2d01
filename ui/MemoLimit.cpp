#include "MemoLimit.h"

#include <QStringList>
#include <QStringView>
#include <optional>

namespace tsumugiya::ui {
namespace {

std::optional<std::string> ProblemOf(QStringView memo, int room) {
    const QByteArray bytes = memo.toUtf8();
    return MemoProblem(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                       static_cast<std::size_t>(room));
}

// Characters and surrogate pairs, each as one piece.
qsizetype UnitsAt(const QString& text, qsizetype at) {
    const bool pair =
        text.at(at).isHighSurrogate() && at + 1 < text.size() && text.at(at + 1).isLowSurrogate();
    return pair ? 2 : 1;
}

}  // namespace

QString CutToUtf8Bytes(const QString& text, int maxBytes) {
    int bytes = 0;
    qsizetype end = 0;
    while (end < text.size()) {
        const qsizetype units = UnitsAt(text, end);
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
    const int room = room_();
    const auto problem = ProblemOf(input, room);
    if (!problem) {
        return Acceptable;
    }
    QStringList reasons{QString::fromStdString(*problem)};

    // A character is refused when it breaks the rule on its own.
    QString kept;
    int keptPos = pos;
    for (qsizetype at = 0; at < input.size();) {
        const qsizetype units = UnitsAt(input, at);
        const QStringView piece = QStringView(input).mid(at, units);
        if (!ProblemOf(piece, kMemoMaxBytes)) {
            kept += piece;
        } else if (at < pos) {
            keptPos -= static_cast<int>(units);
        }
        at += units;
    }
    if (const auto rest = ProblemOf(kept, room); rest && *rest != *problem) {
        reasons << QString::fromStdString(*rest);  // too long as well
    }

    const auto bytes = [](const QString& text) { return text.toUtf8().size(); };
    const QString after = kept.mid(keptPos);
    const qsizetype left = room - bytes(after);
    const QString before =
        CutToUtf8Bytes(kept.left(keptPos), static_cast<int>(qMax<qsizetype>(left, 0)));
    input = before + after;
    pos = static_cast<int>(before.size());
    refused_(reasons.join(QLatin1Char('\n')));
    return bytes(input) <= room ? Acceptable : Invalid;
}

}  // namespace tsumugiya::ui
