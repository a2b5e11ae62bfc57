#include "FuzzMain.h"

#include "platform/Wmi.h"

KELVANE_FUZZ_TARGET({
  const TWqlQuery Query = ParseWql(QString::fromUtf8(Input));
  (void)Query.Matches(TWmiObject(Query.ClassName));
  (void)Query.RequiredValue(QStringLiteral("Address"));
})
