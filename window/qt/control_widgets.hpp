// One Qt widget per control type, and how each model aspect is drawn on it.
#pragma once

#include <QPoint>

#include "window/QOR_sync_FRM.hpp"

class QWidget;

namespace qor::qt {

// The widget for a picture box, label, image, list box or command button,
// owned by `parent`. Null for the window and for timers.
QWidget* create_control_widget(Control& control, QWidget& parent);

// Children are placed from the container's inner area, inside its border.
QPoint inner_origin(const QWidget& container);

// Draws one aspect of the control's current state on its widget; for the
// window (FormWindow) the widget is the top-level window.
void draw_aspect(Control& control, QWidget& widget, Aspect aspect);

}  // namespace qor::qt
