#pragma once
// One node of the information tree: a group (caption, lines) or a line
// (caption, value). A blank value reads "not available"; no caption or
// value holds a control character. The text export turns a list of groups
// into what "Copy to clipboard" and --print give.

#include "common/Lists.h"
#include "common/Persistent.h"

#include <QString>

class TKelvaneData : public TPersistent {
public:
  TKelvaneData();

  const QString& Caption() const { return FCaption; }
  // Control characters (C0, DEL, C1) become U+FFFD.
  void SetCaption(const QString& AValue);
  const QString& Value() const { return FValue; }
  // Trims characters up to code 32; an empty result becomes "not available",
  // otherwise the text is kept as given, blanks included, with each control
  // character (C0, DEL, C1) made U+FFFD.
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
