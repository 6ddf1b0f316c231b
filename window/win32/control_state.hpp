// What the view keeps for one control: its window (or, for a label or an
// image, the window of the container it is drawn on) and the colours it
// shows. A window's GWLP_USERDATA points here.
#pragma once

#include "platform/win32/windows_api.hpp"

#include "window/controls.hpp"
#include "window/win32/win32_handles.hpp"

namespace qor::win32 {

class FormView;

struct ControlState {
  FormView* view = nullptr;
  Control* control = nullptr;
  // The control's own window; null for labels and images, which are drawn
  // on their container's surface.
  HWND hwnd = nullptr;
  HWND container = nullptr;
  int id = 0;  // child window id; 0 for the window and windowless controls
  // The colours last shown: a colour the toolkit cannot show keeps them.
  COLORREF back = 0;
  COLORREF fore = 0;
  UniqueBrush back_brush;  // list boxes: their background for WM_CTLCOLORLISTBOX
  // Where a windowless control was last drawn, to repaint it when it moves.
  RECT drawn{0, 0, 0, 0};
};

}  // namespace qor::win32
