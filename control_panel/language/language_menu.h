// The language menu and its image list as toolkit-neutral data: the view
// builds its menu and flag pictures from them. Item i shows image i.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "control_panel/controls/graphics.h"

namespace zl {

// The window's `ImageList`: pictures of one size (the flags: 25 by 13).
struct TImageList {
  int Width = 25;
  int Height = 13;
  std::vector<TIcon> Images;
};

struct TMenuItem;
using TMenuItemClick = std::function<void(const TMenuItem& item)>;

struct TMenuItem {
  std::string Caption;
  int ImageIndex = -1;
  TMenuItemClick OnClick;
};

// A pop-up menu; the language menu has no automatic accelerator letters.
struct TPopupMenu {
  std::vector<TMenuItem> Items;
  bool AutoHotkeys = false;
};

// The index of the first item whose caption is `name`, letter case and the
// caption's accelerator marks ("&") not counting; -1 when there is none.
int FindMenuItem(const TPopupMenu& menu, const std::string& name);

}  // namespace zl
