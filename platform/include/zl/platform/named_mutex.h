// A named mutex of the machine: one process at a time may hold a name; it is
// released when the holder closes it or ends.
#pragma once

#include <memory>
#include <string>

namespace zl::platform {

class NamedMutex {
 public:
  enum class Result { Created, AlreadyExists, Failed };

  NamedMutex();
  ~NamedMutex();
  NamedMutex(const NamedMutex&) = delete;
  NamedMutex& operator=(const NamedMutex&) = delete;

  // CreateMutex with initial ownership: Created when this process now owns
  // the name, AlreadyExists when another holds it (the handle is then of no
  // use and should be closed), Failed when it could not be created.
  Result Create(const std::string& name);
  void Close();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zl::platform
