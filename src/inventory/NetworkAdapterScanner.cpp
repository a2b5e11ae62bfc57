#include "inventory/NetworkAdapterScanner.h"

#include "common/Assert.h"
#include "common/StringRules.h"
#include "hostinfo/dcuOSFunctions.h"
#include "inventory/IPAddressHelpers.h"
#include "logging/MethodLog.h"
#include "platform/IpHelper.h"
#include "platform/Platform.h"
#include "sysinfo/SysInfoNetwork.h"

#include <unordered_map>

namespace {
// A component list in the comma convention of the records, one pair of
// enclosing quotes removed (so a single empty entry gives an empty text).
QString listText(const std::shared_ptr<QStringList>& AList) {
  return RemoveEnclosingQuotes(CommaText(AList ? *AList : QStringList()));
}
} // namespace

// Hardware address and trimmed name, both compared without regard to case.
struct TNetworkAdapterScanner::TAdapterIndex {
  struct TKey {
    QString MACAddress, Name;
  };
  struct THash {
    std::size_t operator()(const TKey& AKey) const {
      return SameTextHash(AKey.MACAddress) * 31 + SameTextHash(AKey.Name);
    }
  };
  struct TSame {
    bool operator()(const TKey& A, const TKey& B) const {
      return SameText(A.MACAddress, B.MACAddress) && SameText(A.Name, B.Name);
    }
  };
  std::unordered_map<TKey, TNetworkAdapterData*, THash, TSame> Records;

  void Add(TNetworkAdapterData* ARecord) {
    Records.emplace(TKey{ARecord->MACAddress(), Trim(ARecord->Name())}, ARecord);
  }
};

TNetworkAdapterScanner::TNetworkAdapterScanner(TSysInfoNetwork* ASysInfoNetwork)
    : FSysInfoNetwork(ASysInfoNetwork) {
  Assert(ASysInfoNetwork != nullptr, QStringLiteral("Assertion failure"));
  FNetworkAdapterList = MakeList<TNetworkAdapterData>();
}

TNetworkAdapterScanner::~TNetworkAdapterScanner() = default;

void TNetworkAdapterScanner::ReadAdpatersFromAPI() {
  TMethodLog Log(lvDebug, QStringLiteral("ReadAdpatersFromAPI"));
  const bool VistaOrLater = GetOSVersionCode() >= 9;
  IIpHelper& IpHelper = Platform::current().IpHelper();
  ULONG Size = 0;
  std::vector<TIpAdapterAddresses> Adapters;
  IpHelper.GetAdaptersAddresses(0, 0, Adapters, Size);
  const DWORD Result = IpHelper.GetAdaptersAddresses(0, 0, Adapters, Size);
  if (Result != NO_ERROR) {
    GetLogger()->LogMessage(QStringLiteral("Error on getting network adapters (%d): %s"),
                            {int(Result), SysErrorMessage(Result)});
    return;
  }
  for (const TIpAdapterAddresses& Adapter : Adapters) {
    if ((Adapter.IfType & 6) != 6)
      continue;
    TNetworkAdapterData* Record = FNetworkAdapterList->AddNew();
    Record->SetName(Adapter.Description);
    GetLogger()->LogString(QStringLiteral("Ethernet network adapter found: "), Record->Name());
    Record->SetMACAddress(BytesToHexString(Adapter.PhysicalAddress));
    Record->SetIPv4Enabled(Adapter.Ipv4Enabled);
    Record->SetIPv6Enabled(Adapter.Ipv6Enabled);
    Record->SetEnabled(false);
    GetLogger()->LogDebug(QStringLiteral("Scan DNS servers"));
    int Priority = 0;
    for (const TSocketAddress& Server : Adapter.DnsServerAddresses) {
      const QString Text = SOCKET_ADDRESSToString(Server);
      GetLogger()->LogMessage(
          QStringLiteral("API function GetAdaptersAddresses found DNS server: ") + Text);
      if (GetIPVersion(Text) == IPv4) {
        if (Record->DNSServerIP().isEmpty())
          Record->SetDNSServerIP(Text);
      } else {
        auto* Ipv6Server = Record->IPv6DNSServerList()->AddNew();
        Ipv6Server->SetIPAddress(Text);
        Ipv6Server->SetPriority(++Priority);
      }
      if (Record->IPv6Enabled() && VistaOrLater) {
        GetLogger()->LogMessage(QStringLiteral("Read IPv6 DHCP info"));
        Record->SetDHCPv6IAID(QString::number(Adapter.Dhcpv6Iaid));
        Record->SetDHCPv6ClientDUID(GetDHCPv6ClientDUID(Adapter.Dhcpv6ClientDuid));
      } else {
        Record->SetDHCPv6IAID(QString());
        Record->SetDHCPv6ClientDUID(QString());
      }
    }
  }
}

