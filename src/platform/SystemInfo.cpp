#include "platform/SystemInfo.h"

QString ExpandEnvironmentStrings(ISystemInfo& ASystem, const QString& AText) {
  QString Result;
  qsizetype P = 0;
  while (P < AText.size()) {
    const qsizetype Open = AText.indexOf(u'%', P);
    const qsizetype Close = Open < 0 ? -1 : AText.indexOf(u'%', Open + 1);
    if (Close < 0) {
      Result += AText.mid(P);
      break;
    }
    Result += AText.mid(P, Open - P);
    const QString Name = AText.mid(Open + 1, Close - Open - 1);
    const std::optional<QString> Value =
        Name.isEmpty() ? std::nullopt : ASystem.GetEnvironmentVariable(Name);
    // A variable that is not set stays as written.
    Result += Value ? *Value : AText.mid(Open, Close - Open + 1);
    if (Result.size() > MaxExpandedLength)
      return AText;
    P = Close + 1;
  }
  return Result.size() > MaxExpandedLength ? AText : Result;
}
