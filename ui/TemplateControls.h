#pragma once

#include <QWidget>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "DialogTemplate.h"
#include "DialogUnits.h"

namespace tsumugiya::ui {

// The controls of a dialog layout, created as children of a dialog in
// layout order (which is also their tab order) and placed in pixels.
class TemplateControls {
  public:
    // Gives the dialog the layout's caption, font and fixed size, then
    // creates the controls. Controls without WS_VISIBLE are never shown.
    TemplateControls(const DialogTemplate& layout, QWidget& dialog);

    QWidget* Control(int id) const;
    template <class T>
    T* Get(int id) const {
        return qobject_cast<T*>(Control(id));
    }
    // The control of this id and kind; a layout without it is a build fault.
    template <class T>
    T& Require(int id) const {
        if (T* control = Get<T>(id)) {
            return *control;
        }
        throw std::runtime_error("the dialog layout lacks control " + std::to_string(id));
    }
    const DialogUnits& Units() const { return units_; }

    // Widens labels and check boxes whose caption, in the font they have
    // now, would not fit their place; they grow away from their alignment
    // edge and stay centred vertically.
    void FitCaptions();

  private:
    struct Placed {
        QWidget* widget;
        ControlTemplate layout;
        QRect pixels;
    };

    QWidget* Create(const ControlTemplate& control, QWidget& dialog) const;

    DialogUnits units_;
    std::vector<Placed> placed_;
    std::map<int, QWidget*> byId_;
};

}  // namespace tsumugiya::ui
