#include "support/TestMain.h"

#include "logging/LogEngine.h"
#include "logging/MorvelDebug.h"
#include "platform/Platform.h"
#include "platform/fake/FakePlatform.h"

#include <QJsonDocument>
#include <QJsonObject>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#endif

namespace {
#ifdef _WIN32
QString systemText(DWORD ACode) {
  wchar_t* Buffer = nullptr;
  const DWORD Length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, ACode, 0, reinterpret_cast<wchar_t*>(&Buffer), 0, nullptr);
  const QString Text = QString::fromWCharArray(Buffer, int(Length)).trimmed();
  ::LocalFree(Buffer);
  return Text;
}
#endif
} // namespace

QString MissingFileText() {
#ifdef _WIN32
  return systemText(ERROR_FILE_NOT_FOUND);
#else
  return QString::fromLocal8Bit(std::strerror(ENOENT));
#endif
}

QString MissingFolderText() {
#ifdef _WIN32
  return systemText(ERROR_PATH_NOT_FOUND);
#else
  return QString::fromLocal8Bit(std::strerror(ENOENT));
#endif
}

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
