#include "window/qt/control_widgets.hpp"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStringList>

#include "window/qt/pictures.hpp"
#include "window/qt/twips.hpp"
#include "window/shown_text.hpp"

namespace qor::qt {
namespace {

QString to_qstring(const std::string& text) {
  QString out = QString::fromStdString(text);
  out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return out;
}

void set_role(QWidget& widget, QPalette::ColorRole role, Colour colour) {
  const auto qcolour = to_qcolor(colour);
  if (!qcolour) return;
  QPalette palette = widget.palette();
  palette.setColor(role, *qcolour);
  widget.setPalette(palette);
}

QWidget* create_picture_box(PictureBox& box, QWidget& parent) {
  auto* frame = new QFrame(&parent);
  frame->setAutoFillBackground(true);
  if (box.BorderStyle == Border::FixedSingle3D) {
    frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    frame->setLineWidth(2);
  }
  return frame;
}

QWidget* create_label(Label& label, QWidget& parent) {
  auto* widget = new QLabel(&parent);
  // Captions come from the server: never read them as markup.
  widget->setTextFormat(Qt::PlainText);
  widget->setWordWrap(true);
  widget->setAlignment(Qt::AlignTop | (label.Alignment == TextAlignment::Centre ? Qt::AlignHCenter : Qt::AlignLeft));
  widget->setAutoFillBackground(label.BackStyle == Background::Opaque);
  return widget;
}

QWidget* create_list_box(ListBox& list, QWidget& parent) {
  auto* widget = new QListWidget(&parent);
  widget->setSelectionMode(QAbstractItemView::SingleSelection);
  widget->setSortingEnabled(false);
  // One line of text per item: the view need not measure each of them.
  widget->setUniformItemSizes(true);
  QObject::connect(widget, &QListWidget::itemClicked, widget, [&list](QListWidgetItem*) { list.Click(); });
  return widget;
}

QWidget* create_command(CommandButton& button, QWidget& parent) {
  auto* widget = new QPushButton(&parent);
  QObject::connect(widget, &QPushButton::clicked, widget, [&button] { button.Click(); });
  return widget;
}

void draw_geometry(Control& control, QWidget& widget) {
  if (control.type() == ControlType::Form) return;  // the window's size is fixed
  QPoint origin;
  if (const QWidget* parent = widget.parentWidget()) origin = inner_origin(*parent);
  const int left = to_pixels(control.Left);
  const int top = to_pixels(control.Top);
  QSize size(to_pixels(control.Width), to_pixels(control.Height));
  // An image is as large as its picture; nothing is stretched.
  if (const auto* image = dynamic_cast<const QLabel*>(&widget); image && control.type() == ControlType::Image) {
    const QPixmap pixmap = image->pixmap();
    if (!pixmap.isNull()) size = pixmap.size();
  }
  widget.setGeometry(QRect(origin + QPoint(left, top), size));
}

void draw_colour(Control& control, QWidget& widget, Aspect aspect) {
  const bool back = aspect == Aspect::BackColor;
  if (auto* form = dynamic_cast<FormWindow*>(&control)) {
    if (back) set_role(widget, QPalette::Window, form->BackColor);
  } else if (auto* box = dynamic_cast<PictureBox*>(&control)) {
    set_role(widget, back ? QPalette::Window : QPalette::WindowText, back ? box->BackColor : box->ForeColor);
  } else if (auto* label = dynamic_cast<Label*>(&control)) {
    set_role(widget, back ? QPalette::Window : QPalette::WindowText, back ? label->BackColor : label->ForeColor);
  } else if (auto* list = dynamic_cast<ListBox*>(&control)) {
    set_role(widget, back ? QPalette::Base : QPalette::Text, back ? list->BackColor : list->ForeColor);
  }
}

void draw_caption(Control& control, QWidget& widget) {
  if (auto* form = dynamic_cast<FormWindow*>(&control)) {
    widget.setWindowTitle(to_qstring(shown_text(form->Caption.get())));
  } else if (auto* label = dynamic_cast<Label*>(&control)) {
    static_cast<QLabel&>(widget).setText(to_qstring(shown_text(label->Caption.get())));
  } else if (auto* button = dynamic_cast<CommandButton*>(&control)) {
    static_cast<QPushButton&>(widget).setText(to_qstring(shown_text(button->Caption.get())));
  }
}

void draw_font(Control& control, QWidget& widget) {
  const auto* label = dynamic_cast<const Label*>(&control);
  const bool bold = label ? label->FontBold.get() : control.Font.Bold;
  widget.setFont(to_qfont(control.Font, bold, QApplication::font()));
}

void draw_items(ListBox& list, QListWidget& widget) {
  QStringList items;
  for (const std::string& text : list.texts()) items.append(to_qstring(text));
  widget.clear();
  widget.addItems(items);
}

}  // namespace

QWidget* create_control_widget(Control& control, QWidget& parent) {
  switch (control.type()) {
    case ControlType::PictureBox:
      return create_picture_box(static_cast<PictureBox&>(control), parent);
    case ControlType::Label:
      return create_label(static_cast<Label&>(control), parent);
    case ControlType::Image:
      return new QLabel(&parent);
    case ControlType::ListBox:
      return create_list_box(static_cast<ListBox&>(control), parent);
    case ControlType::CommandButton:
      return create_command(static_cast<CommandButton&>(control), parent);
    case ControlType::Timer:
    case ControlType::Form:
      return nullptr;
  }
  return nullptr;
}

QPoint inner_origin(const QWidget& container) {
  if (const auto* frame = dynamic_cast<const QFrame*>(&container)) return frame->contentsRect().topLeft();
  return {};
}

void draw_aspect(Control& control, QWidget& widget, Aspect aspect) {
  switch (aspect) {
    case Aspect::Geometry:
      draw_geometry(control, widget);
      break;
    case Aspect::Visible:
      if (control.type() != ControlType::Form) widget.setVisible(control.Visible);
      break;
    case Aspect::Caption:
      draw_caption(control, widget);
      break;
    case Aspect::ForeColor:
    case Aspect::BackColor:
      draw_colour(control, widget, aspect);
      break;
    case Aspect::FontBold:
      draw_font(control, widget);
      break;
    case Aspect::Picture:
      if (auto* image = dynamic_cast<Image*>(&control)) {
        static_cast<QLabel&>(widget).setPixmap(picture_pixmap(image->Picture));
        draw_geometry(control, widget);
      }
      break;
    case Aspect::Items:
      if (auto* list = dynamic_cast<ListBox*>(&control)) draw_items(*list, static_cast<QListWidget&>(widget));
      break;
    case Aspect::Enabled:
      break;  // timers only; the view runs them
  }
}

}  // namespace qor::qt
