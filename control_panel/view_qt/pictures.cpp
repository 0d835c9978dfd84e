#include "control_panel/view_qt/pictures.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

namespace zl::view {
namespace {

QString ResourcePath(const QString& name) { return QStringLiteral(":/pictures/") + name; }

}  // namespace

QPixmap Picture(const QString& name) { return QPixmap(ResourcePath(name)); }

TBitmap BitmapPicture(const QString& name) {
  QFile file(ResourcePath(name));
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = file.readAll();
  return TBitmap::FromPng(std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

QIcon ProgramIcon() { return QIcon(ResourcePath(QStringLiteral("zephlink.ico"))); }

QPixmap DecodeBitmap(const TBitmap& bitmap) {
  QPixmap pixmap;
  if (!bitmap.Empty()) {
    pixmap.loadFromData(reinterpret_cast<const uchar*>(bitmap.Png.data()), static_cast<uint>(bitmap.Png.size()), "PNG");
  }
  return pixmap;
}

QPixmap DecodeIcon(const TIcon& icon, int width, int height) {
  if (icon.Empty()) return {};
  QByteArray bytes(icon.Bytes.data(), static_cast<qsizetype>(icon.Bytes.size()));
  QBuffer buffer(&bytes);
  QImageReader reader(&buffer, "ICO");
  // Of the icon's pictures, the one nearest the size asked for.
  QImage best;
  int bestDistance = INT_MAX;
  for (int i = 0; i < std::max(1, reader.imageCount()); ++i) {
    if (i > 0 && !reader.jumpToImage(i)) break;
    const QImage image = reader.read();
    if (image.isNull()) continue;
    const int distance = std::abs(image.width() - width) + std::abs(image.height() - height);
    if (distance < bestDistance) {
      best = image;
      bestDistance = distance;
    }
  }
  if (best.isNull()) return {};
  if (best.width() != width || best.height() != height) {
    best = best.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  }
  return QPixmap::fromImage(best);
}

}  // namespace zl::view
