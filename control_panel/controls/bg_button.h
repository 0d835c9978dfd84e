// The skinned button: a three-slice background per state, an icon and a
// caption. The layout is worked out here; the view only paints what
// PaintPlan says, measuring texts in the plan's font.
#pragma once

#include <functional>
#include <string>

#include "control_panel/controls/backgrounds.h"
#include "control_panel/controls/customer_button.h"

namespace zl {

// Width of a text in a font, in pixels, as the view's toolkit measures it.
using TTextWidth = std::function<int(const std::string& text, const TFont& font)>;

struct TButtonPaint {
  const TrkBackground* Background = nullptr;
  const TrkIcon* Icon = nullptr;
  const TFont* Font = nullptr;
  int IconX = 0;
  int IconY = 0;
  int TextX = 0;     // the text is centred vertically from here
  std::string Text;  // the caption, or its cut form ending in points
};

class TrkBgButton : public TrkCustomerButton {
 public:
  TrkBgButton();

  TrkBackgrounds Backgrounds;
  TrkIcon Icon;
  TrkIcon DisabledIcon;

  const TFont& DisabledFont() const { return disabledFont_; }
  void SetDisabledFont(const TFont& font);
  int Spacing() const { return spacing_; }
  void SetSpacing(int spacing);
  int LeftMargin() const { return leftMargin_; }
  void SetLeftMargin(int margin);
  int RightMargin() const { return rightMargin_; }
  void SetRightMargin(int margin);
  bool Center() const { return center_; }
  void SetCenter(bool center);

  // What to paint in the current state.
  TButtonPaint PaintPlan(const TTextWidth& textWidth) const;

 private:
  void SetInt(int& field, int value);

  TFont disabledFont_;
  int spacing_ = 3;
  int leftMargin_ = 4;
  int rightMargin_ = 4;
  bool center_ = false;
};

// The caption cut to fit: the shortest leading part that no longer fits
// between x and the right margin r, its last three characters (all, when it
// has fewer) made points; the whole caption when it fits.
std::string FitCaption(const std::string& caption, int x, int r, int buttonWidth,
                       const std::function<int(const std::string&)>& width);

}  // namespace zl
