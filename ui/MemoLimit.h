#pragma once

#include <QString>
#include <QValidator>
#include <functional>
#include <string>

#include "BackupNames.h"

namespace tsumugiya::ui {

inline constexpr int kMemoMaxBytes = static_cast<int>(tsumugiya::kMemoMaxBytes);

// The longest start of text that fits in maxBytes of UTF-8, never ending
// inside a character (a surrogate pair counts as one).
QString CutToUtf8Bytes(const QString& text, int maxBytes);

// Keeps the memo field within a number of UTF-8 bytes, asked for each time
// since it depends on the save file's name. What does not fit is dropped
// from the text just typed or pasted (before the cursor), never from the
// memo already there; at the limit a keystroke changes nothing.
class MemoValidator : public QValidator {
  public:
    MemoValidator(std::function<int()> maxBytes, QObject* parent)
        : QValidator(parent), maxBytes_(std::move(maxBytes)) {}
    State validate(QString& input, int& pos) const override;

  private:
    std::function<int()> maxBytes_;
};

}  // namespace tsumugiya::ui
