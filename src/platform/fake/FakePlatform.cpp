#include "platform/fake/FakePlatform.h"

#include "platform/linux/LinuxSockets.h"

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

int FakeSockets::WSAStartup(std::uint16_t) {
  if (StartResult == 0)
    ++Starts;
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
  const std::optional<QString> Text = LinuxSockets::FormatSocketAddress(AAddress, Error);
  if (!Text) {
    FLastError = Error;
    return SOCKET_ERROR;
  }
  AText = *Text;
  return 0;
}
