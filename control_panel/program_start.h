// The control panel's start before any window exists: one instance per
// machine session, and administrator rights, each refusal shown in a warning
// box of its own (the second instance ends silently).
#pragma once

#include <string>

#include "zl/platform/named_mutex.h"

namespace zl::panel {

inline constexpr const char* kSingleInstanceMutexName = "{7CBBAADE-B39F-4BAF-BF14-A1CB6FFD6B38}";
inline constexpr const char* kRightsWarningCaption = "Zephlink";
inline constexpr const char* kNotAdministratorText =
    "You must be logged in as an administrator when running this program ";
inline constexpr const char* kNotElevatedText =
    "You must run the Zephlink program with administrator rights. Right click on the program, and click on "
    "\"Run as administrator\"";

enum class StartOutcome { Run, SecondInstance, NotAdministrator, NotElevated };

// Creates the single-instance mutex, then checks the rights. On Run the
// mutex is held and must stay so until the process ends; on any other
// outcome it is closed again, and the process should end at once.
// A rights check that fails outright counts as not being an administrator.
StartOutcome CheckProgramStart(platform::NamedMutex& mutex);

}  // namespace zl::panel
