#include "common/Diagnostics.h"

#include "common/StringRules.h"

#include <cstdio>

void PrintDiagnostic(const QString& AMessage) {
  const QByteArray Line =
      QByteArrayLiteral("kelvane: ") + EscapeControlCharacters(AMessage).toUtf8() + '\n';
  std::fwrite(Line.constData(), 1, static_cast<size_t>(Line.size()), stderr);
  std::fflush(stderr);
}
