// Running a program through the shell and waiting for it.
#pragma once

#include <cstdint>
#include <string>

namespace zl::syscmd {

// Executes `file` with the shell verb and parameters. Returns -1 when the
// shell fails, 0 at once when not waiting, else the program's exit code (-1
// when it cannot be read). While waiting, the calling thread's event loop
// handles its pending events at least every 100 ms.
std::int32_t RunAndWait(const std::string& verb, const std::string& file, const std::string& parameters, bool wait,
                        std::uint16_t show);

}  // namespace zl::syscmd
