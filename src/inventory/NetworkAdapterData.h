#pragma once
// The record of one network adapter and its IPv6 sub-records. Their
// declarations are the layout of the adapter file: the object mapper
// writes the mapped properties below in this order, under the field names
// of their "map:" entries (see serialization/ObjectMapperAttributes.h).

#include "common/Lists.h"
#include "inventory/CustomScanData.h"
#include "serialization/InterfaceList.h"

// Getter Name() and setter SetName() over a field.
#define KELVANE_PLAIN_PROPERTY(Type, Name, Field)                                                  \
public:                                                                                            \
  Type const& Name() const {                                                                       \
    return Field;                                                                                  \
  }                                                                                                \
  void Set##Name(Type const& AValue) {                                                             \
    Field = AValue;                                                                                \
  }                                                                                                \
                                                                                                   \
private:                                                                                           \
  Type Field{};

class TBaseNetworkAdapterData : public TCustomScanData {
  Q_OBJECT
  Q_PROPERTY(QString HardwareNetcardID READ HardwareNetcardID WRITE SetHardwareNetcardID)
  Q_CLASSINFO("map:HardwareNetcardID", "CLTHDWNCID, true")
  Q_PROPERTY(QString IPAddress READ IPAddress WRITE SetIPAddress)
  Q_CLASSINFO("map:IPAddress", "IPAddress, true")
  KELVANE_PLAIN_PROPERTY(QString, HardwareNetcardID, FHardwareNetcardID)
  KELVANE_PLAIN_PROPERTY(QString, IPAddress, FIPAddress)

public:
  Q_INVOKABLE TBaseNetworkAdapterData() = default;
};

// One IPv6 unicast address of an adapter.
class TNetworkAdapterAddressIPv6Data : public TBaseNetworkAdapterData {
  Q_OBJECT
  Q_CLASSINFO("ObjectMapping", "")
  Q_CLASSINFO("MappedTableName", "CLT_HDW_NETCARDS_IPv6")
  Q_PROPERTY(QString Prefix READ Prefix WRITE SetPrefix)
  Q_CLASSINFO("map:Prefix", "")
  Q_PROPERTY(
      bool IsLinkLocalIPv6Address READ IsLinkLocalIPv6Address WRITE SetIsLinkLocalIPv6Address)
  Q_CLASSINFO("map:IsLinkLocalIPv6Address", "")
  KELVANE_PLAIN_PROPERTY(QString, Prefix, FPrefix)
  KELVANE_PLAIN_PROPERTY(bool, IsLinkLocalIPv6Address, FIsLinkLocalIPv6Address)

public:
  Q_INVOKABLE TNetworkAdapterAddressIPv6Data() = default;
};

// One IPv6 default gateway of an adapter.
class TNetworkAdapterGatewayIPv6Data : public TBaseNetworkAdapterData {
  Q_OBJECT
  Q_CLASSINFO("ObjectMapping", "")
  Q_CLASSINFO("MappedTableName", "CLT_HDW_NETCARDS_GATEWAYS_IPv6")
  Q_PROPERTY(int Metric READ Metric WRITE SetMetric)
  Q_CLASSINFO("map:Metric", "")
  KELVANE_PLAIN_PROPERTY(int, Metric, FMetric)

public:
  Q_INVOKABLE TNetworkAdapterGatewayIPv6Data() = default;
};

// One IPv6 DNS server of an adapter; Priority is its 1-based place in the
// system's list for the adapter.
class TNetworkAdapterDNSServerIPv6Data : public TBaseNetworkAdapterData {
  Q_OBJECT
  Q_CLASSINFO("ObjectMapping", "")
  Q_CLASSINFO("MappedTableName", "CLT_HDW_NETCARDS_DNSSERVER_IPv6")
  Q_PROPERTY(int Priority READ Priority WRITE SetPriority)
  Q_CLASSINFO("map:Priority", "")
  KELVANE_PLAIN_PROPERTY(int, Priority, FPriority)

public:
  Q_INVOKABLE TNetworkAdapterDNSServerIPv6Data() = default;
};

