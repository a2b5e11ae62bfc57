#include "serialization/XmlValues.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>

#include <cmath>

QString FloatToXmlText(double AValue) {
  if (std::isnan(AValue))
    return QStringLiteral("NAN");
  if (std::isinf(AValue))
    return AValue < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
  if (AValue == 0)
    return QStringLiteral("0");
  QString Sign;
  if (AValue < 0) {
    Sign = QStringLiteral("-");
    AValue = -AValue;
  }
  constexpr double Limit = 1e9;
  int Point = 9;
  int Digits = 9;
  while (AValue < Limit / 10) {
    AValue *= 10;
    --Point;
  }
  while (AValue >= Limit) {
    AValue *= 0.1;
    ++Point;
  }
  auto Integer = static_cast<long long>(std::nearbyint(AValue));
  if (Integer == static_cast<long long>(Limit)) {
    Integer /= 10;
    ++Point;
  }
  while (Integer % 10 == 0 && Point < Digits) {
    Integer /= 10;
    --Digits;
  }
  std::optional<int> Exponent;
  if (Point < -1 || Point > Digits + 2) {
    Exponent = Point - 1;
    Point = 1;
  }
  QString Body = QString::number(Integer);
  while (Point > Digits) {
    Body += u'0';
    ++Digits;
  }
  while (Point < 0) {
    Body.prepend(u'0');
    ++Point;
  }
  if (Point == 0)
    Body.prepend(u'.');
  else if (Point < Digits)
    Body.insert(Point, u'.');
  if (Exponent)
    Body += u'E' + QString::number(*Exponent);
  return Sign + Body;
}

std::optional<double> XmlTextToFloat(const QString& AText) {
  QString Text = AText.trimmed();
  Text.replace(u',', u'.');
  if (Text.compare(QLatin1String("INF"), Qt::CaseInsensitive) == 0)
    return INFINITY;
  if (Text.compare(QLatin1String("-INF"), Qt::CaseInsensitive) == 0)
    return -INFINITY;
  if (Text.compare(QLatin1String("NAN"), Qt::CaseInsensitive) == 0)
    return NAN;
  bool Ok = false;
  const double Value = QLocale::c().toDouble(Text, &Ok);
  if (!Ok || !std::isfinite(Value))
    return std::nullopt;
  return Value;
}

namespace {
const QDate Epoch(1899, 12, 30);
constexpr qint64 MsPerDay = 86400000;
} // namespace

QString DateTimeToXmlText(double ADateTime) {
  // Before the epoch the day counts down and the fraction still counts the
  // time of day: -1.25 is 29 December 1899, 06:00.
  const double Days = std::trunc(ADateTime);
  const QDate Date = Epoch.addDays(static_cast<qint64>(Days));
  const auto Ms = static_cast<qint64>(std::llround(std::fabs(ADateTime - Days) * MsPerDay));
  const QTime Time = QTime::fromMSecsSinceStartOfDay(static_cast<int>(std::min(Ms, MsPerDay - 1)));
  return QStringLiteral("%1-%2-%3T%4:%5:%6Z")
      .arg(Date.year(), 4, 10, QChar(u'0'))
      .arg(Date.month(), 2, 10, QChar(u'0'))
      .arg(Date.day(), 2, 10, QChar(u'0'))
      .arg(Time.hour(), 2, 10, QChar(u'0'))
      .arg(Time.minute(), 2, 10, QChar(u'0'))
      .arg(Time.second(), 2, 10, QChar(u'0'));
}

std::optional<double> XmlTextToDateTime(const QString& AText) {
  auto number = [&](int AFrom, int ALength, bool& AOk) {
    const QString Part = AText.mid(AFrom - 1, ALength);
    bool Ok = Part.size() == ALength;
    int Value = 0;
    for (QChar C : Part) {
      Ok = Ok && C.isDigit() && C.unicode() < 128;
      Value = Value * 10 + (C.unicode() - u'0');
    }
    AOk = Ok;
    return Value;
  };
  bool Ok = false;
  const int Year = number(1, 4, Ok);
  if (!Ok)
    return std::nullopt;
  const int Month = number(6, 2, Ok);
  if (!Ok)
    return std::nullopt;
  const int Day = number(9, 2, Ok);
  if (!Ok)
    return std::nullopt;
  int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
  if (AText.size() > 16) {
    Hour = number(12, 2, Ok);
    if (!Ok)
      return std::nullopt;
    Minute = number(15, 2, Ok);
    if (!Ok)
      return std::nullopt;
    Second = number(18, 2, Ok);
    if (!Ok)
      Second = 0;
    Millisecond = number(21, 3, Ok);
    if (!Ok)
      Millisecond = 0;
  }
  const QDate Date(Year, Month, Day);
  const QTime Time(Hour, Minute, Second, Millisecond);
  if (!Date.isValid() || !Time.isValid())
    return std::nullopt;
  const auto Days = static_cast<double>(Epoch.daysTo(Date));
  const double Fraction = Time.msecsSinceStartOfDay() / double(MsPerDay);
  return Days < 0 ? Days - Fraction : Days + Fraction;
}

QString BytesToHex(const QByteArray& ABytes) {
  return QString::fromLatin1(ABytes.toHex()).toUpper();
}

QByteArray HexToBytes(const QString& AText) {
  QByteArray Bytes;
  Bytes.reserve(AText.size() / 2);
  for (qsizetype I = 0; I + 1 < AText.size(); I += 2) {
    bool Ok = false;
    const int Value = AText.mid(I, 2).toInt(&Ok, 16);
    Bytes.append(static_cast<char>(Ok ? Value : 0));
  }
  return Bytes;
}
