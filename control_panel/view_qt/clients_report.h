// The "Clients" page as text, for scripts and demonstrations that cannot
// look at the window: with ZEPHLINK_CLIENTS_REPORT naming a file, the page's
// entries are written there, one "MAC  IP  name" line each in the page's
// order, every time the page changes. Does nothing without the variable.
#pragma once

#include <QString>
#include <functional>

#include "control_panel/main_form.h"

namespace zl::view {

class ClientsReport {
 public:
  // After the window has wired itself to the form: the report follows the
  // window's own handling of every change.
  explicit ClientsReport(panel::TfrmMain& form);
  ~ClientsReport();
  ClientsReport(const ClientsReport&) = delete;
  ClientsReport& operator=(const ClientsReport&) = delete;

  // The lines as they are written.
  static QString Text(const panel::TfrmMain& form);

 private:
  void Write() const;

  panel::TfrmMain& form_;
  QString path_;
  std::function<void()> windowHandler_;
};

}  // namespace zl::view
