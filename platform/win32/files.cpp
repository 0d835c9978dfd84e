#include "zl/platform/files.h"

#include <windows.h>

#include "module_path.h"
#include "text.h"

// windows.h names the A/W pair CreateDirectory; ours is the boundary's call.
#undef CreateDirectory

namespace zl::platform {

using win32::Widen;

namespace {

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() {
    if (IsValid()) CloseHandle(handle_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool IsValid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

DWORD Attributes(const std::string& path) { return GetFileAttributesW(Widen(path).c_str()); }

bool WriteAll(HANDLE file, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) return false;
    done += written;
  }
  return true;
}

}  // namespace

std::string ProgramFolder() {
  const std::string path = win32::ModulePath();
  return path.substr(0, path.rfind('\\') + 1);
}

bool FileExists(const std::string& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExists(const std::string& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CreateDirectory(const std::string& path) { return CreateDirectoryW(Widen(path).c_str(), nullptr) != 0; }

bool CreateOrTruncateFile(const std::string& path) {
  FileHandle file(CreateFileW(Widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.IsValid();
}

bool AppendToExistingFile(const std::string& path, const std::string& bytes) {
  // FILE_APPEND_DATA without FILE_WRITE_DATA: every write goes to the end,
  // also when another process appends to the same file.
  FileHandle file(CreateFileW(Widen(path).c_str(), FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.IsValid() && WriteAll(file.Get(), bytes);
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  FileHandle file(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) return false;
  std::string content;
  char buffer[65536];
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr)) return false;
    if (read == 0) break;
    content.append(buffer, read);
  }
  bytes = std::move(content);
  return true;
}

}  // namespace zl::platform
