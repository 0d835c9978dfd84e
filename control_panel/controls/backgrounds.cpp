#include "control_panel/controls/backgrounds.h"

#include <algorithm>

namespace zl {

TSliceLayout LayoutSlices(int width, int height, int leftWidth, int rightWidth) {
  TSliceLayout layout;
  layout.Left = {0, 0, leftWidth, height};
  const int rightStart = width - rightWidth;
  layout.Middle = {leftWidth, 0, std::max(leftWidth, rightStart), height};
  layout.Right = {rightStart, 0, width, height};
  return layout;
}

void TrkBackground::Changed() {
  if (OnChange) OnChange();
}

void TrkBackground::SetBitmap(TBitmap& slot, const TBitmap& bitmap) {
  slot = bitmap;
  Changed();
}

void TrkBackground::SetBgLeft(const TBitmap& bitmap) { SetBitmap(left_, bitmap); }
void TrkBackground::SetBgMiddle(const TBitmap& bitmap) { SetBitmap(middle_, bitmap); }
void TrkBackground::SetBgRight(const TBitmap& bitmap) { SetBitmap(right_, bitmap); }

void TrkBackground::SetTransparent(bool transparent) {
  if (transparent == transparent_) return;
  transparent_ = transparent;
  Changed();
}

void TrkBackground::SetTransparentColor(TColor color) {
  if (color == transparentColor_) return;
  transparentColor_ = color;
  Changed();
}

void TrkBackground::Assign(const TrkBackground& source) {
  if (&source == this) return;
  left_ = source.left_;
  middle_ = source.middle_;
  right_ = source.right_;
  Changed();
}

TrkBackgrounds::TrkBackgrounds() {
  for (TrkBackground* background : {&Up, &Down, &Hot, &Disabled}) {
    background->OnChange = [this] {
      if (OnChange) OnChange();
    };
  }
}

void TrkBackgrounds::Assign(const TrkBackgrounds& source) {
  Up.Assign(source.Up);
  Down.Assign(source.Down);
  Hot.Assign(source.Hot);
  Disabled.Assign(source.Disabled);
}

void TrkIcon::Changed() {
  if (OnChange) OnChange();
}

void TrkIcon::SetIcon(const TIcon& icon) {
  icon_ = icon;
  Changed();
}

void TrkIcon::SetWidth(int width) {
  if (width == width_) return;
  width_ = width;
  Changed();
}

void TrkIcon::SetHeight(int height) {
  if (height == height_) return;
  height_ = height;
  Changed();
}

void TrkIcon::Assign(const TrkIcon& source) {
  if (&source == this) return;
  icon_ = source.icon_;
  width_ = source.width_;
  height_ = source.height_;
  Changed();
}

}  // namespace zl
