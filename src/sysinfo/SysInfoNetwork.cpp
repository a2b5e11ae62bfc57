#include "sysinfo/SysInfoNetwork.h"

#include "common/StringRules.h"
#include "platform/IpHelper.h"
#include "platform/Platform.h"
#include "platform/Sockets.h"
#include "sysinfo/SysInfoDevices.h"

namespace {
const int AllScanObjects = 0x3FFFFF;

std::shared_ptr<QStringList> newList() {
  return std::make_shared<QStringList>();
}

// Chain texts into an address list and its mask list, in chain order.
void addChain(const std::vector<TIpAddrString>& AChain, QStringList& AAddresses,
              QStringList& AMasks) {
  for (const TIpAddrString& Element : AChain) {
    AAddresses << Element.IpAddress.left(15);
    AMasks << Element.IpMask.left(15);
  }
}

QString hardwareAddress(const QByteArray& ABytes) {
  QStringList Parts;
  for (qsizetype I = 0; I < ABytes.size() && I < 8; ++I)
    Parts << QStringLiteral("%1").arg(uint(uchar(ABytes[I])), 2, 16, QLatin1Char('0')).toUpper();
  return Parts.join(u':');
}
} // namespace

TAdapterType AdapterTypeOf(unsigned AIfType) {
  switch (AIfType) {
  case IF_TYPE_ETHERNET_CSMACD:
    return atEthernet;
  case IF_TYPE_ISO88025_TOKENRING:
    return atTokenRing;
  case IF_TYPE_FDDI:
    return atFDDI;
  case IF_TYPE_PPP:
    return atPPP;
  case IF_TYPE_SOFTWARE_LOOPBACK:
    return atLoopback;
  case IF_TYPE_SLIP:
    return atSlip;
  default:
    return atOther;
  }
}

// ---- TCP/IP ----------------------------------------------------------------------

TSysInfoTCPIP::TSysInfoTCPIP(QObject* AOwner) : TSysInfoComponent(AOwner) {}

void TSysInfoTCPIP::RefreshData(int AScanObjects) {
  TSysInfoComponent::RefreshData(AScanObjects);
  try {
    refresh();
  } catch (...) {
    // What was filled before the error stays; the refresh ends normally.
  }
}

void TSysInfoTCPIP::refresh() {
  FAdapters.clear();
  IIpHelper& IpHelper = Platform::current().IpHelper();
  if (!IpHelper.HasEntryPoint(TIpHelperFunction::GetAdaptersInfo))
    return;
  readAdapters();
  if (IpHelper.HasEntryPoint(TIpHelperFunction::GetNetworkParams))
    readParameters();
  SetDataAvailable(true);
}

void TSysInfoTCPIP::readAdapters() {
  IIpHelper& IpHelper = Platform::current().IpHelper();
  ULONG Size = SizeOfIpAdapterInfo;
  std::vector<TIpAdapterInfo> Infos;
  DWORD Result = IpHelper.GetAdaptersInfo(Infos, Size);
  // Bounded: a system that keeps growing its answer cannot hold the refresh.
  for (int Try = 0; Result == ERROR_BUFFER_OVERFLOW && Try < 16; ++Try) {
    Size += SizeOfIpAdapterInfo;
    Result = IpHelper.GetAdaptersInfo(Infos, Size);
  }
  if (Result != NO_ERROR)
    return;
  for (const TIpAdapterInfo& Info : Infos) {
    TAdapter Adapter;
    for (auto* List :
         {&Adapter.IPAddress, &Adapter.IPAddressMask, &Adapter.Gateway_IPAddress,
          &Adapter.Gateway_IPAddressMask, &Adapter.DHCP_IPAddress, &Adapter.DHCP_IPAddressMask,
          &Adapter.PrimaryWINS_IPAddress, &Adapter.PrimaryWINS_IPAddressMask,
          &Adapter.SecondaryWINS_IPAddress, &Adapter.SecondaryWINS_IPAddressMask})
      *List = newList();
    Adapter.Name = Trim(Info.Description.left(132));
    Adapter.Typ = AdapterTypeOf(Info.Type);
    Adapter.Address = hardwareAddress(Info.Address);
    Adapter.EnableDHCP = Info.DhcpEnabled;
    Adapter.HaveWINS = Info.HaveWins;
    addChain(Info.IpAddressList, *Adapter.IPAddress, *Adapter.IPAddressMask);
    addChain(Info.GatewayList, *Adapter.Gateway_IPAddress, *Adapter.Gateway_IPAddressMask);
    addChain(Info.DhcpServer, *Adapter.DHCP_IPAddress, *Adapter.DHCP_IPAddressMask);
    addChain(Info.PrimaryWinsServer, *Adapter.PrimaryWINS_IPAddress,
             *Adapter.PrimaryWINS_IPAddressMask);
    addChain(Info.SecondaryWinsServer, *Adapter.SecondaryWINS_IPAddress,
             *Adapter.SecondaryWINS_IPAddressMask);
    // An interface without a row keeps zeros: the scanner reads only the speed.
    TMibIfRow Row;
    Row.Index = Info.Index;
    if (IpHelper.HasEntryPoint(TIpHelperFunction::GetIfEntry) &&
        IpHelper.GetIfEntry(Row) == NO_ERROR) {
      Adapter.MaxSpeed = Row.Speed;
      Adapter.MTU = Row.Mtu;
      Adapter.AdminStatus = Row.AdminStatus;
      Adapter.OperStatus = Row.OperStatus;
    }
    FAdapters.push_back(std::move(Adapter));
  }
}

