// What the automation-object calls share: COM started for the calling
// thread, reference-counted interface pointers, and BSTR texts.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>

namespace zl::platform::win32 {

// CoInitializeEx for the scope's thread; a thread already in another
// apartment keeps it (and is not uninitialised here).
class ComScope {
 public:
  ComScope();
  ~ComScope();
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  HRESULT Result() const { return result_; }
  bool Ok() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

 private:
  HRESULT result_;
};

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { Reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  void Reset() {
    if (pointer_ != nullptr) pointer_->Release();
    pointer_ = nullptr;
  }
  T** Receive() {
    Reset();
    return &pointer_;
  }
  void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }
  T* operator->() const { return pointer_; }
  T* Get() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }

 private:
  T* pointer_ = nullptr;
};

class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(const std::string& cp1252);
  ~Bstr() { SysFreeString(text_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR Get() const { return text_; }
  BSTR* Receive() {
    SysFreeString(text_);
    text_ = nullptr;
    return &text_;
  }
  std::string Text() const;

 private:
  BSTR text_ = nullptr;
};

// CLSIDFromProgID + CoCreateInstance in process or local server.
HRESULT CreateByProgId(const wchar_t* progId, REFIID iid, void** object);

}  // namespace zl::platform::win32