void TNetworkAdapterScanner::Scan() {
  TMethodLog Log(lvDebug, QStringLiteral("Scan"));
  ReadAdpatersFromAPI();
  TSysInfoTCPIP* TCPIP = FSysInfoNetwork->TCPIP();
  FIndex = std::make_unique<TAdapterIndex>();
  for (TNetworkAdapterData* Record : *FNetworkAdapterList)
    FIndex->Add(Record);
  for (std::uint16_t I = 0; I < TCPIP->AdapterCount(); ++I) {
    const TAdapter Adapter = TCPIP->Adapters(I);
    TNetworkAdapterData* Record = FindOrAddAdapter(Adapter.Name, Adapter.Address);
    Record->SetUseDHCP(Adapter.EnableDHCP);
    Record->SetHaveWINS(Adapter.HaveWINS);
    Record->SetAdapterTyp(QString::number(int(Adapter.Typ)));
    Record->SetMaxSpeed(qint64(Adapter.MaxSpeed));
    Record->SetIPv4Gateways(listText(Adapter.Gateway_IPAddress));
    Record->SetIPv4GatewayMasks(listText(Adapter.Gateway_IPAddressMask));
    Record->SetIPv4Addresses(listText(Adapter.IPAddress));
    Record->SetIPv4Netmasks(listText(Adapter.IPAddressMask));
    Record->SetDHCPServerIPv4Addresses(listText(Adapter.DHCP_IPAddress));
    Record->SetDHCPServerIPv4Netmasks(listText(Adapter.DHCP_IPAddressMask));
    Record->SetPrimaryWINSIPAddresses(listText(Adapter.PrimaryWINS_IPAddress));
    Record->SetPrimaryWINSNetmasks(listText(Adapter.PrimaryWINS_IPAddressMask));
    Record->SetSecondaryWINSIPAddresses(listText(Adapter.SecondaryWINS_IPAddress));
    Record->SetSecondaryWINSNetmasks(listText(Adapter.SecondaryWINS_IPAddressMask));
    Record->SetNetAddress(GetNetworkAddress(Record->IPv4Addresses(), Record->IPv4Netmasks()));
  }
  FIndex.reset();
}

TNetworkAdapterData* TNetworkAdapterScanner::FindOrAddAdapter(const QString& AName,
                                                              const QString& AMacAddress) {
  const auto Found = FIndex->Records.find({AMacAddress, Trim(AName)});
  if (Found != FIndex->Records.end()) {
    Found->second->SetEnabled(true);
    return Found->second;
  }
  TNetworkAdapterData* Record = FNetworkAdapterList->AddNew();
  Record->SetName(AName);
  Record->SetMACAddress(AMacAddress);
  Record->SetEnabled(false);
  FIndex->Add(Record);
  return Record;
}

void TNetworkAdapterScanner::SaveToFile(const QString& AFilename) {
  SaveAdapterList(AFilename, *FNetworkAdapterList);
}
