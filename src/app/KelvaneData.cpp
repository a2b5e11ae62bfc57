#include "app/KelvaneData.h"

#include "common/StringRules.h"

#include <QStringList>

TKelvaneData::TKelvaneData() : FSubItems(MakeList<TKelvaneData>()) {}

void TKelvaneData::SetValue(const QString& AValue) {
  FValue = Trim(AValue).isEmpty() ? NotAvailable : AValue;
}

void TKelvaneData::AddSubItem(QString ACaption, QString AValue) {
  auto Item = std::make_unique<TKelvaneData>();
  Item->FCaption = std::move(ACaption);
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