// One network adapter. The identity (HardwareNetcardID) is made on its
// first read and handed on to the sub-records present whenever it changes;
// so is ClientId. The record owns its three lists and their sub-records.
class TNetworkAdapterData : public TCustomScanData {
  Q_OBJECT
  Q_CLASSINFO("ObjectMapping", "")
  Q_CLASSINFO("MappedTableName", "CLT_HDW_NETCARDS")
  Q_PROPERTY(QString HardwareNetcardID READ HardwareNetcardID WRITE SetHardwareNetcardID)
  Q_CLASSINFO("map:HardwareNetcardID", "CLTHDWNCID")
  Q_PROPERTY(QString Name READ Name WRITE SetName)
  Q_CLASSINFO("map:Name", "")
  Q_PROPERTY(QString MACAddress READ MACAddress WRITE SetMACAddress)
  Q_CLASSINFO("map:MACAddress", "Mac")
  Q_PROPERTY(bool UseDHCP READ UseDHCP WRITE SetUseDHCP)
  Q_CLASSINFO("map:UseDHCP", "")
  Q_PROPERTY(bool HaveWINS READ HaveWINS WRITE SetHaveWINS)
  Q_CLASSINFO("map:HaveWINS", "")
  Q_PROPERTY(QString AdapterTyp READ AdapterTyp WRITE SetAdapterTyp)
  Q_CLASSINFO("map:AdapterTyp", "")
  Q_PROPERTY(QString IPv4Gateways READ IPv4Gateways WRITE SetIPv4Gateways)
  Q_CLASSINFO("map:IPv4Gateways", "Gateways")
  Q_PROPERTY(QString IPv4GatewayMasks READ IPv4GatewayMasks WRITE SetIPv4GatewayMasks)
  Q_CLASSINFO("map:IPv4GatewayMasks", "GatewayMasks")
  Q_PROPERTY(QString IPv4Addresses READ IPv4Addresses WRITE SetIPv4Addresses)
  Q_CLASSINFO("map:IPv4Addresses", "IPs")
  Q_PROPERTY(QString IPv4Netmasks READ IPv4Netmasks WRITE SetIPv4Netmasks)
  Q_CLASSINFO("map:IPv4Netmasks", "Netmasks")
  Q_PROPERTY(
      QString DHCPServerIPv4Addresses READ DHCPServerIPv4Addresses WRITE SetDHCPServerIPv4Addresses)
  Q_CLASSINFO("map:DHCPServerIPv4Addresses", "DHCPServerIPs")
  Q_PROPERTY(
      QString DHCPServerIPv4Netmasks READ DHCPServerIPv4Netmasks WRITE SetDHCPServerIPv4Netmasks)
  Q_CLASSINFO("map:DHCPServerIPv4Netmasks", "DHCPServerNetmasks")
  Q_PROPERTY(
      QString PrimaryWINSIPAddresses READ PrimaryWINSIPAddresses WRITE SetPrimaryWINSIPAddresses)
  Q_CLASSINFO("map:PrimaryWINSIPAddresses", "")
  Q_PROPERTY(QString PrimaryWINSNetmasks READ PrimaryWINSNetmasks WRITE SetPrimaryWINSNetmasks)
  Q_CLASSINFO("map:PrimaryWINSNetmasks", "")
  Q_PROPERTY(QString SecondaryWINSIPAddresses READ SecondaryWINSIPAddresses WRITE
                 SetSecondaryWINSIPAddresses)
  Q_CLASSINFO("map:SecondaryWINSIPAddresses", "")
  Q_PROPERTY(
      QString SecondaryWINSNetmasks READ SecondaryWINSNetmasks WRITE SetSecondaryWINSNetmasks)
  Q_CLASSINFO("map:SecondaryWINSNetmasks", "")
  Q_PROPERTY(QString NetAddress READ NetAddress WRITE SetNetAddress)
  Q_CLASSINFO("map:NetAddress", "")
  Q_PROPERTY(QString DNSServerIP READ DNSServerIP WRITE SetDNSServerIP)
  Q_CLASSINFO("map:DNSServerIP", "")
  Q_PROPERTY(QString DNSHostname READ DNSHostname WRITE SetDNSHostname)
  Q_CLASSINFO("map:DNSHostname", "IPv4DNSServerHostname")
  Q_PROPERTY(QString DNSDomain READ DNSDomain WRITE SetDNSDomain)
  Q_CLASSINFO("map:DNSDomain", "IPv4DNSServerDomainname")
  Q_PROPERTY(qint64 MaxSpeed READ MaxSpeed WRITE SetMaxSpeed)
  Q_CLASSINFO("map:MaxSpeed", "")
  Q_PROPERTY(
      bool IPFilderSecurityEnabled READ IPFilderSecurityEnabled WRITE SetIPFilderSecurityEnabled)
  Q_CLASSINFO("map:IPFilderSecurityEnabled", "IPFilderSecurityEnabled, false, false")
  Q_PROPERTY(bool DNSEnabledForWINSResolution READ DNSEnabledForWINSResolution WRITE
                 SetDNSEnabledForWINSResolution)
  Q_CLASSINFO("map:DNSEnabledForWINSResolution", "DNSEnabledForWINSResolution, false, false")
  Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
  Q_CLASSINFO("map:Enabled", "")
  Q_PROPERTY(bool IPv4Enabled READ IPv4Enabled WRITE SetIPv4Enabled)
  Q_CLASSINFO("map:IPv4Enabled", "")
  Q_PROPERTY(bool IPv6Enabled READ IPv6Enabled WRITE SetIPv6Enabled)
  Q_CLASSINFO("map:IPv6Enabled", "")
  Q_PROPERTY(IInterfaceList* IPv6AdressList READ IPv6AdressListInterface CONSTANT)
  Q_CLASSINFO("map:IPv6AdressList", "")
  Q_PROPERTY(IInterfaceList* IPv6DefaultGatewayList READ IPv6DefaultGatewayListInterface CONSTANT)
  Q_CLASSINFO("map:IPv6DefaultGatewayList", "")
  Q_PROPERTY(IInterfaceList* IPv6DNSServerList READ IPv6DNSServerListInterface CONSTANT)
  Q_CLASSINFO("map:IPv6DNSServerList", "")
  Q_PROPERTY(QString DHCPv6IAID READ DHCPv6IAID WRITE SetDHCPv6IAID)
  Q_CLASSINFO("map:DHCPv6IAID", "")
  Q_PROPERTY(QString DHCPv6ClientDUID READ DHCPv6ClientDUID WRITE SetDHCPv6ClientDUID)
  Q_CLASSINFO("map:DHCPv6ClientDUID", "")

