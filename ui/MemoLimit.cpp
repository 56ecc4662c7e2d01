#include "MemoLimit.h"

#include "MemoFit.h"

namespace tsumugiya::ui {

QValidator::State MemoValidator::validate(QString& input, int& pos) const {
    const auto fit = FitMemo(input.toStdU16String(), static_cast<std::size_t>(qMax(pos, 0)),
                             static_cast<std::size_t>(room_()));
    if (!fit) {
        return Acceptable;
    }
    input = QString::fromStdU16String(fit->text);
    pos = static_cast<int>(fit->caret);
    refused_(QString::fromStdString(fit->reasons));
    return fit->fits ? Acceptable : Invalid;
}

}  // namespace tsumugiya::ui
