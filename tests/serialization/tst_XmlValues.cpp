// The value texts of the XML files: floats, date-times and streams.

#include "support/TestMain.h"

#include "serialization/XmlValues.h"

#include <QDate>
#include <QTest>

#include <cmath>

namespace {
double dateTime(int AYear, int AMonth, int ADay, int AHour = 0, int AMinute = 0, int ASecond = 0,
                int AMs = 0) {
  const double Days = QDate(1899, 12, 30).daysTo(QDate(AYear, AMonth, ADay));
  return Days + (((AHour * 60 + AMinute) * 60 + ASecond) * 1000 + AMs) / 86400000.0;
}
} // namespace

class tst_XmlValues : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void floatText_data();
  void floatText();
  void readFloat_data();
  void readFloat();
  void dateTimeText();
  void readDateTime_data();
  void readDateTime();
  void hex_data();
  void hex();
};

void tst_XmlValues::floatText_data() {
  QTest::addColumn<double>("value");
  QTest::addColumn<QString>("text");
  QTest::newRow("zero") << 0.0 << QStringLiteral("0");
  QTest::newRow("2.5") << 2.5 << QStringLiteral("2.5");
  QTest::newRow("100") << 100.0 << QStringLiteral("100");
  QTest::newRow("0.5 without leading digit") << 0.5 << QStringLiteral(".5");
  QTest::newRow("0.05") << 0.05 << QStringLiteral(".05");
  QTest::newRow("0.005 with exponent") << 0.005 << QStringLiteral("5E-3");
  QTest::newRow("ten to the tenth") << 1e10 << QStringLiteral("10000000000");
  QTest::newRow("ten to the eleventh") << 1e11 << QStringLiteral("1.00000000E11");
  QTest::newRow("1.5 times ten to the twelfth") << 1.5e12 << QStringLiteral("1.50000000E12");
  QTest::newRow("negative") << -2.5 << QStringLiteral("-2.5");
  QTest::newRow("nine significant digits") << 1.0 / 3.0 << QStringLiteral(".333333333");
  QTest::newRow("rounding carries") << 9.9999999999 << QStringLiteral("10");
  QTest::newRow("infinity") << double(INFINITY) << QStringLiteral("INF");
  QTest::newRow("negative infinity") << -double(INFINITY) << QStringLiteral("-INF");
  QTest::newRow("not a number") << double(NAN) << QStringLiteral("NAN");
}

void tst_XmlValues::floatText() {
  QFETCH(double, value);
  QFETCH(QString, text);
  QCOMPARE(FloatToXmlText(value), text);
  const std::optional<double> Back = XmlTextToFloat(text);
  QVERIFY(Back);
  if (std::isnan(value))
    QVERIFY(std::isnan(*Back));
  else
    QCOMPARE(*Back, std::stod(QStringLiteral("%1").arg(value, 0, 'g', 9).toStdString()));
}

void tst_XmlValues::readFloat_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QVariant>("value"); // invalid: no number
  QTest::newRow("comma") << QStringLiteral("1,5") << QVariant(1.5);
  QTest::newRow("leading point") << QStringLiteral(".5") << QVariant(0.5);
  QTest::newRow("exponent") << QStringLiteral("1.50000000E12") << QVariant(1.5e12);
  QTest::newRow("letters") << QStringLiteral("abc") << QVariant();
  QTest::newRow("empty") << QString() << QVariant();
  QTest::newRow("overflow") << QStringLiteral("1E999") << QVariant();
}

void tst_XmlValues::readFloat() {
  QFETCH(QString, text);
  QFETCH(QVariant, value);
  const std::optional<double> Read = XmlTextToFloat(text);
  QCOMPARE(Read.has_value(), value.isValid());
  if (Read)
    QCOMPARE(*Read, value.toDouble());
}

void tst_XmlValues::dateTimeText() {
  QCOMPARE(DateTimeToXmlText(dateTime(2024, 3, 1, 8, 15, 30, 250)),
           QStringLiteral("2024-03-01T08:15:30Z"));
  QCOMPARE(DateTimeToXmlText(0.0), QStringLiteral("1899-12-30T00:00:00Z"));
  QCOMPARE(DateTimeToXmlText(-1.25), QStringLiteral("1899-12-29T06:00:00Z"));
  QCOMPARE(*XmlTextToDateTime(QStringLiteral("1899-12-29T06:00:00Z")), -1.25);
}

void tst_XmlValues::readDateTime_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QVariant>("value");
  QTest::newRow("written form, milliseconds lost")
      << QStringLiteral("2024-03-01T08:15:30Z") << QVariant(dateTime(2024, 3, 1, 8, 15, 30));
  QTest::newRow("with milliseconds") << QStringLiteral("2024-03-01T08:15:30.250Z")
                                     << QVariant(dateTime(2024, 3, 1, 8, 15, 30, 250));
  QTest::newRow("date only is midnight")
      << QStringLiteral("2024-03-01") << QVariant(dateTime(2024, 3, 1));
  QTest::newRow("sixteen characters are midnight")
      << QStringLiteral("2024-03-01T08:15") << QVariant(dateTime(2024, 3, 1));
  QTest::newRow("unreadable seconds count as zero")
      << QStringLiteral("2024-03-01T08:15:xxZ") << QVariant(dateTime(2024, 3, 1, 8, 15));
  QTest::newRow("month 13") << QStringLiteral("2024-13-01") << QVariant();
  QTest::newRow("unreadable hour") << QStringLiteral("2024-03-01Tab:15:30Z") << QVariant();
  QTest::newRow("too short") << QStringLiteral("2024-3-1") << QVariant();
  QTest::newRow("empty") << QString() << QVariant();
}

void tst_XmlValues::readDateTime() {
  QFETCH(QString, text);
  QFETCH(QVariant, value);
  const std::optional<double> Read = XmlTextToDateTime(text);
  QCOMPARE(Read.has_value(), value.isValid());
  if (Read)
    QVERIFY2(std::fabs(*Read - value.toDouble()) < 1e-9,
             qPrintable(QString::number(*Read, 'f', 12)));
}

void tst_XmlValues::hex_data() {
  QTest::addColumn<QByteArray>("bytes");
  QTest::addColumn<QString>("text");
  QTest::newRow("empty") << QByteArray() << QString();
  QTest::newRow("0A FF") << QByteArray("\x0A\xFF", 2) << QStringLiteral("0AFF");
  QTest::newRow("all values") << QByteArray("\x00\x7F\x80", 3) << QStringLiteral("007F80");
}

void tst_XmlValues::hex() {
  QFETCH(QByteArray, bytes);
  QFETCH(QString, text);
  QCOMPARE(BytesToHex(bytes), text);
  QCOMPARE(HexToBytes(text), bytes);
  QCOMPARE(HexToBytes(text.toLower()), bytes);
  QCOMPARE(HexToBytes(text + u'F'), bytes);
}

KELVANE_TEST_MAIN(tst_XmlValues)
#include "tst_XmlValues.moc"
