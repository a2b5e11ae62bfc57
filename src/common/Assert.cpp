#include "Assert.h"

QString AssertionMessage(const QString& AMessage, const TSourceLocation& ALocation) {
  return QStringLiteral("%1 (%2, line %3)")
      .arg(AMessage, QString::fromUtf8(ALocation.file_name()))
      .arg(ALocation.line());
}

void RaiseAssertion(const QString& AMessage, const TSourceLocation& ALocation) {
  throw EAssertionFailed(AssertionMessage(AMessage, ALocation));
}
