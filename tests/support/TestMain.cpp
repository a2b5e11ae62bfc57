#include "support/TestMain.h"

#include "logging/LogEngine.h"
#include "logging/MorvelDebug.h"
#include "platform/Platform.h"
#include "platform/fake/FakePlatform.h"

#include <QJsonDocument>
#include <QJsonObject>

int RunKelvaneTest(int argc, char** argv, QObject& ATest) {
  FakePlatform Empty;
  int Result = 0;
  {
    ScopedPlatform Scope(Empty);
    InitializeMorvelDebug();
  }
  Result = QTest::qExec(&ATest, argc, argv);
  FinalizeMorvelDebug();
  return Result;
}

void HoldLogRecords() {
  MorvelLogEngine()->SetLevel(TLogLevel::Debug);
  MorvelLogEngine()->SetConnections(QStringLiteral("mem()"));
}

void ReleaseLogRecords() {
  MorvelLogEngine()->SetConnections(QString());
}

QStringList HeldRecordFields(const QString& AField, const QString& AKind) {
  QStringList Fields;
  if (!MorvelLogEngine())
    return Fields;
  for (const QByteArray& Line : MorvelLogEngine()->MemoryContents().split('\n')) {
    if (Line.isEmpty())
      continue;
    const QJsonObject Record = QJsonDocument::fromJson(Line).object();
    if (AKind.isEmpty() || Record.value(QStringLiteral("kind")).toString() == AKind)
      Fields << Record.value(AField).toString();
  }
  return Fields;
}
