// Painting the skinned controls of control_panel/controls: the view's only
// part in them. Layout and state come from the controls themselves.
#pragma once

#include <QFont>
#include <QPainter>
#include <QWidget>

#include "control_panel/controls/bg_button.h"
#include "control_panel/controls/panel.h"

namespace zl::view {

QFont ToQFont(const TFont& font, const QFont& base);
// The three slices of a background over `size`.
void PaintBackground(QPainter& painter, const TrkBackground& background, QSize size);

// A widget showing a TrkBgButton and feeding it the mouse.
class BgButtonWidget : public QWidget {
 public:
  BgButtonWidget(TrkBgButton& button, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  TrkBgButton& button_;
};

// A widget showing a TrkPanel; its children lie over the painted face.
class PanelWidget : public QWidget {
 public:
  PanelWidget(TrkPanel& panel, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  TrkPanel& panel_;
};

}  // namespace zl::view