void TSysInfoTCPIP::readParameters() {
  IIpHelper& IpHelper = Platform::current().IpHelper();
  ULONG Size = SizeOfFixedInfo;
  TFixedInfo Info;
  DWORD Result = IpHelper.GetNetworkParams(Info, Size);
  for (int Try = 0; Result == ERROR_BUFFER_OVERFLOW && Try < 16; ++Try)
    Result = IpHelper.GetNetworkParams(Info, Size);
  if (Result != NO_ERROR)
    return;
  switch (Info.NodeType) {
  case 1:
    FNodeType = ntBroadcast;
    break;
  case 2:
    FNodeType = ntPeerToPeer;
    break;
  case 4:
    FNodeType = ntMixed;
    break;
  case 8:
    FNodeType = ntHybrid;
    break;
  default:
    FNodeType = ntUnknown;
  }
  FDHCPScopeName = Info.ScopeId.left(260);
  FPrimaryDNSSuffix =
      Info.CurrentDnsServer >= 0 && std::size_t(Info.CurrentDnsServer) < Info.DnsServerList.size()
          ? Info.DnsServerList[std::size_t(Info.CurrentDnsServer)].IpAddress
          : QString();
  // A chain that repeats the element just added ends there.
  FDNSServers.clear();
  for (const TIpAddrString& Server : Info.DnsServerList) {
    if (!FDNSServers.isEmpty() && FDNSServers.last() == Server.IpAddress)
      break;
    FDNSServers << Server.IpAddress;
  }
  FDNSSuffixes.clear();
  QString SearchList = ReadRegistryString(
      HKEY_LOCAL_MACHINE, QStringLiteral("SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters"),
      QStringLiteral("SearchList"));
  for (qsizetype Comma; (Comma = SearchList.indexOf(u',')) >= 0;) {
    FDNSSuffixes << SearchList.left(Comma);
    SearchList.remove(0, Comma + 1);
  }
  FDNSSuffixes << SearchList;
  FHostName = Info.HostName.left(132);
  FDomainName = Info.DomainName.left(132);
  FEnableProxy = (Info.EnableProxy & 0xFF) != 0;
  FEnableRouting = (Info.EnableRouting & 0xFF) != 0;
  FEnableDNS = (Info.EnableDns & 0xFF) != 0;
}

std::int32_t TSysInfoTCPIP::FindAdapter(const QString& AName) const {
  for (std::size_t I = 0; I < FAdapters.size(); ++I)
    if (FAdapters[I].Name.compare(AName, Qt::CaseInsensitive) == 0)
      return std::int32_t(I);
  return -1;
}

// ---- sockets layer -------------------------------------------------------------------

TSysInfoWinsock::TSysInfoWinsock(QObject* AOwner) : TSysInfoComponent(AOwner) {}

void TSysInfoWinsock::RefreshData(int AScanObjects) {
  TSysInfoComponent::RefreshData(AScanObjects);
  ISockets& Sockets = Platform::current().Sockets();
  TWsaData Data;
  if (Sockets.WSAStartup(0x0101, &Data) != 0) {
    FStatus = QStringLiteral("Winsock cannot be initialized.");
  } else {
    FDescription = Data.Description.left(257);
    FStatus = Data.SystemStatus.left(129);
    FMajorVersion = Data.HighVersion & 0xFF;
    FMinorVersion = Data.HighVersion >> 8;
    Sockets.WSACleanup();
  }
  SetDataAvailable(true);
}

