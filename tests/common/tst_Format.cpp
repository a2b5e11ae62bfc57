#include "support/TestMain.h"

#include "common/Exceptions.h"
#include "common/Format.h"

#include <QTest>

class tst_Format : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void format_data();
  void format();
  void invalid_data();
  void invalid();
};

void tst_Format::format_data() {
  QTest::addColumn<QString>("format");
  QTest::addColumn<QVariantList>("args");
  QTest::addColumn<QString>("result");
  QTest::newRow("no directives") << QStringLiteral("plain") << QVariantList()
                                 << QStringLiteral("plain");
  QTest::newRow("percent") << QStringLiteral("100%%") << QVariantList() << QStringLiteral("100%");
  QTest::newRow("decimal and text")
      << QStringLiteral("WSAStartup failed with error code (%d): %s")
      << QVariantList{10091, QStringLiteral("not ready")}
      << QStringLiteral("WSAStartup failed with error code (10091): not ready");
  QTest::newRow("negative") << QStringLiteral("%d") << QVariantList{-5} << QStringLiteral("-5");
  QTest::newRow("64-bit") << QStringLiteral("%d") << QVariantList{qint64(-9000000000LL)}
                          << QStringLiteral("-9000000000");
  QTest::newRow("unsigned of negative")
      << QStringLiteral("%u") << QVariantList{-1} << QStringLiteral("4294967295");
  QTest::newRow("hexadecimal") << QStringLiteral("Unload Error: %s - 0x%x")
                               << QVariantList{QStringLiteral("x.dll"), 255}
                               << QStringLiteral("Unload Error: x.dll - 0xFF");
  QTest::newRow("hexadecimal of negative")
      << QStringLiteral("%x") << QVariantList{-1} << QStringLiteral("FFFFFFFF");
  QTest::newRow("index") << QStringLiteral("Function not found: %0:s.%1:s")
                         << QVariantList{QStringLiteral("lib"), QStringLiteral("fn")}
                         << QStringLiteral("Function not found: lib.fn");
  QTest::newRow("index then continue")
      << QStringLiteral("%1:s %s %0:s")
      << QVariantList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}
      << QStringLiteral("b c a");
  QTest::newRow("width and left align")
      << QStringLiteral("[%5d|%-4s]") << QVariantList{42, QStringLiteral("ab")}
      << QStringLiteral("[   42|ab  ]");
  QTest::newRow("star width") << QStringLiteral("[%*d]") << QVariantList{4, 7}
                              << QStringLiteral("[   7]");
  QTest::newRow("precision of integer pads zeros")
      << QStringLiteral("%.3d") << QVariantList{7} << QStringLiteral("007");
  QTest::newRow("precision of text cuts")
      << QStringLiteral("%.2s") << QVariantList{QStringLiteral("abc")} << QStringLiteral("ab");
  QTest::newRow("fixed") << QStringLiteral("%.3f") << QVariantList{3.14159}
                         << QStringLiteral("3.142");
  QTest::newRow("number groups thousands")
      << QStringLiteral("%n") << QVariantList{1234567.5} << QStringLiteral("1,234,567.50");
  QTest::newRow("upper-case type")
      << QStringLiteral("%S=%D") << QVariantList{QStringLiteral("k"), 1} << QStringLiteral("k=1");
}

void tst_Format::format() {
  QFETCH(QString, format);
  QFETCH(QVariantList, args);
  QFETCH(QString, result);
  QCOMPARE(Format(format, args), result);
}

void tst_Format::invalid_data() {
  QTest::addColumn<QString>("format");
  QTest::addColumn<QVariantList>("args");
  QTest::addColumn<QString>("message");
  QTest::newRow("missing argument")
      << QStringLiteral("%s and %s") << QVariantList{QStringLiteral("a")}
      << QStringLiteral("No argument for format '%s and %s'");
  QTest::newRow("text for a number")
      << QStringLiteral("%d") << QVariantList{QStringLiteral("a")}
      << QStringLiteral("Format '%d' invalid or incompatible with argument");
  QTest::newRow("number for a text")
      << QStringLiteral("%s") << QVariantList{1}
      << QStringLiteral("Format '%s' invalid or incompatible with argument");
  QTest::newRow("unknown type") << QStringLiteral("%q") << QVariantList{1}
                                << QStringLiteral(
                                       "Format '%q' invalid or incompatible with argument");
  QTest::newRow("percent at end") << QStringLiteral("50%") << QVariantList()
                                  << QStringLiteral(
                                         "Format '50%' invalid or incompatible with argument");
}

void tst_Format::invalid() {
  QFETCH(QString, format);
  QFETCH(QVariantList, args);
  QFETCH(QString, message);
  try {
    Format(format, args);
    QFAIL("no error raised");
  } catch (const EConvertError& E) {
    QCOMPARE(E.Message(), message);
    QCOMPARE(E.ClassName(), QStringLiteral("EConvertError"));
  }
}

KELVANE_TEST_MAIN(tst_Format)
#include "tst_Format.moc"