  KELVANE_PLAIN_PROPERTY(QString, Name, FName)
  KELVANE_PLAIN_PROPERTY(QString, MACAddress, FMACAddress)
  KELVANE_PLAIN_PROPERTY(bool, UseDHCP, FUseDHCP)
  KELVANE_PLAIN_PROPERTY(bool, HaveWINS, FHaveWINS)
  KELVANE_PLAIN_PROPERTY(QString, AdapterTyp, FAdapterTyp)
  KELVANE_PLAIN_PROPERTY(QString, IPv4Gateways, FIPv4Gateways)
  KELVANE_PLAIN_PROPERTY(QString, IPv4GatewayMasks, FIPv4GatewayMasks)
  KELVANE_PLAIN_PROPERTY(QString, IPv4Addresses, FIPv4Addresses)
  KELVANE_PLAIN_PROPERTY(QString, IPv4Netmasks, FIPv4Netmasks)
  KELVANE_PLAIN_PROPERTY(QString, DHCPServerIPv4Addresses, FDHCPServerIPv4Addresses)
  KELVANE_PLAIN_PROPERTY(QString, DHCPServerIPv4Netmasks, FDHCPServerIPv4Netmasks)
  KELVANE_PLAIN_PROPERTY(QString, PrimaryWINSIPAddresses, FPrimaryWINSIPAddresses)
  KELVANE_PLAIN_PROPERTY(QString, PrimaryWINSNetmasks, FPrimaryWINSNetmasks)
  KELVANE_PLAIN_PROPERTY(QString, SecondaryWINSIPAddresses, FSecondaryWINSIPAddresses)
  KELVANE_PLAIN_PROPERTY(QString, SecondaryWINSNetmasks, FSecondaryWINSNetmasks)
  KELVANE_PLAIN_PROPERTY(QString, NetAddress, FNetAddress)
  KELVANE_PLAIN_PROPERTY(QString, DNSServerIP, FDNSServerIP)
  KELVANE_PLAIN_PROPERTY(QString, DNSHostname, FIPv4DNSHostname)
  KELVANE_PLAIN_PROPERTY(QString, DNSDomain, FIPv4DNSDomain)
  KELVANE_PLAIN_PROPERTY(qint64, MaxSpeed, FMaxSpeed)
  KELVANE_PLAIN_PROPERTY(bool, IPFilderSecurityEnabled, FIPFilderSecurityEnabled)
  KELVANE_PLAIN_PROPERTY(bool, DNSEnabledForWINSResolution, FDNSEnabledForWINSResolution)
  KELVANE_PLAIN_PROPERTY(bool, Enabled, FEnabled)
  KELVANE_PLAIN_PROPERTY(bool, IPv4Enabled, FIPv4Enabled)
  KELVANE_PLAIN_PROPERTY(bool, IPv6Enabled, FIPv6Enabled)
  KELVANE_PLAIN_PROPERTY(QString, DHCPv6IAID, FDHCPv6IAID)
  KELVANE_PLAIN_PROPERTY(QString, DHCPv6ClientDUID, FDHCPv6ClientDUID)

public:
  Q_INVOKABLE TNetworkAdapterData();

