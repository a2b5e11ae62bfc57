#include "platform/linux/OsRelease.h"

#include <QList>

namespace {
// Shell-style value of os-release: double quotes with \" \\ \$ \` escapes,
// single quotes literal, or a bare word.
QString unquote(const QByteArray& AValue) {
  const QString V = QString::fromUtf8(AValue).trimmed();
  if (V.size() >= 2 && V.front() == u'\'' && V.back() == u'\'')
    return V.mid(1, V.size() - 2);
  if (V.size() >= 2 && V.front() == u'"' && V.back() == u'"') {
    QString Result;
    for (qsizetype I = 1; I < V.size() - 1; ++I) {
      if (V[I] == u'\\' && I + 1 < V.size() - 1 && QStringLiteral("\"\\$`").contains(V[I + 1]))
        ++I;
      Result += V[I];
    }
    return Result;
  }
  return V;
}
} // namespace

QString OsReleasePrettyName(const QByteArray& AOsRelease) {
  for (const QByteArray& Line : AOsRelease.split('\n'))
    if (Line.startsWith("PRETTY_NAME="))
      return unquote(Line.mid(12));
  return {};
}
