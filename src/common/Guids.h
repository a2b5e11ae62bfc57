#pragma once
// Globally unique identifiers in the text form the files carry:
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", 38 characters, upper case.
// They come from QUuid's random generator unless a test has put a source of
// its own in place, so that files holding identities can be compared byte
// for byte.

#include <QString>
#include <QUuid>

#include <functional>

using TGuidSource = std::function<QUuid()>;

QString CreateGuidString();
QString GuidToString(const QUuid& AGuid);

// Puts ASource in place (an empty one restores the random generator) and
// answers the source it replaces.
TGuidSource ReplaceGuidSource(TGuidSource ASource);

// Numbers identities 1, 2, 3, ... for as long as it lives.
class TScopedCountingGuids {
public:
  TScopedCountingGuids();
  ~TScopedCountingGuids();
  TScopedCountingGuids(const TScopedCountingGuids&) = delete;
  TScopedCountingGuids& operator=(const TScopedCountingGuids&) = delete;

private:
  TGuidSource FPrevious;
};
