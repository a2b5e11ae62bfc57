#include "platform/fake/FakePlatform.h"

FakeRegistry::FakeRegistry() : THiveRegistry(std::make_shared<TRegHive>()) {}

FakeRegistry::FakeRegistry(const QString& ARegText) : FakeRegistry() {
  Load(ARegText);
}

QStringList FakeRegistry::Load(const QString& ARegText, const QString& ASourceName) {
  std::lock_guard Guard(Lock());
  return Hive().Apply(ARegText, ASourceName, true);
}

void FakeRegistry::Clear() {
  std::lock_guard Guard(Lock());
  Hive().Clear();
}

bool FakeSystemInfo::GetComputerName(QString& AName) {
  if (ComputerName)
    AName = *ComputerName;
  return ComputerName.has_value();
}

bool FakeSystemInfo::GetUserName(QString& AName) {
  if (UserName)
    AName = *UserName;
  return UserName.has_value();
}

std::optional<QString> FakeSystemInfo::GetEnvironmentVariable(const QString& AName) {
  for (auto It = Environment.cbegin(); It != Environment.cend(); ++It)
    if (It.key().compare(AName, Qt::CaseInsensitive) == 0)
      return It.value();
  return std::nullopt;
}

bool FakeSystemInfo::GetNativeSystemInfo(TSystemInfo& AInfo) {
  if (NativeInfo)
    AInfo = *NativeInfo;
  return NativeInfo.has_value();
}

std::optional<bool> FakeSystemInfo::GetProductInfo(DWORD AMajor, DWORD AMinor, DWORD, DWORD,
                                                   DWORD& AProductType) {
  ProductInfoCalls.append({AMajor, AMinor});
  if (!ProductInfo)
    return std::nullopt;
  AProductType = ProductInfo->second;
  return ProductInfo->first;
}

class FakeWmi::TTableProvider : public IWmiProvider {
public:
  explicit TTableProvider(QString AClass) : FClass(std::move(AClass)) {}
  QString ClassName() const override { return FClass; }
  std::vector<TWmiObject> Instances(const TWqlQuery&) override { return Objects; }
  std::vector<TWmiObject> Objects;

private:
  QString FClass;
};

FakeWmi::FakeWmi() = default;
FakeWmi::~FakeWmi() = default;

void FakeWmi::AddInstance(const TWmiObject& AObject) {
  for (const auto& Provider : FProviders)
    if (Provider->ClassName().compare(AObject.ClassName(), Qt::CaseInsensitive) == 0) {
      Provider->Objects.push_back(AObject);
      return;
    }
  FProviders.push_back(std::make_unique<TTableProvider>(AObject.ClassName()));
  FProviders.back()->Objects.push_back(AObject);
}

void FakeWmi::AddClass(const QString& AClassName) {
  FProviders.push_back(std::make_unique<TTableProvider>(AClassName));
}

void FakeWmi::AddDefinition(const TWmiObject& ADefinition) {
  for (const auto& Provider : FProviders)
    if (Provider->ClassName() == QLatin1String("Meta_Class")) {
      Provider->Objects.push_back(ADefinition);
      return;
    }
  FProviders.push_back(std::make_unique<TTableProvider>(QStringLiteral("Meta_Class")));
  FProviders.back()->Objects.push_back(ADefinition);
}

namespace {
class TRecordingServices : public IWmiServices {
public:
  TRecordingServices(std::unique_ptr<IWmiServices> AInner, QStringList& AQueries)
      : FInner(std::move(AInner)), FQueries(AQueries) {}
  std::vector<TWmiObject> ExecQuery(const QString& AQuery, const QString& ALanguage,
                                    int AFlags) override {
    FQueries << AQuery;
    return FInner->ExecQuery(AQuery, ALanguage, AFlags);
  }

private:
  std::unique_ptr<IWmiServices> FInner;
  QStringList& FQueries;
};
} // namespace

std::unique_ptr<IWmiServices> FakeWmi::ConnectServer(const QString& AServer,
                                                     const QString& ANamespace, const QString&,
                                                     const QString&) {
  TLocalWmi Local;
  (void)Local.ConnectServer(AServer, ANamespace, {}, {});
  std::vector<IWmiProvider*> Providers;
  for (const auto& Provider : FProviders)
    Providers.push_back(Provider.get());
  return std::make_unique<TRecordingServices>(std::make_unique<TWmiServices>(std::move(Providers)),
                                              Queries);
}

int FakeSockets::WSAStartup(std::uint16_t AVersion, TWsaData* AData) {
  if (StartResult == 0) {
    ++Starts;
    if (AData) {
      *AData = Data;
      AData->Version = AVersion;
    }
  }
  return StartResult;
}

int FakeSockets::WSACleanup() {
  if (Cleanups >= Starts) {
    FLastError = int(WSANOTINITIALISED);
    return SOCKET_ERROR;
  }
  ++Cleanups;
  return 0;
}

