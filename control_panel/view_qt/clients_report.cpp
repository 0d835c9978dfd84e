#include "control_panel/view_qt/clients_report.h"

#include <QSaveFile>

#include "control_panel/client_entry.h"
#include "control_panel/view_qt/text_conversion.h"

namespace zl::view {

ClientsReport::ClientsReport(panel::TfrmMain& form) : form_(form) {
  path_ = qEnvironmentVariable("ZEPHLINK_CLIENTS_REPORT");
  if (path_.isEmpty()) return;
  windowHandler_ = form_.OnClientsChanged;
  form_.OnClientsChanged = [this] {
    if (windowHandler_) windowHandler_();
    Write();
  };
  Write();
}

ClientsReport::~ClientsReport() {
  if (!path_.isEmpty()) form_.OnClientsChanged = windowHandler_;
}

QString ClientsReport::Text(const panel::TfrmMain& form) {
  QString text;
  for (const panel::TfmClient* entry : form.ClientEntries()) {
    text += FromCp1252(entry->FMac) + "  " + FromCp1252(entry->FIp) + "  " + FromCp1252(entry->FClientName) + "\n";
  }
  return text;
}

void ClientsReport::Write() const {
  // Whole or not at all: a reader never sees half a page.
  QSaveFile file(path_);
  if (!file.open(QIODevice::WriteOnly)) return;
  file.write(Text(form_).toUtf8());
  file.commit();
}

}  // namespace zl::view
