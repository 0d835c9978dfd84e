#include "control_panel/view_qt/client_entry_widget.h"

#include "control_panel/view_qt/pictures.h"
#include "control_panel/view_qt/text_conversion.h"
#include "control_panel/view_qt/window_layout.h"

namespace zl::view {

ClientEntryWidget::ClientEntryWidget(const panel::TfmClient& client, QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("fmClient"));
  setFixedHeight(kClientEntryHeight);
  image_ = new QLabel(this);
  image_->setObjectName(QStringLiteral("Image1"));
  image_->setPixmap(Picture(QStringLiteral("client_device.png")));
  image_->setGeometry(10, (kClientEntryHeight - kDevicePictureSize) / 2, kDevicePictureSize, kDevicePictureSize);

  name_ = new QLabel(CaptionText(client.lbClientName.Caption()), this);
  name_->setObjectName(QStringLiteral("lbClientName"));
  QFont bold = name_->font();
  bold.setBold(true);
  name_->setFont(bold);
  mac_ = new QLabel(CaptionText(client.lbMac.Caption()), this);
  mac_->setObjectName(QStringLiteral("lbMac"));
  ip_ = new QLabel(CaptionText(client.lbIp.Caption()), this);
  ip_->setObjectName(QStringLiteral("lbIp"));

  rule_ = new QFrame(this);
  rule_->setObjectName(QStringLiteral("Shape1"));
  rule_->setFrameShape(QFrame::HLine);
  rule_->setFrameShadow(QFrame::Plain);
  rule_->setStyleSheet(QStringLiteral("color: #b8c4d0;"));
}

void ClientEntryWidget::resizeEvent(QResizeEvent*) {
  const int textLeft = 10 + kDevicePictureSize + 12;
  const int textWidth = std::max(0, width() - textLeft - 6);
  name_->setGeometry(textLeft, 14, textWidth, 20);
  mac_->setGeometry(textLeft, 36, textWidth, 16);
  ip_->setGeometry(textLeft, 54, textWidth, 16);
  rule_->setGeometry(0, height() - 1, width(), 1);
}

}  // namespace zl::view
