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

// Holds the memo field to the rule every backup name's memo follows
// (MemoProblem), with the room asked for each time since it depends on the
// save file's name. What breaks it is dropped from the text just typed or
// pasted: characters no file name can hold wherever they are (the memo
// already there has none), what does not fit from before the cursor, never
// from the memo already there. Each time something is dropped, refused hears
// why, in the user's words.
class MemoValidator : public QValidator {
  public:
    MemoValidator(std::function<int()> room, std::function<void(const QString&)> refused,
                  QObject* parent)
        : QValidator(parent), room_(std::move(room)), refused_(std::move(refused)) {}
    State validate(QString& input, int& pos) const override;

  private:
    std::function<int()> room_;
    std::function<void(const QString&)> refused_;
};

}  // namespace tsumugiya::ui
