// A graphic button without a window of its own: its visual state follows the
// mouse and the enabled flag; every change asks the view to repaint
// (OnInvalidate). A disabled button ignores the mouse.
#pragma once

#include <functional>
#include <string>

#include "control_panel/controls/graphics.h"

namespace zl {

enum class TButtonState { Up, Disabled, Down, Hot };

class TrkCustomerButton {
 public:
  TrkCustomerButton() = default;
  virtual ~TrkCustomerButton() = default;
  TrkCustomerButton(const TrkCustomerButton&) = delete;
  TrkCustomerButton& operator=(const TrkCustomerButton&) = delete;

  TButtonState State() const { return state_; }

  int Left = 0;
  int Top = 0;
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetBounds(int left, int top, int width, int height);

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  const TFont& Font() const { return font_; }
  void SetFont(const TFont& font);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  std::string Hint;
  bool ShowHint = false;

  // What the view reports, in the control's own coordinates.
  void MouseEnter();
  void MouseLeave();
  void MouseDown(int x, int y);
  void MouseMove(int x, int y);
  void MouseUp(int x, int y);

  std::function<void()> OnClick;
  std::function<void(int x, int y)> OnMouseDown;
  std::function<void(int x, int y)> OnMouseMove;
  std::function<void(int x, int y)> OnMouseUp;
  std::function<void()> OnEnter;
  std::function<void()> OnExit;
  // The control's look changed: the view repaints it.
  std::function<void()> OnInvalidate;

 protected:
  void Invalidate();

 private:
  void SetState(TButtonState state);
  bool Contains(int x, int y) const;

  TButtonState state_ = TButtonState::Up;
  int width_ = 100;
  int height_ = 41;
  std::string caption_;
  TFont font_;
  bool enabled_ = true;
  bool visible_ = true;
};

}  // namespace zl
