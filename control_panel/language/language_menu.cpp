#include "control_panel/language/language_menu.h"

namespace zl {
namespace {

char Fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Folded(const std::string& text) {
  std::string out;
  for (char c : text) out += Fold(c);
  return out;
}

// A menu caption as compared: without its accelerator marks ("&&" stands for
// one "&"), letters folded.
std::string ComparableCaption(const std::string& caption) {
  std::string out;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    const char c = caption[i];
    if (c == '&') {
      if (i + 1 < caption.size() && caption[i + 1] == '&') {
        out += '&';
        ++i;
      }
      continue;
    }
    out += Fold(c);
  }
  return out;
}

}  // namespace

int FindMenuItem(const TPopupMenu& menu, const std::string& name) {
  const std::string wanted = Folded(name);
  for (std::size_t i = 0; i < menu.Items.size(); ++i) {
    if (ComparableCaption(menu.Items[i].Caption) == wanted) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace zl
