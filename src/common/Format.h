#pragma once
// Format with the directive syntax the program's message texts use:
// "%" [index ":"] ["-"] [width | "*"] ["." precision | ".*"] type, with the
// types d u x e f g n m p s and "%%". An index selects the argument and the
// following directives continue after it. A directive whose argument is
// missing or of the wrong kind raises EConvertError.

#include <QString>
#include <QVariant>

#include <initializer_list>

QString Format(const QString& AFormat, const QVariantList& AArgs);

inline QString Format(const QString& AFormat, std::initializer_list<QVariant> AArgs) {
  return Format(AFormat, QVariantList(AArgs));
}
