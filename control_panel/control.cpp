#include "control_panel/control.h"

namespace zl::panel {

Control::Control(std::string name, ControlKind kind, std::string caption)
    : name_(std::move(name)), kind_(kind), caption_(std::move(caption)) {}

void Control::Changed() {
  if (!observer_ || !*observer_) return;
  try {
    (*observer_)(*this);
  } catch (...) {
    // A view that fails to mirror a change must not undo the window's work.
  }
}

void Control::Raise(const std::function<void()>& event) {
  if (event) event();
}

void Control::SetCaption(const std::string& caption) {
  if (caption == caption_) return;
  caption_ = caption;
  Changed();
}

void Control::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Changed();
}

void Control::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  Changed();
}

void Control::SetChecked(bool checked) {
  if (checked == checked_) return;
  if (kind_ == ControlKind::RadioButton && checked) {
    for (Control* sibling : radioGroup_) sibling->SetChecked(false);
  }
  checked_ = checked;
  Changed();
  // A radio button reports becoming checked only; a check box every change.
  if (kind_ != ControlKind::RadioButton || checked_) Raise(OnClick);
}

void Control::SetText(const std::string& text) {
  if (text == text_) return;
  text_ = text;
  Changed();
  Raise(OnChange);
}

void Control::ClearItems() {
  if (items_.empty() && itemIndex_ == -1) return;
  items_.clear();
  itemIndex_ = -1;
  Changed();
}

void Control::AddItem(const std::string& item) {
  items_.push_back(item);
  Changed();
}

void Control::SetItemIndex(int index) {
  if (index < 0 || index >= static_cast<int>(items_.size())) index = -1;
  if (index == itemIndex_) return;
  itemIndex_ = index;
  Changed();
}

void Control::SetPageIndex(int index) {
  if (index == pageIndex_) return;
  pageIndex_ = index;
  Changed();
}

void Control::JoinRadioGroup(Control& sibling) {
  radioGroup_.push_back(&sibling);
  sibling.radioGroup_.push_back(this);
}

}  // namespace zl::panel
