// The skinned panel (the window's header band): the toolkit's panel face, a
// three-slice background over it, and the caption centred. A transparent
// panel paints nothing of its own: what lies under it shows through.
#pragma once

#include <functional>
#include <string>

#include "control_panel/controls/backgrounds.h"

namespace zl {

class TrkPanel {
 public:
  TrkPanel();
  TrkPanel(const TrkPanel&) = delete;
  TrkPanel& operator=(const TrkPanel&) = delete;

  int Left = 0;
  int Top = 0;
  int Width = 185;
  int Height = 41;

  TrkBackground Background;

  bool Transparent() const { return transparent_; }
  void SetTransparent(bool transparent);
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  TFont Font;
  bool DoubleBuffered = true;
  // With it on, a transparent panel's erase draws the parent's image under it.
  bool FullRepaint = true;

  // Whether the face, background and caption are painted at all.
  bool PaintsOwnFace() const { return !transparent_; }

  std::function<void()> OnInvalidate;

 private:
  void Invalidate();

  bool transparent_ = false;
  std::string caption_;
};

}  // namespace zl
