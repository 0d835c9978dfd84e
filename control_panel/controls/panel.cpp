#include "control_panel/controls/panel.h"

namespace zl {

TrkPanel::TrkPanel() {
  Background.OnChange = [this] { Invalidate(); };
}

void TrkPanel::Invalidate() {
  if (OnInvalidate) OnInvalidate();
}

void TrkPanel::SetTransparent(bool transparent) {
  if (transparent == transparent_) return;
  transparent_ = transparent;
  Invalidate();
}

void TrkPanel::SetCaption(const std::string& caption) {
  if (caption == caption_) return;
  caption_ = caption;
  Invalidate();
}

}  // namespace zl
