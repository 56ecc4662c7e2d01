#pragma once

#include <QByteArray>
#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <vector>

namespace tsumugiya::ui {

// One control of a dialog layout: what it is, what it says, where it sits.
struct ControlTemplate {
    int id = -1;
    QString kind;  // button, checkbox, edit, hotkey, listbox, static, groupbox or icon
    QString caption;
    QStringList styles;  // Windows style names, e.g. WS_VISIBLE, LBS_EXTENDEDSEL
    QRect rect;          // dialog units

    bool Has(const QString& style) const { return styles.contains(style); }
};

// A dialog layout as the files in res/dialogs describe it. Sizes are dialog
// units of the layout's own font, so any front-end can place the controls.
struct DialogTemplate {
    int id = 0;
    QString caption;
    QStringList styles;
    QString fontFace;
    int fontPoints = 9;
    int fontWeight = 400;
    bool fontItalic = false;
    QSize size;  // dialog units
    std::vector<ControlTemplate> controls;

    // Throws std::runtime_error naming the source when the layout is malformed.
    static DialogTemplate FromJson(const QByteArray& json, const QString& source);

    // The layout font, in its stand-in face where the named one is a Windows face.
    QFont Font() const;
    bool Has(const QString& style) const { return styles.contains(style); }
};

}  // namespace tsumugiya::ui
