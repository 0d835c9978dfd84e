#include "control_panel/view_qt/skinned_painting.h"

#include <QBitmap>
#include <QFontMetrics>
#include <QMouseEvent>

#include "control_panel/view_qt/pictures.h"
#include "control_panel/view_qt/text_conversion.h"

namespace zl::view {
namespace {

QPixmap SlicePixmap(const TBitmap& bitmap, const TrkBackground& background) {
  QPixmap pixmap = DecodeBitmap(bitmap);
  if (!pixmap.isNull() && background.Transparent()) {
    const TColor c = background.TransparentColor();
    const QColor key(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>((c >> 16) & 0xFF));
    pixmap.setMask(pixmap.createMaskFromColor(key, Qt::MaskInColor));
  }
  return pixmap;
}

void PaintSlice(QPainter& painter, const TBitmap& bitmap, const TrkBackground& background, const TRect& rect) {
  if (bitmap.Empty() || rect.Width() <= 0 || rect.Height() <= 0) return;
  painter.drawPixmap(QRect(rect.Left, rect.Top, rect.Width(), rect.Height()), SlicePixmap(bitmap, background));
}

}  // namespace

QFont ToQFont(const TFont& font, const QFont& base) {
  QFont result = base;
  if (!font.Name.empty()) result.setFamily(FromCp1252(font.Name));
  if (font.Size > 0) result.setPointSize(font.Size);
  result.setBold(font.Bold);
  return result;
}

void PaintBackground(QPainter& painter, const TrkBackground& background, QSize size) {
  const TSliceLayout layout = background.Layout(size.width(), size.height());
  PaintSlice(painter, background.bgLeft(), background, layout.Left);
  PaintSlice(painter, background.bgMiddle(), background, layout.Middle);
  // Last: where the control is narrower than its ends, the right end wins.
  PaintSlice(painter, background.bgRight(), background, layout.Right);
}

BgButtonWidget::BgButtonWidget(TrkBgButton& button, QWidget* parent) : QWidget(parent), button_(button) {
  setMouseTracking(true);
  setAttribute(Qt::WA_Hover);
  button_.OnInvalidate = [this] { update(); };
}

void BgButtonWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const TTextWidth measure = [this](const std::string& text, const TFont& font) {
    return QFontMetrics(ToQFont(font, this->font())).horizontalAdvance(FromCp1252(text));
  };
  const TButtonPaint plan = button_.PaintPlan(measure);
  PaintBackground(painter, *plan.Background, size());
  const QPixmap icon = DecodeIcon(plan.Icon->Icon(), plan.Icon->Width(), plan.Icon->Height());
  if (!icon.isNull()) painter.drawPixmap(plan.IconX, plan.IconY, icon);
  const QFont font = ToQFont(*plan.Font, this->font());
  painter.setFont(font);
  const TColor c = plan.Font->Color;
  painter.setPen(QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>((c >> 16) & 0xFF)));
  painter.drawText(QRect(plan.TextX, 0, width() - plan.TextX, height()), Qt::AlignLeft | Qt::AlignVCenter,
                   FromCp1252(plan.Text));
}

void BgButtonWidget::enterEvent(QEnterEvent*) { button_.MouseEnter(); }
void BgButtonWidget::leaveEvent(QEvent*) { button_.MouseLeave(); }

void BgButtonWidget::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  button_.MouseDown(event->position().toPoint().x(), event->position().toPoint().y());
}

void BgButtonWidget::mouseMoveEvent(QMouseEvent* event) {
  button_.MouseMove(event->position().toPoint().x(), event->position().toPoint().y());
}

void BgButtonWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  button_.MouseUp(event->position().toPoint().x(), event->position().toPoint().y());
}

void BgButtonWidget::resizeEvent(QResizeEvent*) { button_.SetBounds(x(), y(), width(), height()); }

void BgButtonWidget::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange) button_.SetEnabled(isEnabled());
  QWidget::changeEvent(event);
}

PanelWidget::PanelWidget(TrkPanel& panel, QWidget* parent) : QWidget(parent), panel_(panel) {
  panel_.OnInvalidate = [this] { update(); };
}

void PanelWidget::paintEvent(QPaintEvent*) {
  // A transparent panel leaves its area alone: Qt shows the parent beneath.
  if (!panel_.PaintsOwnFace()) return;
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  PaintBackground(painter, panel_.Background, size());
  if (!panel_.Caption().empty()) {
    painter.setFont(ToQFont(panel_.Font, font()));
    painter.drawText(rect(), Qt::AlignCenter, FromCp1252(panel_.Caption()));
  }
}

}  // namespace zl::view
