// Files and folders as the programs name them: single-byte code page 1252
// texts with "\" between folders. The backend maps them to the operating
// system's own file names.
#pragma once

#include <string>
#include <vector>

namespace zl::platform {

// The folder of the running program, ending with "\".
std::string ProgramFolder();

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);

// Each returns false when the operating system refuses.
bool CreateDirectory(const std::string& path);
// Creates the file, or empties it when it exists.
bool CreateOrTruncateFile(const std::string& path);
// Appends the bytes to an existing file; a missing file is an error.
bool AppendToExistingFile(const std::string& path, const std::string& bytes);
// Reads a whole file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& bytes);
// Gives the file the bytes as a whole, creating it when missing: a reader
// sees the old content or the new one, never a part. False on failure, the
// old content then stays.
bool ReplaceWholeFile(const std::string& path, const std::string& bytes);

struct FolderEntry {
  std::string name;  // the entry's own name, no folder
  bool isDirectory = false;
};
// FindFirstFile/FindNextFile over a folder and a name pattern
// ("C:\folder\*.ico": "*" any run of characters, "?" one; letter case
// ignored), in the order the file system returns the entries. Empty when the
// folder cannot be read or nothing matches.
std::vector<FolderEntry> FindFiles(const std::string& pattern);

}  // namespace zl::platform
