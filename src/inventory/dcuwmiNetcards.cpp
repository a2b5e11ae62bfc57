#include "inventory/dcuwmiNetcards.h"

#include "common/StringRules.h"
#include "inventory/IPAddressHelpers.h"
#include "logging/MorvelDebug.h"
#include "platform/RegistryAccess.h"

#include <QDir>
#include <QFileInfo>

#include <unordered_map>
#include <unordered_set>

namespace {
// Names as the system reports them against names read back from the
// working file: the scanner trims them, and the file holds U+FFFD where a
// name had a character XML cannot carry. One key serves both the match and
// the duplicate test, or a link would show twice.
QString adapterNameKey(const QString& AName) {
  return ReplaceControlCharacters(Trim(AName));
}

template <class TValue>
using TTextMap = std::unordered_map<QString, TValue, TSameTextHash, TSameText>;
} // namespace

// The records by hardware address (any case) and, under each address, by
// name key, each time the first in the list; and every name key, for the
// duplicate test of name-only records.
struct TWmiNetcard::TAdapterIndex {
  struct TSameAddress {
    TNetworkAdapterData* First = nullptr;
    TTextMap<TNetworkAdapterData*> ByName;
  };
  TTextMap<TSameAddress> ByAddress;
  std::unordered_set<QString, TSameTextHash, TSameText> Names;

  void Add(TNetworkAdapterData* ARecord) {
    const QString Name = adapterNameKey(ARecord->Name());
    TSameAddress& Address = ByAddress[ARecord->MACAddress()];
    if (!Address.First)
      Address.First = ARecord;
    Address.ByName.emplace(Name, ARecord);
    Names.insert(Name);
  }
};

TWmiNetcard::TWmiNetcard() : FNetworkAdapterList(MakeList<TNetworkAdapterData>()) {
  SetWMI_Class(QStringLiteral("Win32_NetworkAdapterConfiguration"));
}

TWmiNetcard::~TWmiNetcard() = default;

void TWmiNetcard::DoScan() {
  FIndex = std::make_unique<TAdapterIndex>();
  for (TNetworkAdapterData* Record : *FNetworkAdapterList)
    FIndex->Add(Record);
  try {
    TCustomWMI_Report::DoScan();
  } catch (...) {
    FIndex.reset();
    throw;
  }
  FIndex.reset();
}

void TWmiNetcard::Init(const QString& AOutputDirectory) {
  TCustomWMI_Report::Init(AOutputDirectory);
  QString Directory = AOutputDirectory;
  if (!Directory.endsWith(u'/'))
    Directory += u'/';
  Directory.remove(QStringLiteral("WMI\\"));
  FTargetFile = QDir::cleanPath(Directory + QLatin1String("NetworkAdapters.xml"));
  LoadAdapterList(FTargetFile, *FNetworkAdapterList);
}

void TWmiNetcard::SaveToFile(const QString& AFilename) {
  // Writing the report text first to the very file the records go to would
  // leave report text there if the records could not be written.
  if (QFileInfo(AFilename).absoluteFilePath() != QFileInfo(FTargetFile).absoluteFilePath())
    TCustomWMI_Report::SaveToFile(AFilename);
  SaveAdapterList(FTargetFile, *FNetworkAdapterList);
}

TNetworkAdapterData* TWmiNetcard::FindAdapterByMAC(const QString& AMacAddress,
                                                   const QString& ADescription) {
  const auto Address = FIndex->ByAddress.find(AMacAddress);
  if (Address == FIndex->ByAddress.end())
    return nullptr;
  const auto Named = Address->second.ByName.find(adapterNameKey(ADescription));
  return Named != Address->second.ByName.end() ? Named->second : Address->second.First;
}

