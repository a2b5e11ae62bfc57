#include "inventory/CustomScanData.h"

#include "serialization/XMLObjectMapper.h"

void TCustomScanData::SetClientId(const QString& AValue) {
  FClientId = AValue;
}

void TCustomScanData::LoadFromIni(QSettings&, const QString&) {}
void TCustomScanData::SaveToIni(QSettings&, const QString&) {}

void TCustomScanData::Serialize(TSerializer& ASerializer) {
  TXmlObjectMapper::WriteToSerializer(this, ASerializer);
}

void TCustomScanData::Deserialize(TSerializer& ASerializer) {
  TXmlObjectMapper::ReadFromSerializer(this, ASerializer);
}
