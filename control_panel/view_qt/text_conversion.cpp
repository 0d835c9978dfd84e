#include "control_panel/view_qt/text_conversion.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace zl {

QString FromCp1252(const std::string& text) {
  QStringDecoder decoder("windows-1252");
  return decoder.decode(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
}

std::string ToCp1252(const QString& text) {
  QStringEncoder encoder("windows-1252", QStringConverter::Flag::Stateless);
  QByteArray bytes;
  bytes.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    // A character outside the basic plane is two UTF-16 units and never in the code page.
    if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
      bytes += '?';
      ++i;
      continue;
    }
    const QByteArray one = encoder.encode(QStringView(text).mid(i, 1));
    // An unmappable character comes back as nothing or as a substitute, and
    // leaves the encoder in its error state.
    if (encoder.hasError() || one.size() != 1) {
      bytes += '?';
      encoder = QStringEncoder("windows-1252", QStringConverter::Flag::Stateless);
    } else {
      bytes += one;
    }
  }
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QString CaptionText(const std::string& text) {
  QString caption = FromCp1252(text);
  caption.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  caption.replace(QChar('\r'), QChar('\n'));
  return caption;
}

}  // namespace zl
