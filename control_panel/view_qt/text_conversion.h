// The programs' texts are code page 1252; Qt's are Unicode. These are the only
// places where one becomes the other.
#pragma once

#include <QString>

#include <string>

namespace zl {

QString FromCp1252(const std::string& text);
// Characters the code page lacks become "?".
std::string ToCp1252(const QString& text);
// A caption as a label shows it: the line breaks of the programs' texts (CR,
// or CR LF from a language file) become Qt's.
QString CaptionText(const std::string& text);

}  // namespace zl
