#include "platform/linux/LinuxNetworkAdapters.h"

#include "platform/linux/LinuxSockets.h"

#include <QHash>
#include <QStringList>
#include <QVariantList>

namespace {
const int StringArray = wbemCimtypeString | wbemCimtypeArrayFlag;

// The class's properties in the order Windows defines them, all Null.
const std::pair<const char*, int> Properties[] = {
    {"Caption", wbemCimtypeString},
    {"DefaultIPGateway", StringArray},
    {"Description", wbemCimtypeString},
    {"DHCPEnabled", wbemCimtypeBoolean},
    {"DHCPLeaseExpires", wbemCimtypeDatetime},
    {"DHCPLeaseObtained", wbemCimtypeDatetime},
    {"DHCPServer", wbemCimtypeString},
    {"DNSDomain", wbemCimtypeString},
    {"DNSDomainSuffixSearchOrder", StringArray},
    {"DNSEnabledForWINSResolution", wbemCimtypeBoolean},
    {"DNSHostName", wbemCimtypeString},
    {"DNSServerSearchOrder", StringArray},
    {"DomainDNSRegistrationEnabled", wbemCimtypeBoolean},
    {"FullDNSRegistrationEnabled", wbemCimtypeBoolean},
    {"GatewayCostMetric", wbemCimtypeUint16 | wbemCimtypeArrayFlag},
    {"Index", wbemCimtypeUint32},
    {"InterfaceIndex", wbemCimtypeUint32},
    {"IPAddress", StringArray},
    {"IPConnectionMetric", wbemCimtypeUint32},
    {"IPEnabled", wbemCimtypeBoolean},
    {"IPFilterSecurityEnabled", wbemCimtypeBoolean},
    {"IPSubnet", StringArray},
    {"MACAddress", wbemCimtypeString},
    {"MTU", wbemCimtypeUint32},
    {"ServiceName", wbemCimtypeString},
    {"SettingID", wbemCimtypeString},
    {"TcpipNetbiosOptions", wbemCimtypeUint32},
    {"WINSPrimaryServer", wbemCimtypeString},
    {"WINSSecondaryServer", wbemCimtypeString},
};

QString text(const TSocketAddress& AAddress) {
  int Error = 0;
  return FormatSocketAddress(AAddress, Error).value_or(QString());
}

QString maskOf(int APrefixLength) {
  return Ipv4ToString(APrefixLength <= 0    ? 0
                      : APrefixLength >= 32 ? 0xFFFFFFFFu
                                            : ~((1u << (32 - APrefixLength)) - 1));
}
} // namespace

TWmiObject TLinuxNetworkAdapterConfigurationProvider::Definition() {
  TWmiObject Object(QStringLiteral("Win32_NetworkAdapterConfiguration"));
  for (const auto& [Name, Type] : Properties)
    Object.Set(QLatin1String(Name), Type, QVariant());
  return Object;
}

