#include "app/KelvaneData.h"

#include "common/StringRules.h"

#include <QStringList>

TKelvaneData::TKelvaneData() : FSubItems(MakeList<TKelvaneData>()) {}

// Values come from the environment, the host name, os-release and interface
// names, any of which may hold control characters: none of them may add,
// split or colour a line of the tree, the clipboard text or --print.
void TKelvaneData::SetCaption(const QString& AValue) {
  FCaption = ReplaceControlCharacters(AValue);
}

void TKelvaneData::SetValue(const QString& AValue) {
  FValue = Trim(AValue).isEmpty() ? NotAvailable : ReplaceControlCharacters(AValue);
}

void TKelvaneData::AddSubItem(QString ACaption, QString AValue) {
  auto Item = std::make_unique<TKelvaneData>();
  Item->SetCaption(ACaption);
  Item->SetValue(AValue);
  FSubItems->Add(std::move(Item));
}

void TKelvaneData::Assign(const TPersistent* ASource) {
  const auto* Source = dynamic_cast<const TKelvaneData*>(ASource);
  if (!Source)
    return;
  FCaption = Source->FCaption;
  FValue = Source->FValue;
  for (const TKelvaneData* Child : *Source->FSubItems) {
    auto Copy = std::make_unique<TKelvaneData>();
    Copy->Assign(Child);
    FSubItems->Add(std::move(Copy));
  }
}

QString KelvaneExportText(const TObjectList<TKelvaneData>& AGroups) {
  QStringList Entries;
  for (const TKelvaneData* Group : AGroups) {
    Entries << Group->Caption();
    for (const TKelvaneData* Line : *Group->SubItems())
      Entries << u'\t' + Line->Caption() + u':' + u'\t' + Line->Value();
    Entries << QStringLiteral("\r\n");
  }
  QString Text;
  for (const QString& Entry : Entries)
    Text += Entry + QStringLiteral("\r\n");
  return Text;
}
