// One entry of the "Clients" page: the device picture, its host name in bold,
// "Mac: " and "IP: " lines, and a rule along the bottom edge.
#pragma once

#include <QFrame>
#include <QLabel>

#include "control_panel/client_entry.h"

namespace zl::view {

class ClientEntryWidget : public QFrame {
 public:
  ClientEntryWidget(const panel::TfmClient& client, QWidget* parent);

 private:
  QLabel* image_;
  QLabel* name_;
  QLabel* mac_;
  QLabel* ip_;
  QFrame* rule_;

 protected:
  void resizeEvent(QResizeEvent* event) override;
};

}  // namespace zl::view
