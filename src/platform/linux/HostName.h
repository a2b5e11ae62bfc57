#pragma once
// The one reader of the kernel's host name (its hostname file, or what
// gethostname gives): its first line without surrounding blanks, split at its first "." into the
// computer's short name and its domain.

#include <QByteArray>
#include <QString>

struct THostName {
  QString Name;
  QString Short;
  QString Domain;
  bool operator==(const THostName&) const = default;
};

THostName ParseHostName(const QByteArray& AText);
