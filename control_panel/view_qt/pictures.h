// Our pictures, built into the program from pictures/ (drawn by
// scripts/draw-pictures), and the decoding of the model's picture bytes.
#pragma once

#include <QIcon>
#include <QPixmap>

#include "control_panel/controls/graphics.h"

namespace zl::view {

// A picture by its file name in pictures/ ("marker_ok.png").
QPixmap Picture(const QString& name);
// The same picture as the skinned controls hold it.
TBitmap BitmapPicture(const QString& name);
QIcon ProgramIcon();

QPixmap DecodeBitmap(const TBitmap& bitmap);
// An icon file's picture at the given size; null when it cannot be read.
QPixmap DecodeIcon(const TIcon& icon, int width, int height);

}  // namespace zl::view
