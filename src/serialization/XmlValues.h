#pragma once
// The texts values take in the XML files: floats with at most 9 significant
// digits ("." whatever the locale; INF, -INF and NAN for the values that
// have no digits), date-times as "yyyy-mm-ddThh:nn:ssZ" (no zone shift,
// milliseconds dropped), streams as upper-case hexadecimal.

#include <QByteArray>
#include <QString>

#include <optional>

QString FloatToXmlText(double AValue);
// "," counts as "."; nullopt for text that is no number.
std::optional<double> XmlTextToFloat(const QString& AText);

// Date-times are days since 1899-12-30, the fraction the time of day.
QString DateTimeToXmlText(double ADateTime);
// Read by position: year 1-4, month 6-7, day 9-10 and, when the text is
// longer than 16 characters, hour 12-13, minute 15-16, second 18-19 and
// millisecond 21-23 (an unreadable second or millisecond counts as 0).
// nullopt for anything unreadable or impossible.
std::optional<double> XmlTextToDateTime(const QString& AText);

QString BytesToHex(const QByteArray& ABytes);
// Pairs of hexadecimal digits, each one byte; an unreadable pair gives 0,
// an odd last digit is dropped.
QByteArray HexToBytes(const QString& AText);