// ---- shares ----------------------------------------------------------------------

TSysInfoNetResources::TSysInfoNetResources(QObject* AOwner)
    : TSysInfoComponent(AOwner), FShareEnumerator(std::make_unique<TNTShares>()),
      FConnectionEnumerator(std::make_unique<TConnections>()) {}

void TSysInfoNetResources::RefreshData(int AScanObjects) {
  TSysInfoComponent::RefreshData(AScanObjects);
  FShares.clear();
  FSessions.clear();
  FOpenFiles.clear();
  FConnections.clear();
  try {
    FShareEnumerator->RefreshShares();
    for (int I = 0; I < FShareEnumerator->ShareCount(); ++I)
      FShares.push_back(*FShareEnumerator->Shares(I));
    FShareEnumerator->RefreshSessions();
    for (int I = 0; I < FShareEnumerator->SessionCount(); ++I)
      FSessions.push_back(*FShareEnumerator->Sessions(I));
    FShareEnumerator->RefreshOpenFiles();
    for (int I = 0; I < FShareEnumerator->OpenFileCount(); ++I)
      FOpenFiles.push_back(*FShareEnumerator->OpenFiles(I));
    for (std::size_t I = 0; I < FShares.size(); ++I) {
      FConnectionEnumerator->SetQualifier(FShares[I].Name);
      FConnectionEnumerator->Refresh(I == 0);
    }
    for (int I = 0; I < FConnectionEnumerator->ConnectionCount(); ++I)
      FConnections.push_back(*FConnectionEnumerator->Connections(I));
  } catch (...) {
    // The arrays keep what was copied before the error.
  }
}

// ---- the network ------------------------------------------------------------------

TSysInfoNetwork::TSysInfoNetwork(QObject* AOwner)
    : TSysInfoComponent(AOwner), FResources(new TSysInfoNetResources(this)),
      FWinSock(new TSysInfoWinsock(this)), FTCPIP(new TSysInfoTCPIP(this)) {
  FResources->setObjectName(QStringLiteral("NetResources"));
  FWinSock->setObjectName(QStringLiteral("Winsock"));
  FTCPIP->setObjectName(QStringLiteral("TCPIP"));
}

void TSysInfoNetwork::RefreshData(int AScanObjects) {
  TSysInfoComponent::RefreshData(AScanObjects);
  FPhysicalAdapters.clear();
  FVirtualAdapters.clear();
  splitDevices();
  FResources->RefreshData(AllScanObjects);
  FWinSock->RefreshData(AllScanObjects);
  FTCPIP->RefreshData(AllScanObjects);
  if (StartupSnapshot().IsNT)
    addNetworkCards();
  readHostAddresses();
  if (StartupSnapshot().IsWin2000OrLater) {
    classDescriptions(QStringLiteral("NetTrans"), FProtocols);
    classDescriptions(QStringLiteral("NetService"), FServices);
    classDescriptions(QStringLiteral("NetClient"), FClients);
  } else {
    legacyClassDescriptions(QStringLiteral("NetTrans"), FProtocols);
    legacyClassDescriptions(QStringLiteral("NetService"), FServices);
    legacyClassDescriptions(QStringLiteral("NetClient"), FClients);
  }
  GetNetBIOSMACAddresses(StartupSnapshot().MachineName, FMACAddresses);
  SetDataAvailable(true);
}

void TSysInfoNetwork::splitDevices() {
  TSysInfoDevices Devices(this); // freed at the end of the scope, also on an error
  Devices.RefreshData(AllScanObjects);
  for (int I = 0; I < Devices.DeviceCount(); ++I) {
    const TDevice Device = Devices.Devices(I);
    if (Device.DeviceClass != dcNet)
      continue;
    if (!Device.ResourceListKey.isEmpty() && !Device.Location.isEmpty())
      FPhysicalAdapters << Device.Name;
    else
      FVirtualAdapters << Device.Name;
  }
}

