#include "control_panel/program_start.h"

#include "shared/syscmd/rights.h"
#include "zl/platform/message_box.h"

namespace zl::panel {
namespace {

bool UserIsAdministrator() {
  try {
    return syscmd::IsUserAdministrator();
  } catch (...) {
    return false;
  }
}

void Refuse(platform::NamedMutex& mutex, const char* text) {
  platform::ShowMessageBox(text, kRightsWarningCaption, platform::kMessageBoxOk | platform::kMessageBoxIconWarning);
  mutex.Close();
}

}  // namespace

StartOutcome CheckProgramStart(platform::NamedMutex& mutex) {
  if (mutex.Create(kSingleInstanceMutexName) != platform::NamedMutex::Result::Created) {
    mutex.Close();
    return StartOutcome::SecondInstance;
  }
  if (!UserIsAdministrator()) {
    Refuse(mutex, kNotAdministratorText);
    return StartOutcome::NotAdministrator;
  }
  if (!syscmd::CanWriteMachineSettings()) {
    Refuse(mutex, kNotElevatedText);
    return StartOutcome::NotElevated;
  }
  return StartOutcome::Run;
}

}  // namespace zl::panel
