// Icon files (.ico) as the language menu loads them: a picture directory
// followed by the pictures it points at. Only the container is checked here;
// the view decodes the pictures.
#pragma once

#include <string>

namespace zl {

// True when the bytes are an icon file: reserved word 0, type 1, at least one
// picture, and every picture's bytes inside the file.
bool IsIconFile(const std::string& bytes);

}  // namespace zl
