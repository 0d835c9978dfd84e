// A fresh folder below the system's temporary directory, removed with all its
// contents when the fixture goes. Path() is in the programs' form (code page
// 1252, "\" separators), ready for the platform file routines.
#pragma once

#include <string>

namespace zl::test {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // Without a trailing separator.
  const std::string& Path() const { return programPath_; }
  // Path() + "\" + name.
  std::string Child(const std::string& name) const { return programPath_ + "\\" + name; }

 private:
  std::string nativePath_;
  std::string programPath_;
};

}  // namespace zl::test
