#include "TemplateControls.h"

#include <QCheckBox>
#include <QFrame>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStringListModel>
#include <stdexcept>

#include "Resources.h"

namespace tsumugiya::ui {
namespace {

Qt::Alignment StaticAlignment(const ControlTemplate& control) {
    Qt::Alignment horizontal = Qt::AlignLeft;
    if (control.Has(QStringLiteral("SS_CENTER"))) {
        horizontal = Qt::AlignHCenter;
    } else if (control.Has(QStringLiteral("SS_RIGHT"))) {
        horizontal = Qt::AlignRight;
    }
    const Qt::Alignment vertical =
        control.Has(QStringLiteral("SS_CENTERIMAGE")) ? Qt::AlignVCenter : Qt::AlignTop;
    return horizontal | vertical;
}

QWidget* CreateStatic(const ControlTemplate& control, QWidget& dialog) {
    auto* label = new QLabel(control.caption, &dialog);
    label->setAlignment(StaticAlignment(control));
    label->setTextFormat(Qt::PlainText);
    if (control.Has(QStringLiteral("SS_SUNKEN"))) {
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setLineWidth(1);
        label->setIndent(2);
    }
    return label;
}

QWidget* CreateListBox(const ControlTemplate& control, QWidget& dialog) {
    // A view over a model, as a list box is a view over its entries: empty
    // here, its owner gives it entries or a model of its own.
    auto* list = new QListView(&dialog);
    list->setModel(new QStringListModel(list));
    list->setSelectionMode(control.Has(QStringLiteral("LBS_EXTENDEDSEL"))
                               ? QAbstractItemView::ExtendedSelection
                               : QAbstractItemView::SingleSelection);
    const auto policy = [&](const char* style) {
        return control.Has(QString::fromLatin1(style)) ? Qt::ScrollBarAsNeeded
                                                       : Qt::ScrollBarAlwaysOff;
    };
    list->setHorizontalScrollBarPolicy(policy("WS_HSCROLL"));
    list->setVerticalScrollBarPolicy(policy("WS_VSCROLL"));
    // Uniform sizes take one entry's width for all: where the list scrolls
    // sideways, its owner says which entry is widest.
    list->setUniformItemSizes(true);
    return list;
}

// One key with its modifiers: a further key pressed replaces it rather than
// making a sequence, which no hotkey can be.
class ChordEdit : public QKeySequenceEdit {
  public:
    using QKeySequenceEdit::QKeySequenceEdit;

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        QKeySequenceEdit::keyPressEvent(event);
        const QKeySequence sequence = keySequence();
        if (sequence.count() > 1) {
            setKeySequence(QKeySequence(sequence[sequence.count() - 1]));
        }
    }
};

QWidget* CreateHotkey(QWidget& dialog) {
    auto* edit = new ChordEdit(&dialog);
    edit->setClearButtonEnabled(true);
    return edit;
}

QWidget* CreateIcon(QWidget& dialog, const QRect& pixels) {
    auto* label = new QLabel(&dialog);
    const int side = qMin(pixels.width(), pixels.height());
    label->setPixmap(ProgramIcon().pixmap(side, side));
    label->setAlignment(Qt::AlignCenter);
    return label;
}

}  // namespace

TemplateControls::TemplateControls(const DialogTemplate& layout, QWidget& dialog)
    : units_((dialog.setFont(layout.Font()), dialog.font())) {
    dialog.setWindowTitle(layout.caption);
    dialog.setFixedSize(units_.ToPixels(layout.size));
    for (const ControlTemplate& control : layout.controls) {
        QWidget* widget = Create(control, dialog);
        const QRect pixels = units_.ToPixels(control.rect);
        widget->setGeometry(pixels);
        if (!control.Has(QStringLiteral("WS_VISIBLE"))) {
            widget->hide();
            widget->setFocusPolicy(Qt::NoFocus);
        } else if (!control.Has(QStringLiteral("WS_TABSTOP"))) {
            widget->setFocusPolicy(
                static_cast<Qt::FocusPolicy>(widget->focusPolicy() & ~Qt::TabFocus));
        }
        placed_.push_back(Placed{widget, control, pixels});
        if (control.id != -1) {
            byId_[control.id] = widget;
        }
    }
    // Group boxes come late in the layout but frame earlier controls; kept
    // at the back they never take their clicks.
    for (const Placed& placed : placed_) {
        if (placed.layout.kind == QLatin1String("groupbox")) {
            placed.widget->lower();
        }
    }
}

QWidget* TemplateControls::Control(int id) const {
    const auto found = byId_.find(id);
    return found == byId_.end() ? nullptr : found->second;
}

QWidget* TemplateControls::Create(const ControlTemplate& control, QWidget& dialog) const {
    const QString& kind = control.kind;
    if (kind == QLatin1String("button")) {
        auto* button = new QPushButton(control.caption, &dialog);
        button->setDefault(control.Has(QStringLiteral("BS_DEFPUSHBUTTON")));
        return button;
    }
    if (kind == QLatin1String("checkbox")) {
        return new QCheckBox(control.caption, &dialog);
    }
    if (kind == QLatin1String("edit")) {
        return new QLineEdit(control.caption, &dialog);
    }
    if (kind == QLatin1String("listbox")) {
        return CreateListBox(control, dialog);
    }
    if (kind == QLatin1String("static")) {
        return CreateStatic(control, dialog);
    }
    if (kind == QLatin1String("groupbox")) {
        // The layout's group boxes have no caption: an etched frame is all they draw.
        auto* box = new QFrame(&dialog);
        box->setFrameStyle(QFrame::Box | QFrame::Sunken);
        box->setFocusPolicy(Qt::NoFocus);
        return box;
    }
    if (kind == QLatin1String("hotkey")) {
        return CreateHotkey(dialog);
    }
    if (kind == QLatin1String("icon")) {
        return CreateIcon(dialog, units_.ToPixels(control.rect));
    }
    throw std::runtime_error("unknown control kind: " + kind.toStdString());
}

void TemplateControls::FitCaptions() {
    for (const Placed& placed : placed_) {
        const QString& kind = placed.layout.kind;
        if (placed.layout.caption.isEmpty() ||
            (kind != QLatin1String("static") && kind != QLatin1String("checkbox"))) {
            continue;
        }
        const QSize needed = placed.widget->sizeHint();
        QRect rect = placed.pixels;
        if (needed.width() > rect.width()) {
            const int extra = needed.width() - rect.width();
            const Qt::Alignment alignment = kind == QLatin1String("static")
                                                ? StaticAlignment(placed.layout)
                                                : Qt::Alignment(Qt::AlignLeft);
            if (alignment & Qt::AlignHCenter) {
                rect.adjust(-extra / 2, 0, extra - extra / 2, 0);
            } else if (alignment & Qt::AlignRight) {
                rect.adjust(-extra, 0, 0, 0);
            } else {
                rect.adjust(0, 0, extra, 0);
            }
        }
        if (needed.height() > rect.height()) {
            const int extra = needed.height() - rect.height();
            rect.adjust(0, -extra / 2, 0, extra - extra / 2);
        }
        placed.widget->setGeometry(rect);
    }
}

}  // namespace tsumugiya::ui
