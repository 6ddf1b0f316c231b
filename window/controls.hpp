// The window toolkit's control model: plain C++ objects that hold every
// property exactly as the program assigns it. Step procedures and tests work
// on this model only; a view (the Qt binding) observes it and draws it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace qor {

// A colour in the 0x00BBGGRR layout; 0x800000nn names system colour nn.
using Colour = std::int32_t;

inline constexpr Colour kSystemWindowBackground = static_cast<Colour>(0x80000005u);
inline constexpr Colour kSystemWindowText = static_cast<Colour>(0x80000008u);
inline constexpr Colour kSystemButtonFace = static_cast<Colour>(0x8000000Fu);
inline constexpr Colour kSystemButtonText = static_cast<Colour>(0x80000012u);

// Which property of a control changed; a view redraws only what it must.
enum class Aspect { Geometry, Visible, Caption, ForeColor, BackColor, FontBold, Picture, Items, Enabled };

class Control;

class ControlObserver {
 public:
  virtual ~ControlObserver() = default;
  virtual void changed(Control& control, Aspect aspect) = 0;
};

// A property that tells its control's observer about every assignment, also
// of an equal value: the toolkit repaints on every assignment, and tests can
// count assignments.
template <class T>
class Prop {
 public:
  Prop(Control& owner, Aspect aspect, T initial) : owner_(owner), aspect_(aspect), value_(std::move(initial)) {}
  Prop(const Prop&) = delete;
  Prop& operator=(const Prop& other) { return *this = other.value_; }
  Prop& operator=(T value);
  operator const T&() const { return value_; }  // NOLINT(google-explicit-constructor)
  const T& get() const { return value_; }
  // Sets the value without telling the observer (design values, views echoing a change).
  void set_quietly(T value) { value_ = std::move(value); }

 private:
  Control& owner_;
  Aspect aspect_;
  T value_;
};

enum class ControlType { PictureBox, Label, Image, ListBox, CommandButton, Timer, Form };

// Design placement and look that a view needs once, when it creates the widget.
struct FontSpec {
  std::string Name;  // empty: the toolkit's default font
  double Size = 0;   // points; 0: the toolkit's default size
  bool Bold = false;
};

enum class TextAlignment { Left, Centre };
enum class Border { None, FixedSingle3D };
enum class Background { Transparent, Opaque };

class Control {
 public:
  Control(ControlType type, std::string name, int index);
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;
  virtual ~Control() = default;

  ControlType type() const { return type_; }
  const std::string& name() const { return name_; }
  // Element index within its control array; -1 for a single control.
  int Index() const { return index_; }
  // "Label7(5)" or "List3".
  std::string display_name() const;

  Control* container() const { return container_; }
  void set_container(Control* container) { container_ = container; }
  const std::vector<Control*>& children() const { return children_; }
  void add_child(Control& child);

  void set_observer(ControlObserver* observer) { observer_ = observer; }
  void notify(Aspect aspect);

  // Events, as the toolkit raises them; the window connects its handlers.
  std::function<void()> on_click;
  std::function<void()> on_mouse_move;
  void Click() {
    if (on_click) on_click();
  }
  void MouseMove() {
    if (on_mouse_move) on_mouse_move();
  }

  Prop<float> Left{*this, Aspect::Geometry, 0};
  Prop<float> Top{*this, Aspect::Geometry, 0};
  Prop<float> Width{*this, Aspect::Geometry, 0};
  Prop<float> Height{*this, Aspect::Geometry, 0};
  Prop<bool> Visible{*this, Aspect::Visible, true};

  int TabIndex = 0;
  // Stacking among siblings: higher is drawn above lower.
  int ZOrder = 0;
  FontSpec Font;

  // Design geometry, set once when the window is built; tells no observer.
  void place(float left, float top, float width, float height);

 private:
  ControlType type_;
  std::string name_;
  int index_;
  Control* container_ = nullptr;
  std::vector<Control*> children_;
  ControlObserver* observer_ = nullptr;
};

