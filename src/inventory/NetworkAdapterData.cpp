#include "inventory/NetworkAdapterData.h"

#include "common/Guids.h"

KELVANE_REGISTER_MAPPED_CLASS(TNetworkAdapterData)
KELVANE_REGISTER_MAPPED_CLASS(TNetworkAdapterAddressIPv6Data)
KELVANE_REGISTER_MAPPED_CLASS(TNetworkAdapterGatewayIPv6Data)
KELVANE_REGISTER_MAPPED_CLASS(TNetworkAdapterDNSServerIPv6Data)

TNetworkAdapterData::TNetworkAdapterData()
    : FIPv6Addresses(MakeList<TNetworkAdapterAddressIPv6Data>()),
      FIPv6DefaultGateways(MakeList<TNetworkAdapterGatewayIPv6Data>()),
      FIPv6DNSServers(MakeList<TNetworkAdapterDNSServerIPv6Data>()),
      FIPv6AddressesView(*FIPv6Addresses), FIPv6DefaultGatewaysView(*FIPv6DefaultGateways),
      FIPv6DNSServersView(*FIPv6DNSServers) {}

template <class TVisit> void TNetworkAdapterData::forEachSubRecord(TVisit AVisit) {
  for (TBaseNetworkAdapterData* Item : *FIPv6Addresses)
    AVisit(*Item);
  for (TBaseNetworkAdapterData* Item : *FIPv6DefaultGateways)
    AVisit(*Item);
  for (TBaseNetworkAdapterData* Item : *FIPv6DNSServers)
    AVisit(*Item);
}

const QString& TNetworkAdapterData::HardwareNetcardID() {
  if (FHardwareNetcardID.isEmpty())
    SetHardwareNetcardID(CreateGuidString());
  return FHardwareNetcardID;
}

void TNetworkAdapterData::SetHardwareNetcardID(const QString& AValue) {
  if (FHardwareNetcardID.compare(AValue, Qt::CaseInsensitive) == 0)
    return;
  FHardwareNetcardID = AValue;
  forEachSubRecord([&](TBaseNetworkAdapterData& AItem) { AItem.SetHardwareNetcardID(AValue); });
}

void TNetworkAdapterData::SetClientId(const QString& AValue) {
  TCustomScanData::SetClientId(AValue);
  forEachSubRecord([&](TBaseNetworkAdapterData& AItem) { AItem.SetClientId(AValue); });
}

void SerializeAdapterList(TSerializer& ASerializer, const TObjectList<TNetworkAdapterData>& AList) {
  SerializeObjectList(ASerializer, AList, NetworkAdapterDataListName);
}

void DeserializeAdapterList(TSerializer& ASerializer, TObjectList<TNetworkAdapterData>& AList) {
  DeserializeObjectList(ASerializer, AList, NetworkAdapterDataListName,
                        QString::fromLatin1(TNetworkAdapterData::staticMetaObject.className()));
}

void SaveAdapterList(const QString& AFileName, const TObjectList<TNetworkAdapterData>& AList) {
  TXmlSerializer Serializer;
  SerializeObjectListToFile(Serializer, AFileName, AList, NetworkAdapterDataListName);
}

void LoadAdapterList(const QString& AFileName, TObjectList<TNetworkAdapterData>& AList) {
  TXmlSerializer Serializer;
  DeserializeObjectListFromFile(
      Serializer, AFileName, AList, NetworkAdapterDataListName,
      QString::fromLatin1(TNetworkAdapterData::staticMetaObject.className()));
}