  // Made on the first read when none is stored; the same text afterwards.
  const QString& HardwareNetcardID();
  // Equal text (any letter case) changes nothing; other text is stored and
  // written into every sub-record present.
  void SetHardwareNetcardID(const QString& AValue);
  void SetClientId(const QString& AValue) override;

  const IList<TNetworkAdapterAddressIPv6Data>& IPv6AdressList() const { return FIPv6Addresses; }
  const IList<TNetworkAdapterGatewayIPv6Data>& IPv6DefaultGatewayList() const {
    return FIPv6DefaultGateways;
  }
  const IList<TNetworkAdapterDNSServerIPv6Data>& IPv6DNSServerList() const {
    return FIPv6DNSServers;
  }

private:
  IInterfaceList* IPv6AdressListInterface() { return &FIPv6AddressesView; }
  IInterfaceList* IPv6DefaultGatewayListInterface() { return &FIPv6DefaultGatewaysView; }
  IInterfaceList* IPv6DNSServerListInterface() { return &FIPv6DNSServersView; }
  template <class TVisit> void forEachSubRecord(TVisit AVisit);

  QString FHardwareNetcardID;
  IList<TNetworkAdapterAddressIPv6Data> FIPv6Addresses;
  IList<TNetworkAdapterGatewayIPv6Data> FIPv6DefaultGateways;
  IList<TNetworkAdapterDNSServerIPv6Data> FIPv6DNSServers;
  TInterfaceObjectList<TNetworkAdapterAddressIPv6Data> FIPv6AddressesView;
  TInterfaceObjectList<TNetworkAdapterGatewayIPv6Data> FIPv6DefaultGatewaysView;
  TInterfaceObjectList<TNetworkAdapterDNSServerIPv6Data> FIPv6DNSServersView;
};

#undef KELVANE_PLAIN_PROPERTY

// The list element of the adapter file, and the reading and writing of a
// whole list of records under it.
inline const QString NetworkAdapterDataListName = QStringLiteral("TNetworkAdapterDataList");
void SerializeAdapterList(TSerializer& ASerializer, const TObjectList<TNetworkAdapterData>& AList);
void DeserializeAdapterList(TSerializer& ASerializer, TObjectList<TNetworkAdapterData>& AList);
// The adapter file AFileName holding the records of AList, written a record
// at a time: the same bytes as SerializeAdapterList and SaveToFile give, in a
// fraction of the memory for a long list.
void SaveAdapterList(const QString& AFileName, const TObjectList<TNetworkAdapterData>& AList);
// The records of the adapter file AFileName, read a record at a time: the
// same records as LoadFromFile and DeserializeAdapterList give, in a
// fraction of the memory for a large file.
void LoadAdapterList(const QString& AFileName, TObjectList<TNetworkAdapterData>& AList);
