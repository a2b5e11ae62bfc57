#include "platform/linux/LinuxPlatform.h"

#include "common/Diagnostics.h"
#include "platform/AtomicFile.h"
#include "platform/Files.h"
#include "platform/linux/LinuxNetworkAdapters.h"
#include "platform/linux/LinuxPing.h"
#include "platform/linux/LinuxSnapshot.h"
#include "platform/linux/SystemView.h"

namespace {
// The keys the view synthesizes lie below these; a look-up on the way to
// them or inside them needs the view.
bool reachesView(const QStringList& APath) {
  static const QStringList Roots[] = {{QStringLiteral("SYSTEM")},
                                      {QStringLiteral("SOFTWARE"), QStringLiteral("Microsoft"),
                                       QStringLiteral("Windows NT"),
                                       QStringLiteral("CurrentVersion")}};
  for (const QStringList& Root : Roots) {
    const qsizetype Common = std::min(Root.size(), APath.size());
    bool Same = true;
    for (qsizetype I = 0; I < Common && Same; ++I)
      Same = APath[I].compare(Root[I], Qt::CaseInsensitive) == 0;
    if (Same)
      return true;
  }
  return false;
}
} // namespace

LinuxRegistry::LinuxRegistry(const QString& AMachineFile, const QString& ASystemRoot,
                             std::shared_ptr<TLinuxFacts> AFacts)
    : THiveRegistry(std::make_shared<TRegHive>()) {
  const QString Root = ASystemRoot.isEmpty() ? SystemRoot() : ASystemRoot;
  FFacts = AFacts && AFacts->Root() == Root ? std::move(AFacts) : TLinuxFacts::Shared(Root);
  for (const QString& Warning :
       FMachineFile.ApplyFile(AMachineFile.isEmpty() ? MachineFile() : AMachineFile))
    PrintDiagnostic(Warning);
  Hive().Merge(FMachineFile);
}

void LinuxRegistry::BeforeLookup(TRegHandle ARoot, const QStringList& APath) {
  if (FViewBuilt || ARoot != HKEY_LOCAL_MACHINE || !reachesView(APath))
    return;
  FViewBuilt = true;
  // The view goes first and the file again on top, as if built in that
  // order from the start.
  TRegHive& Machine = Hive();
  Machine.Clear();
  BuildSystemView(Machine, *FFacts);
  Machine.Merge(FMachineFile);
}

QString LinuxRegistry::MachineFile() {
  const QString FromEnvironment = qEnvironmentVariable("KELVANE_MACHINE_REG");
  return FromEnvironment.isEmpty() ? QStringLiteral("/etc/kelvane/machine.reg") : FromEnvironment;
}

QString LinuxRegistry::SystemRoot() {
  const QString FromEnvironment = qEnvironmentVariable("KELVANE_SYSTEM_ROOT");
  return FromEnvironment.isEmpty() ? QStringLiteral("/") : FromEnvironment;
}

LinuxPlatform::LinuxPlatform()
    : FFacts(TLinuxFacts::Shared()), FAccounts(FFacts), FIpHelper(FFacts), FSockets(FFacts),
      FRegistry({}, {}, FFacts), FSystemInfo(FFacts) {
  FWmi.AddProvider(std::make_unique<TLinuxPingStatusProvider>(FSockets, FFacts));
  FWmi.AddProvider(std::make_unique<TLinuxNetworkAdapterConfigurationProvider>(FIpHelper));
  FWmi.AddProvider(std::make_unique<TMetaClassProvider>(
      std::vector<TWmiObject>{TLinuxNetworkAdapterConfigurationProvider::Definition()}));
}

Platform& DefaultPlatform() {
  static LinuxPlatform Linux;
  return Linux;
}

QString SaveMachineSnapshot(const QString& AFile) {
  const QByteArray Json = SnapshotToJson(TLinuxFacts::Shared()->All());
  if (const std::optional<QString> Failure = WriteFileAtomically(AFile, Json))
    return AFile + QStringLiteral(": ") + *Failure;
  return {};
}

QString UseMachineSnapshot(const QString& AFile) {
  const TFileContent Content = ReadBoundedFile(AFile, MaxSnapshotBytes);
  QString Error = Content.Reason;
  std::shared_ptr<TLinuxFacts> Facts;
  if (Content.Ok())
    Facts = SnapshotFromJson(Content.Data, Error);
  if (!Facts)
    return AFile + QStringLiteral(": ") + Error;
  TLinuxFacts::ReplaceShared(std::move(Facts));
  return {};
}
