#include "support/TestMain.h"

#include "common/Assert.h"
#include "common/ScopeGuards.h"
#include "common/WinError.h"

#include <QTest>

#include <stdexcept>

class tst_Assert : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void failedAssertionNamesSourceAndLine();
  void passingAssertionDoesNothing();
  void normalExitActionSkippedWhileUnwinding();
  void describesExceptions_data();
  void describesExceptions();
  void errorTexts_data();
  void errorTexts();
};

void tst_Assert::failedAssertionNamesSourceAndLine() {
  const int Line = __LINE__ + 2;
  try {
    Assert(false, QStringLiteral("Parameter [AFilename] cannot be empty"));
    QFAIL("no error raised");
  } catch (const EAssertionFailed& E) {
    QCOMPARE(E.Message(), QStringLiteral("Parameter [AFilename] cannot be empty "
                                         "(tests/common/tst_Assert.cpp, line %1)")
                              .arg(Line));
    QCOMPARE(E.ClassName(), QStringLiteral("EAssertionFailed"));
    QCOMPARE(QString::fromUtf8(E.what()), E.Message());
  }
}

void tst_Assert::passingAssertionDoesNothing() {
  Assert(true, QStringLiteral("never"));
  QVERIFY_THROWS_EXCEPTION(EAssertionFailed, Assert(1 + 1 == 3, QStringLiteral("sum")));
}

void tst_Assert::normalExitActionSkippedWhileUnwinding() {
  int Runs = 0;
  {
    TOnNormalExit Guard([&] { ++Runs; });
  }
  QCOMPARE(Runs, 1);
  try {
    TOnNormalExit Guard([&] { ++Runs; });
    throw std::runtime_error("boom");
  } catch (const std::runtime_error&) {
  }
  QCOMPARE(Runs, 1);
  // A guard created while an exception is being handled still runs on a
  // normal exit of its own scope.
  try {
    throw std::runtime_error("outer");
  } catch (const std::runtime_error&) {
    TOnNormalExit Guard([&] { ++Runs; });
  }
  QCOMPARE(Runs, 2);
}

void tst_Assert::describesExceptions_data() {
  QTest::addColumn<int>("kind");
  QTest::addColumn<QString>("className");
  QTest::addColumn<QString>("message");
  QTest::newRow("own class") << 0 << QStringLiteral("ERegistryException")
                             << QStringLiteral("Invalid data type for 'X'");
  QTest::newRow("os error") << 1 << QStringLiteral("EOSError")
                            << QStringLiteral("Access is denied.");
  QTest::newRow("standard exception")
      << 2 << QStringLiteral("St13runtime_error") << QStringLiteral("plain");
  QTest::newRow("anything else") << 3 << QStringLiteral("Exception")
                                 << QStringLiteral("Unknown exception");
}

void tst_Assert::describesExceptions() {
  QFETCH(int, kind);
  QFETCH(QString, className);
  QFETCH(QString, message);
  try {
    switch (kind) {
    case 0:
      throw ERegistryException(QStringLiteral("Invalid data type for 'X'"));
    case 1:
      throw EOSError(SysErrorMessage(ERROR_ACCESS_DENIED), ERROR_ACCESS_DENIED);
    case 2:
      throw std::runtime_error("plain");
    default:
      throw 42;
    }
  } catch (...) {
    const TExceptionInfo Info = DescribeCurrentException();
    QCOMPARE(Info.ClassName, className);
    QCOMPARE(Info.Message, message);
  }
}

void tst_Assert::errorTexts_data() {
  QTest::addColumn<uint>("code");
  QTest::addColumn<QString>("text");
  QTest::newRow("success") << uint(ERROR_SUCCESS)
                           << QStringLiteral("The operation completed successfully.");
  QTest::newRow("no more items") << uint(ERROR_NO_MORE_ITEMS)
                                 << QStringLiteral("No more data is available.");
  QTest::newRow("buffer overflow")
      << uint(ERROR_BUFFER_OVERFLOW) << QStringLiteral("The file name is too long.");
  QTest::newRow("sockets not ready")
      << uint(WSASYSNOTREADY)
      << QStringLiteral("WSAStartup cannot function at this time because the "
                        "underlying system it uses to provide network services "
                        "is currently unavailable.");
  QTest::newRow("unknown code") << 123456u << QStringLiteral("Unknown error (123456)");
}

void tst_Assert::errorTexts() {
  QFETCH(uint, code);
  QFETCH(QString, text);
  QCOMPARE(SysErrorMessage(code), text);
}

KELVANE_TEST_MAIN(tst_Assert)
#include "tst_Assert.moc"
