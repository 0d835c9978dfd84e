// The property objects of the skinned controls: a three-slice background
// (left end, stretched middle, right end), the four backgrounds of a button's
// states, and an icon with its drawing size. Assigning a picture copies it;
// each object reports its changes through OnChange.
#pragma once

#include <functional>

#include "control_panel/controls/graphics.h"

namespace zl {

// Where the three slices go over a control of the given size. The middle is
// empty, never of negative width, when the control is narrower than its two
// ends; the right end is then drawn over the left one.
struct TSliceLayout {
  TRect Left;
  TRect Middle;
  TRect Right;
};
TSliceLayout LayoutSlices(int width, int height, int leftWidth, int rightWidth);

class TrkBackground {
 public:
  const TBitmap& bgLeft() const { return left_; }
  const TBitmap& bgMiddle() const { return middle_; }
  const TBitmap& bgRight() const { return right_; }
  void SetBgLeft(const TBitmap& bitmap);
  void SetBgMiddle(const TBitmap& bitmap);
  void SetBgRight(const TBitmap& bitmap);

  bool Transparent() const { return transparent_; }
  void SetTransparent(bool transparent);
  TColor TransparentColor() const { return transparentColor_; }
  void SetTransparentColor(TColor color);

  // Copies the three bitmaps.
  void Assign(const TrkBackground& source);

  TSliceLayout Layout(int width, int height) const { return LayoutSlices(width, height, left_.Width, right_.Width); }

  std::function<void()> OnChange;

 private:
  void SetBitmap(TBitmap& slot, const TBitmap& bitmap);
  void Changed();

  TBitmap left_;
  TBitmap middle_;
  TBitmap right_;
  bool transparent_ = false;
  TColor transparentColor_ = clBlack;
};

class TrkBackgrounds {
 public:
  TrkBackgrounds();
  TrkBackgrounds(const TrkBackgrounds&) = delete;
  TrkBackgrounds& operator=(const TrkBackgrounds&) = delete;

  TrkBackground Up;
  TrkBackground Down;
  TrkBackground Hot;
  TrkBackground Disabled;

  // Copies all four.
  void Assign(const TrkBackgrounds& source);

  std::function<void()> OnChange;
};

class TrkIcon {
 public:
  const TIcon& Icon() const { return icon_; }
  void SetIcon(const TIcon& icon);
  int Width() const { return width_; }
  void SetWidth(int width);
  int Height() const { return height_; }
  void SetHeight(int height);

  void Assign(const TrkIcon& source);

  std::function<void()> OnChange;

 private:
  void Changed();

  TIcon icon_;
  int width_ = 16;
  int height_ = 16;
};

}  // namespace zl
