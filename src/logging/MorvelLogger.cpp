#include "logging/MorvelLogger.h"

#include "common/Exceptions.h"
#include "common/Format.h"

QString TraceMethodName(const QString& APrefix, const QString& AName, const QString& AArguments) {
  QString Result = APrefix;
  if (!APrefix.isEmpty() && !AName.isEmpty())
    Result += u'.';
  Result += AName;
  if (!AArguments.isEmpty())
    Result += u'(' + AArguments + u')';
  return Result;
}

QString TraceEnumName(const QMetaEnum& AType, int AValue) {
  const char* Key = AType.isValid() ? AType.valueToKey(AValue) : nullptr;
  return Key ? QString::fromLatin1(Key) : QString::number(AValue);
}

QString TraceFormat(const QString& AFormat, TLogFormatArgs AArgs) {
  try {
    return Format(AFormat, QVariantList(AArgs));
  } catch (const Exception&) {
    return AFormat;
  }
}
