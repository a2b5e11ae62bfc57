#pragma once
// One node of the information tree: a group (caption, lines) or a line
// (caption, value). A blank value reads "not available". The text export
// turns a list of groups into what "Copy to clipboard" and --print give.

#include "common/Lists.h"
#include "common/Persistent.h"

#include <QString>

class TKelvaneData : public TPersistent {
public:
  TKelvaneData();

  const QString& Caption() const { return FCaption; }
  void SetCaption(const QString& AValue) { FCaption = AValue; }
  const QString& Value() const { return FValue; }
  // Trims characters up to code 32; an empty result becomes "not available",
  // otherwise the text is kept as given, blanks included.
  void SetValue(const QString& AValue);
  const IList<TKelvaneData>& SubItems() const { return FSubItems; }
  void SetSubItems(IList<TKelvaneData> AValue) { FSubItems = std::move(AValue); }

  void AddSubItem(QString ACaption, QString AValue);
  // Deep copy from another node, appended after the children this node has;
  // a source of another class is ignored.
  void Assign(const TPersistent* ASource);

private:
  QString FCaption;
  QString FValue;
  IList<TKelvaneData> FSubItems;
};

inline const QString NotAvailable = QStringLiteral("not available");

// Each group: its caption line, then TAB caption ":" TAB value per line, then
// an extra CR LF entry; every entry ends with CR LF.
QString KelvaneExportText(const TObjectList<TKelvaneData>& AGroups);
