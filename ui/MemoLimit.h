#pragma once

#include <QString>
#include <QValidator>
#include <functional>

namespace tsumugiya::ui {

// Holds the memo field to the rule every backup name's memo follows
// (FitMemo), with the room asked for each time since it depends on the save
// file's name. Each time something is dropped, refused hears why, in the
// user's words.
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
