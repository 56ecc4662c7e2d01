// The floor for any dialog that shows Japanese text: the empty baseline plus
// one label in the face tsumugiya draws its captions in, which is enough to
// start fontconfig and load a CJK font.
#include <QDialog>
#include <QFont>
#include <QLabel>

#include "BaselineDialog.h"

int main(int argc, char** argv) {
    return tsumugiya::bench::RunBaselineDialog(argc, argv, [](QDialog& dialog) {
        auto* label = new QLabel(QStringLiteral("戻すときに確認する。"), &dialog);
        label->setFont(QFont(QStringLiteral("IPAPMincho"), 12));
        label->move(12, 12);
        label->adjustSize();
    });
}
