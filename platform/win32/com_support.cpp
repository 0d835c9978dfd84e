#include "com_support.h"

#include "text.h"

namespace zl::platform::win32 {

ComScope::ComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}

ComScope::~ComScope() {
  if (SUCCEEDED(result_)) CoUninitialize();
}

Bstr::Bstr(const std::string& cp1252) {
  const std::wstring wide = Widen(cp1252);
  text_ = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

std::string Bstr::Text() const { return text_ == nullptr ? std::string() : Narrow(text_, SysStringLen(text_)); }

HRESULT CreateByProgId(const wchar_t* progId, REFIID iid, void** object) {
  CLSID clsid{};
  const HRESULT rc = CLSIDFromProgID(progId, &clsid);
  if (FAILED(rc)) return rc;
  return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, iid, object);
}

}  // namespace zl::platform::win32
