#include "platform/fake/FakePlatform.h"

FakeRegistry::FakeRegistry() : THiveRegistry(std::make_shared<TRegHive>()) {}

FakeRegistry::FakeRegistry(const QString& ARegText) : FakeRegistry() {
  Load(ARegText);
}

QStringList FakeRegistry::Load(const QString& ARegText, const QString& ASourceName) {
  return Hive().Apply(ARegText, ASourceName, true);
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