void TSysInfoNetwork::addNetworkCards() {
  const QString Cards =
      QStringLiteral("\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards");
  std::unique_ptr<TRegistry> Registry = CreateRegistryReader();
  Registry->SetRootKey(HKEY_LOCAL_MACHINE);
  if (!Registry->OpenKeyReadOnly(Cards))
    return;
  for (const QString& Card : Registry->GetKeyNames()) {
    std::unique_ptr<TRegistry> Key = CreateRegistryReader();
    Key->SetRootKey(HKEY_LOCAL_MACHINE);
    if (!Key->OpenKeyReadOnly(Cards + u'\\' + Card))
      continue;
    const QString Description = Key->ReadString(QStringLiteral("Description"));
    if (!FPhysicalAdapters.contains(Description, Qt::CaseInsensitive))
      FPhysicalAdapters << Description;
  }
}

void TSysInfoNetwork::readHostAddresses() {
  ISockets& Sockets = Platform::current().Sockets();
  QString Text;
  if (Sockets.WSAStartup(0x0101) == 0) {
    QString Name;
    if (Sockets.GetHostName(Name) == 0) {
      QStringList Addresses;
      for (const std::uint32_t Address : Sockets.GetHostByName(Name.left(63)))
        Addresses << Ipv4ToString(Address);
      Text = Addresses.join(u',');
    }
    Sockets.WSACleanup();
  }
  FIPAddresses = SplitCommaText(Text);
}

void TSysInfoNetwork::classDescriptions(const QString& AClassName, QStringList& AList) {
  const QString ClassRoot = QStringLiteral("\\SYSTEM\\CurrentControlSet\\Control\\Class");
  const QString NetworkRoot = QStringLiteral("\\SYSTEM\\CurrentControlSet\\Control\\Network\\");
  std::unique_ptr<TRegistry> Registry = CreateRegistryReader();
  Registry->SetRootKey(HKEY_LOCAL_MACHINE);
  if (!Registry->OpenKey(ClassRoot))
    return;
  const QStringList Classes = Registry->GetKeyNames();
  Registry->CloseKey();
  for (const QString& Guid : Classes) {
    if (!Registry->OpenKey(ClassRoot + u'\\' + Guid))
      continue;
    const QString Class = Registry->ReadString(QStringLiteral("Class"));
    Registry->CloseKey();
    if (Class.compare(AClassName, Qt::CaseInsensitive) != 0)
      continue;
    if (Registry->OpenKey(NetworkRoot + Guid)) {
      const QStringList Components = Registry->GetKeyNames();
      for (const QString& Component : Components)
        if (Registry->OpenKey(NetworkRoot + Guid + u'\\' + Component) &&
            Registry->ValueExists(QStringLiteral("Description")))
          AList << Registry->ReadString(QStringLiteral("Description"));
    }
    return;
  }
}

void TSysInfoNetwork::legacyClassDescriptions(const QString& AClassName, QStringList& AList) {
  AList.clear();
  const QString Root = u'\\' + StartupSnapshot().ClassKey;
  std::unique_ptr<TRegistry> Registry = CreateRegistryReader();
  Registry->SetRootKey(HKEY_LOCAL_MACHINE);
  if (!Registry->OpenKey(Root))
    return;
  QString Class;
  if (StartupSnapshot().IsNT) {
    for (const QString& Guid : Registry->GetKeyNames()) {
      std::unique_ptr<TRegistry> Key = CreateRegistryReader();
      Key->SetRootKey(HKEY_LOCAL_MACHINE);
      if (Key->OpenKey(Root + u'\\' + Guid) &&
          Key->ReadString(QStringLiteral("Class")).compare(AClassName, Qt::CaseInsensitive) == 0) {
        Class = Guid;
        break;
      }
    }
  } else if (Registry->KeyExists(Root + u'\\' + AClassName)) {
    Class = AClassName;
  }
  if (Class.isEmpty() || !Registry->OpenKey(Root + u'\\' + Class))
    return;
  for (const QString& Instance : Registry->GetKeyNames()) {
    std::unique_ptr<TRegistry> Key = CreateRegistryReader();
    Key->SetRootKey(HKEY_LOCAL_MACHINE);
    if (!Key->OpenKey(Root + u'\\' + Class + u'\\' + Instance))
      continue;
    const QString Description = Key->ReadString(QStringLiteral("DriverDesc"));
    if (!AList.contains(Description, Qt::CaseInsensitive))
      AList << Description;
  }
}
