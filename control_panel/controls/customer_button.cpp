#include "control_panel/controls/customer_button.h"

namespace zl {

void TrkCustomerButton::Invalidate() {
  if (OnInvalidate) OnInvalidate();
}

void TrkCustomerButton::SetState(TButtonState state) {
  state_ = state;
  Invalidate();
}

void TrkCustomerButton::SetBounds(int left, int top, int width, int height) {
  Left = left;
  Top = top;
  if (width == width_ && height == height_) return;
  width_ = width;
  height_ = height;
  Invalidate();
}

void TrkCustomerButton::SetCaption(const std::string& caption) {
  if (caption == caption_) return;
  caption_ = caption;
  Invalidate();
}

void TrkCustomerButton::SetFont(const TFont& font) {
  font_ = font;
  Invalidate();
}

void TrkCustomerButton::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  SetState(enabled ? TButtonState::Up : TButtonState::Disabled);
}

void TrkCustomerButton::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  Invalidate();
}

// The pointer is inside on the control's own pixels only: the row at y ==
// height already belongs to what lies below it.
bool TrkCustomerButton::Contains(int x, int y) const { return x >= 0 && x < width_ && y >= 0 && y < height_; }

void TrkCustomerButton::MouseEnter() {
  if (!enabled_) return;
  SetState(TButtonState::Hot);
  if (OnEnter) OnEnter();
}

void TrkCustomerButton::MouseLeave() {
  if (!enabled_) return;
  SetState(TButtonState::Up);
  if (OnExit) OnExit();
}

void TrkCustomerButton::MouseDown(int x, int y) {
  if (!enabled_) return;
  SetState(TButtonState::Down);
  if (OnMouseDown) OnMouseDown(x, y);
}

void TrkCustomerButton::MouseMove(int x, int y) {
  if (!enabled_) return;
  if (OnMouseMove) OnMouseMove(x, y);
}

void TrkCustomerButton::MouseUp(int x, int y) {
  if (!enabled_) return;
  const bool clicked = state_ == TButtonState::Down && Contains(x, y);
  SetState(clicked ? TButtonState::Hot : TButtonState::Up);
  if (OnMouseUp) OnMouseUp(x, y);
  // The click comes last: its handler may open a menu or disable the button.
  if (clicked && OnClick) OnClick();
}

}  // namespace zl