void TWmiNetcard::ProcessObject(const TWmiObject& AObject) {
  TCustomWMI_Report::ProcessObject(AObject);
  const auto value = [&](const char* AName) {
    const TWmiProperty* Property = AObject.Property(QLatin1String(AName));
    if (!Property)
      throw EOleException(QStringLiteral("Not found: %1").arg(QLatin1String(AName)),
                          WBEM_E_NOT_FOUND);
    return Property->Value;
  };
  const QVariant Mac = value("MACAddress");
  TNetworkAdapterData* Record =
      FindAdapterByMAC(Mac.isValid() ? Mac.toString() : QString(), value("Description").toString());
  if (!Record)
    return;
  if (Record->Enabled()) {
    if (const QVariant Host = value("DNSHostName"); Host.isValid())
      Record->SetDNSHostname(Host.toString());
    if (const QVariant Domain = value("DNSDomain"); Domain.isValid())
      Record->SetDNSDomain(Domain.toString());
    Record->SetIPFilderSecurityEnabled(false);
    if (const QVariant Filter = value("IPFilterSecurityEnabled"); Filter.isValid())
      Record->SetIPFilderSecurityEnabled(Filter.toBool());
    Record->SetDNSEnabledForWINSResolution(false);
    if (const QVariant Wins = value("DNSEnabledForWINSResolution"); Wins.isValid())
      Record->SetDNSEnabledForWINSResolution(Wins.toBool());
    const QVariant Addresses = value("IPAddress"), Subnets = value("IPSubnet");
    if (Addresses.isValid() && Subnets.isValid()) {
      const QStringList AddressList = Addresses.toStringList(), SubnetList = Subnets.toStringList();
      for (qsizetype I = 0; I < AddressList.size(); ++I) {
        const QString Address = AddressList[I];
        GetLogger()->LogMessage(QStringLiteral("WMI found IP address: ") + Address);
        if (GetIPVersion(Address) != IPv6)
          continue;
        if (I >= SubnetList.size())
          throw EOleException(QStringLiteral("IPSubnet is shorter than IPAddress"),
                              WBEM_E_NOT_FOUND);
        auto* Sub = Record->IPv6AdressList()->AddNew();
        Sub->SetIPAddress(Address);
        Sub->SetPrefix(SubnetList[I]);
        Sub->SetIsLinkLocalIPv6Address(IsLinkLocalIPv6(Address));
      }
    }
    const QVariant Gateways = value("DefaultIPGateway"), Metrics = value("GatewayCostMetric");
    if (Gateways.isValid() && Metrics.isValid()) {
      const QStringList GatewayList = Gateways.toStringList();
      const QVariantList MetricList = Metrics.toList();
      for (qsizetype I = 0; I < GatewayList.size(); ++I) {
        const QString Gateway = GatewayList[I];
        GetLogger()->LogMessage(QStringLiteral("WMI found Gateway address: ") + Gateway);
        if (GetIPVersion(Gateway) != IPv6)
          continue;
        if (I >= MetricList.size())
          throw EOleException(QStringLiteral("GatewayCostMetric is shorter than DefaultIPGateway"),
                              WBEM_E_NOT_FOUND);
        auto* Sub = Record->IPv6DefaultGatewayList()->AddNew();
        Sub->SetIPAddress(Gateway);
        Sub->SetMetric(MetricList[I].toInt());
      }
    }
    return;
  }
  const QVariant SettingId = value("SettingID");
  if (!SettingId.isValid())
    return;
  TRegistry Registry(KEY_READ);
  Registry.SetRootKey(HKEY_LOCAL_MACHINE);
  if (!Registry.KeyExists(QStringLiteral("\\SYSTEM\\CurrentControlSet\\services\\") +
                          SettingId.toString()))
    return;
  const QVariant Description = value("Description");
  if (!Description.isValid())
    return;
  // A name-only record, unless one of that name is already there: it would
  // show the same adapter twice.
  if (FIndex->Names.contains(adapterNameKey(Description.toString())))
    return;
  auto* Added = FNetworkAdapterList->AddNew();
  Added->SetName(Description.toString());
  Added->SetEnabled(false);
  FIndex->Add(Added);
}
