// Files and folders as the programs name them: single-byte code page 1252
// texts with "\" between folders. The backend maps them to the operating
// system's own file names.
#pragma once

#include <string>

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

}  // namespace zl::platform
