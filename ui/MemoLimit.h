#pragma once

#include <QString>
#include <QValidator>
#include <string>

namespace tsumugiya::ui {

// The most UTF-8 bytes a memo may take: it becomes part of a file name.
inline constexpr int kMemoMaxBytes = 255;

// The longest start of text that fits in maxBytes of UTF-8, never ending
// inside a character (a surrogate pair counts as one).
QString CutToUtf8Bytes(const QString& text, int maxBytes);

// Keeps the memo field within kMemoMaxBytes. What does not fit is dropped
// from the text just typed or pasted (before the cursor), never from the
// memo already there; at the limit a keystroke changes nothing.
class MemoValidator : public QValidator {
  public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
};

}  // namespace tsumugiya::ui
