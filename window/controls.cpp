#include "window/controls.hpp"

namespace qor {

Control::Control(ControlType type, std::string name, int index) : type_(type), name_(std::move(name)), index_(index) {}

std::string Control::display_name() const { return index_ < 0 ? name_ : name_ + "(" + std::to_string(index_) + ")"; }

void Control::add_child(Control& child) {
  child.set_container(this);
  children_.push_back(&child);
}

void Control::notify(Aspect aspect) {
  if (observer_) observer_->changed(*this, aspect);
}

void Control::place(float left, float top, float width, float height) {
  Left.set_quietly(left);
  Top.set_quietly(top);
  Width.set_quietly(width);
  Height.set_quietly(height);
}

void ListBox::AddItem(std::string text) {
  items_.push_back(Item{std::move(text), 0});
  new_index_ = static_cast<int>(items_.size()) - 1;
  notify(Aspect::Items);
}

void ListBox::Clear() {
  items_.clear();
  new_index_ = -1;
  notify(Aspect::Items);
}

std::vector<std::string> ListBox::texts() const {
  std::vector<std::string> out;
  out.reserve(items_.size());
  for (const auto& item : items_) out.push_back(item.text);
  return out;
}

void ListBox::assign(std::vector<std::string> texts) {
  items_.clear();
  items_.reserve(texts.size());
  for (auto& text : texts) items_.push_back(Item{std::move(text), 0});
  new_index_ = static_cast<int>(items_.size()) - 1;
  notify(Aspect::Items);
}

}  // namespace qor