int FakeSockets::GetHostName(QString& AName) {
  AName = HostName;
  return HostName.isEmpty() ? SOCKET_ERROR : 0;
}

std::vector<std::uint32_t> FakeSockets::GetHostByName(const QString& AName, int) {
  LookedUp << AName;
  for (auto It = Names.cbegin(); It != Names.cend(); ++It)
    if (It.key().compare(AName, Qt::CaseInsensitive) == 0)
      return It.value();
  FLastError = int(WSAHOST_NOT_FOUND);
  return {};
}

int FakeSockets::WSAAddressToString(const TSocketAddress& AAddress, QString& AText) {
  int Error = 0;
  const std::optional<QString> Text = FormatSocketAddress(AAddress, Error);
  if (!Text) {
    FLastError = Error;
    return SOCKET_ERROR;
  }
  AText = *Text;
  return 0;
}

UCHAR FakeNetBios::Netbios(TNcb& ANcb) {
  Calls.push_back(ANcb);
  switch (ANcb.Command) {
  case NCBENUM:
    if (EnumResult != NRC_GOODRET)
      return EnumResult;
    ANcb.Buffer = QByteArray(ANcb.BufferLength, '\0');
    ANcb.Buffer[0] = char(Lanas.size());
    for (std::size_t I = 0; I < Lanas.size(); ++I)
      ANcb.Buffer[qsizetype(I) + 1] = char(Lanas[I]);
    return NRC_GOODRET;
  case NCBRESET:
    return FailingResets.count(ANcb.Lana) ? NRC_BRIDGE : NRC_GOODRET;
  case NCBASTAT:
    if (!Addresses.contains(ANcb.Lana))
      return NRC_BRIDGE;
    ANcb.Buffer = QByteArray(ANcb.BufferLength, '\0');
    ANcb.Buffer.replace(0, 6, Addresses.value(ANcb.Lana).left(6));
    return NRC_GOODRET;
  default:
    return NRC_BRIDGE;
  }
}

namespace {
template <class T>
NET_API_STATUS page(const std::vector<T>& ATable, std::size_t APageSize, std::vector<T>& AEntries,
                    DWORD& AResumeHandle) {
  AEntries.clear();
  const std::size_t First = AResumeHandle;
  for (std::size_t I = First; I < ATable.size() && I < First + APageSize; ++I)
    AEntries.push_back(ATable[I]);
  AResumeHandle = DWORD(First + AEntries.size());
  return AResumeHandle < ATable.size() ? ERROR_MORE_DATA : NERR_Success;
}
} // namespace

NET_API_STATUS FakeNetApi::NetWkstaGetInfo(const QString& AServer, TWkstaInfo100& AInfo) {
  Calls << QStringLiteral("NetWkstaGetInfo %1").arg(AServer);
  if (Failing.contains(TNetApiFunction::NetWkstaGetInfo))
    return Failing.value(TNetApiFunction::NetWkstaGetInfo);
  AInfo = Workstation;
  return NERR_Success;
}

NET_API_STATUS FakeNetApi::NetShareEnum(const QString& AServer, std::vector<TShareInfo2>& AEntries,
                                        DWORD& AResumeHandle) {
  Calls << QStringLiteral("NetShareEnum %1").arg(AServer);
  if (Failing.contains(TNetApiFunction::NetShareEnum))
    return Failing.value(TNetApiFunction::NetShareEnum);
  return page(Shares, PageSize, AEntries, AResumeHandle);
}

NET_API_STATUS FakeNetApi::NetSessionEnum(const QString& AServer,
                                          std::vector<TSessionInfo502>& AEntries,
                                          DWORD& AResumeHandle) {
  Calls << QStringLiteral("NetSessionEnum %1").arg(AServer);
  if (Failing.contains(TNetApiFunction::NetSessionEnum))
    return Failing.value(TNetApiFunction::NetSessionEnum);
  return page(Sessions, PageSize, AEntries, AResumeHandle);
}

NET_API_STATUS FakeNetApi::NetFileEnum(const QString& AServer, std::vector<TFileInfo3>& AEntries,
                                       DWORD& AResumeHandle) {
  Calls << QStringLiteral("NetFileEnum %1").arg(AServer);
  if (Failing.contains(TNetApiFunction::NetFileEnum))
    return Failing.value(TNetApiFunction::NetFileEnum);
  return page(Files, PageSize, AEntries, AResumeHandle);
}

NET_API_STATUS FakeNetApi::NetConnectionEnum(const QString& AServer, const QString& AQualifier,
                                             std::vector<TConnectionInfo1>& AEntries,
                                             DWORD& AResumeHandle) {
  Calls << QStringLiteral("NetConnectionEnum %1 %2").arg(AServer, AQualifier);
  if (Failing.contains(TNetApiFunction::NetConnectionEnum))
    return Failing.value(TNetApiFunction::NetConnectionEnum);
  return page(Connections, PageSize, AEntries, AResumeHandle);
}