// A named picture of the window's design resources ("lang_de_p", "logo").
struct PictureAsset {
  std::string asset;
  bool operator==(const PictureAsset&) const = default;
};

class PictureBox : public Control {
 public:
  PictureBox(std::string name, int index = -1) : Control(ControlType::PictureBox, std::move(name), index) {}
  Prop<Colour> BackColor{*this, Aspect::BackColor, kSystemButtonFace};
  Prop<Colour> ForeColor{*this, Aspect::ForeColor, kSystemButtonText};
  Border BorderStyle = Border::None;
};

class Label : public Control {
 public:
  Label(std::string name, int index = -1) : Control(ControlType::Label, std::move(name), index) {}
  Prop<std::string> Caption{*this, Aspect::Caption, {}};
  Prop<Colour> ForeColor{*this, Aspect::ForeColor, kSystemButtonText};
  Prop<Colour> BackColor{*this, Aspect::BackColor, kSystemButtonFace};
  Prop<bool> FontBold{*this, Aspect::FontBold, false};
  Background BackStyle = Background::Opaque;
  TextAlignment Alignment = TextAlignment::Left;
};

class Image : public Control {
 public:
  Image(std::string name, int index = -1) : Control(ControlType::Image, std::move(name), index) {}
  Prop<PictureAsset> Picture{*this, Aspect::Picture, {}};
  std::string Tag;
};

class ListBox : public Control {
 public:
  ListBox(std::string name, int index = -1) : Control(ControlType::ListBox, std::move(name), index) {}
  Prop<Colour> BackColor{*this, Aspect::BackColor, kSystemWindowBackground};
  Prop<Colour> ForeColor{*this, Aspect::ForeColor, kSystemWindowText};

  void AddItem(std::string text);
  void Clear();
  int ListCount() const { return static_cast<int>(items_.size()); }
  // Index of the item added last; -1 when the list is empty.
  int NewIndex() const { return new_index_; }
  const std::string& List(int i) const { return items_.at(static_cast<std::size_t>(i)).text; }
  std::int32_t& ItemData(int i) { return items_.at(static_cast<std::size_t>(i)).data; }
  std::int32_t ItemData(int i) const { return items_.at(static_cast<std::size_t>(i)).data; }
  // All item texts in order, for views and tests.
  std::vector<std::string> texts() const;
  // Replaces every item at once: one notification instead of one per item.
  void assign(std::vector<std::string> texts);

 private:
  struct Item {
    std::string text;
    std::int32_t data = 0;
  };
  std::vector<Item> items_;
  int new_index_ = -1;
};

class CommandButton : public Control {
 public:
  CommandButton(std::string name, int index = -1) : Control(ControlType::CommandButton, std::move(name), index) {}
  Prop<std::string> Caption{*this, Aspect::Caption, {}};
};

class Timer : public Control {
 public:
  explicit Timer(std::string name) : Control(ControlType::Timer, std::move(name), -1) {}
  Prop<bool> Enabled{*this, Aspect::Enabled, false};
  int Interval = 0;  // milliseconds
  // The toolkit calls this on each tick while the timer is enabled.
  std::function<void()> on_timer;
  void Tick() {
    if (on_timer) on_timer();
  }
};

// A control array: elements addressed by their design index, enumerable in
// index order. Only the indices the window declares exist.
template <class T>
class ControlArray {
 public:
  explicit ControlArray(std::string name, std::initializer_list<int> indices) {
    for (int i : indices) elements_.try_emplace(i, name, i);
  }
  T& operator()(int index) { return elements_.at(index); }
  const T& operator()(int index) const { return elements_.at(index); }
  bool exists(int index) const { return elements_.count(index) != 0; }
  template <class F>
  void for_each(F&& f) {
    for (auto& [index, element] : elements_) f(element);
  }

 private:
  std::map<int, T> elements_;
};

template <class T>
Prop<T>& Prop<T>::operator=(T value) {
  value_ = std::move(value);
  owner_.notify(aspect_);
  return *this;
}

}  // namespace qor
