#include "control_panel/controls/bg_button.h"

#include <algorithm>

namespace zl {

TrkBgButton::TrkBgButton() {
  Backgrounds.OnChange = [this] { Invalidate(); };
  Icon.OnChange = [this] { Invalidate(); };
  DisabledIcon.OnChange = [this] { Invalidate(); };
}

void TrkBgButton::SetInt(int& field, int value) {
  if (field == value) return;
  field = value;
  Invalidate();
}

void TrkBgButton::SetDisabledFont(const TFont& font) {
  disabledFont_ = font;
  Invalidate();
}

void TrkBgButton::SetSpacing(int spacing) { SetInt(spacing_, spacing); }
void TrkBgButton::SetLeftMargin(int margin) { SetInt(leftMargin_, margin); }
void TrkBgButton::SetRightMargin(int margin) { SetInt(rightMargin_, margin); }

void TrkBgButton::SetCenter(bool center) {
  if (center == center_) return;
  center_ = center;
  Invalidate();
}

std::string FitCaption(const std::string& caption, int x, int r, int buttonWidth,
                       const std::function<int(const std::string&)>& width) {
  if (x + width(caption) + r <= buttonWidth) return caption;
  std::size_t length = 1;
  while (length < caption.size() && x + width(caption.substr(0, length)) + r <= buttonWidth) ++length;
  std::string cut = caption.substr(0, length);
  const std::size_t points = std::min<std::size_t>(3, cut.size());
  std::fill(cut.end() - static_cast<std::ptrdiff_t>(points), cut.end(), '.');
  return cut;
}

TButtonPaint TrkBgButton::PaintPlan(const TTextWidth& textWidth) const {
  TButtonPaint plan;
  switch (State()) {
    case TButtonState::Up:
      plan = {&Backgrounds.Up, &Icon, &Font()};
      break;
    case TButtonState::Disabled:
      plan = {&Backgrounds.Disabled, &DisabledIcon, &disabledFont_};
      break;
    case TButtonState::Down:
      plan = {&Backgrounds.Down, &Icon, &Font()};
      break;
    case TButtonState::Hot:
      plan = {&Backgrounds.Hot, &Icon, &Font()};
      break;
  }
  const TFont& font = *plan.Font;
  const auto width = [&](const std::string& text) { return text.empty() ? 0 : textWidth(text, font); };
  int x = leftMargin_;
  int r = rightMargin_;
  if (center_) x = r = std::max(2, (Width() - plan.Icon->Width() - width(Caption()) - spacing_) / 2);
  plan.IconX = x;
  plan.IconY = (Height() - plan.Icon->Height()) / 2;
  x += plan.Icon->Width() + spacing_;
  plan.TextX = x;
  plan.Text = Caption().empty() ? std::string() : FitCaption(Caption(), x, r, Width(), width);
  return plan;
}

}  // namespace zl