bool FakeAccounts::LookupAccountName(const QString& AMachine, const QString& AAccount, TSid& ASid) {
  LookedUp << AMachine + u'|' + AAccount;
  for (auto It = Accounts.cbegin(); It != Accounts.cend(); ++It)
    if (It.key().compare(AAccount, Qt::CaseInsensitive) == 0) {
      ASid = It.value();
      FLastError = ERROR_SUCCESS;
      return true;
    }
  FLastError = ERROR_NONE_MAPPED;
  return false;
}

bool FakeAccounts::LookupAccountSid(const QString&, const TSid& ASid, QString& AName,
                                    QString& ADomain) {
  for (auto It = Accounts.cbegin(); It != Accounts.cend(); ++It)
    if (It.value() == ASid) {
      AName = It.key().section(u'@', 0, 0);
      ADomain = It.key().section(u'@', 1);
      FLastError = ERROR_SUCCESS;
      return true;
    }
  FLastError = ERROR_NONE_MAPPED;
  return false;
}

bool FakeAccounts::WTSQuerySessionInformation(DWORD ASessionId, TWtsInfoClass AInfoClass,
                                              QString& AText) {
  const auto Key = std::make_pair(ASessionId, int(AInfoClass));
  if (!SessionInfo.contains(Key))
    return false;
  AText = SessionInfo.value(Key);
  return true;
}

bool FakeAccounts::ProcessIdToSessionId(DWORD, DWORD& ASessionId) {
  ASessionId = ProcessSession;
  return true;
}

bool FakeAccounts::IsWow64Process(bool& AIsWow64) {
  AIsWow64 = Wow64;
  return true;
}

namespace {
// The answer fits ASize, or the call reports what it needs.
template <class T>
DWORD sized(const char* AName, QStringList& ACalls, const QMap<TIpHelperFunction, DWORD>& AFailing,
            TIpHelperFunction AFunction, ULONG ANeeded, ULONG& ASize, T AFill) {
  ACalls << QStringLiteral("%1 %2").arg(QLatin1String(AName)).arg(ASize);
  if (AFailing.contains(AFunction))
    return AFailing.value(AFunction);
  if (ASize < ANeeded) {
    ASize = ANeeded;
    return ERROR_BUFFER_OVERFLOW;
  }
  AFill();
  return NO_ERROR;
}
} // namespace

DWORD FakeIpHelper::GetAdaptersInfo(std::vector<TIpAdapterInfo>& AInfo, ULONG& ASize) {
  if (AdapterInfo.empty() && !Failing.contains(TIpHelperFunction::GetAdaptersInfo)) {
    Calls << QStringLiteral("GetAdaptersInfo %1").arg(ASize);
    return ERROR_NO_DATA;
  }
  return sized("GetAdaptersInfo", Calls, Failing, TIpHelperFunction::GetAdaptersInfo,
               ULONG(AdapterInfo.size()) * SizeOfIpAdapterInfo, ASize,
               [&] { AInfo = AdapterInfo; });
}

DWORD FakeIpHelper::GetNetworkParams(TFixedInfo& AInfo, ULONG& ASize) {
  const ULONG Needed = SizeOfFixedInfo + ULONG(Parameters.DnsServerList.size() - 1) * 40;
  return sized("GetNetworkParams", Calls, Failing, TIpHelperFunction::GetNetworkParams, Needed,
               ASize, [&] { AInfo = Parameters; });
}

DWORD FakeIpHelper::GetIfEntry(TMibIfRow& ARow) {
  Calls << QStringLiteral("GetIfEntry %1").arg(ARow.Index);
  if (!Rows.contains(ARow.Index))
    return ERROR_INVALID_DATA;
  ARow = Rows.value(ARow.Index);
  return NO_ERROR;
}

DWORD FakeIpHelper::GetAdaptersAddresses(ULONG, ULONG, std::vector<TIpAdapterAddresses>& AAddresses,
                                         ULONG& ASize) {
  if (Addresses.empty() && !Failing.contains(TIpHelperFunction::GetAdaptersAddresses))
    return ERROR_NO_DATA;
  return sized("GetAdaptersAddresses", Calls, Failing, TIpHelperFunction::GetAdaptersAddresses,
               ULONG(Addresses.size()) * SizeOfIpAdapterAddresses, ASize,
               [&] { AAddresses = Addresses; });
}

void FakeSystemInfo::SetWorkstation(DWORD AMinor) {
  VersionInfo.PlatformId = VER_PLATFORM_WIN32_NT;
  VersionInfo.MajorVersion = 6;
  VersionInfo.MinorVersion = AMinor;
  VersionInfo.ProductType = VER_NT_WORKSTATION;
}