std::vector<TWmiObject> TLinuxNetworkAdapterConfigurationProvider::Instances(const TWqlQuery&) {
  std::vector<TIpAdapterAddresses> Adapters;
  ULONG Size = 0;
  if (FIpHelper.GetAdaptersAddresses(0, 0, Adapters, Size) == ERROR_BUFFER_OVERFLOW)
    FIpHelper.GetAdaptersAddresses(0, 0, Adapters, Size);
  TFixedInfo Parameters;
  ULONG ParameterSize = 0;
  if (FIpHelper.GetNetworkParams(Parameters, ParameterSize) == ERROR_BUFFER_OVERFLOW)
    FIpHelper.GetNetworkParams(Parameters, ParameterSize);
  std::vector<TIpAdapterInfo> Infos;
  ULONG InfoSize = 0;
  if (FIpHelper.GetAdaptersInfo(Infos, InfoSize) == ERROR_BUFFER_OVERFLOW)
    FIpHelper.GetAdaptersInfo(Infos, InfoSize);

  // The DHCP server of each adapter, by index: one pass, whatever the number of adapters.
  QHash<DWORD, QString> DhcpServers;
  for (const TIpAdapterInfo& Info : Infos)
    if (!Info.DhcpServer.empty() && !Info.DhcpServer.front().IpAddress.isEmpty())
      DhcpServers.insert(Info.Index, Info.DhcpServer.front().IpAddress);

  const TWmiObject Blank = Definition();
  std::vector<TWmiObject> Result;
  for (const TIpAdapterAddresses& Adapter : Adapters) {
    if (Adapter.IfType == IF_TYPE_SOFTWARE_LOOPBACK)
      continue;
    TWmiObject Object = Blank;
    const auto set = [&](const char* AName, const QVariant& AValue) {
      Object.Set(QLatin1String(AName), Object.Property(QLatin1String(AName))->CimType, AValue);
    };
    set("Index", Adapter.IfIndex);
    set("InterfaceIndex", Adapter.IfIndex);
    set("Description", Adapter.Description);
    set("Caption", QStringLiteral("[%1] %2")
                       .arg(Adapter.IfIndex, 8, 10, QLatin1Char('0'))
                       .arg(Adapter.Description));
    set("SettingID", Adapter.AdapterName);
    if (!Adapter.PhysicalAddress.isEmpty()) {
      QStringList Bytes;
      for (const char Byte : Adapter.PhysicalAddress)
        Bytes << QStringLiteral("%1").arg(uint(uchar(Byte)), 2, 16, QLatin1Char('0')).toUpper();
      set("MACAddress", Bytes.join(u':'));
    }
    // IPv4 addresses with their masks first, then IPv6 with prefix lengths,
    // as Windows lists them.
    QStringList Addresses, Subnets;
    for (int Family : {int(WSA_AF_INET), int(WSA_AF_INET6)})
      for (const TUnicastAddress& Address : Adapter.UnicastAddresses)
        if (Address.Address.Family == Family) {
          Addresses << text(Address.Address);
          Subnets << (Family == WSA_AF_INET ? maskOf(Address.PrefixLength)
                                            : QString::number(Address.PrefixLength));
        }
    set("IPEnabled", !Addresses.isEmpty());
    if (!Addresses.isEmpty()) {
      set("IPAddress", Addresses);
      set("IPSubnet", Subnets);
    }
    QStringList Gateways;
    QVariantList Metrics;
    for (int Family : {int(WSA_AF_INET), int(WSA_AF_INET6)})
      for (std::size_t I = 0; I < Adapter.GatewayAddresses.size(); ++I)
        if (Adapter.GatewayAddresses[I].Family == Family) {
          Gateways << text(Adapter.GatewayAddresses[I]);
          Metrics << QVariant::fromValue(quint16(
              I < Adapter.GatewayMetrics.size() ? qMin<DWORD>(Adapter.GatewayMetrics[I], 0xFFFF)
                                                : 0));
        }
    if (!Gateways.isEmpty()) {
      set("DefaultIPGateway", Gateways);
      set("GatewayCostMetric", Metrics);
    }
    set("DHCPEnabled", Adapter.DhcpEnabled);
    if (Adapter.DhcpEnabled && DhcpServers.contains(Adapter.IfIndex))
      set("DHCPServer", DhcpServers.value(Adapter.IfIndex));
    set("DNSHostName", Parameters.HostName);
    if (!Parameters.DomainName.isEmpty())
      set("DNSDomain", Parameters.DomainName);
    QStringList Servers;
    for (const TSocketAddress& Server : Adapter.DnsServerAddresses)
      Servers << text(Server);
    if (!Servers.isEmpty())
      set("DNSServerSearchOrder", Servers);
    set("MTU", Adapter.Mtu);
    set("IPFilterSecurityEnabled", false);
    set("DNSEnabledForWINSResolution", false);
    Result.push_back(std::move(Object));
  }
  return Result;
}

std::vector<TWmiObject> TMetaClassProvider::Instances(const TWqlQuery&) {
  return FDefinitions;
}
