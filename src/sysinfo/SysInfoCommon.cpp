#include "sysinfo/SysInfoCommon.h"

#include "platform/Platform.h"

// ---- the component base ------------------------------------------------------------

TSysInfoComponent::TSysInfoComponent(QObject* AOwner) : QObject(AOwner) {
  FLoggedUser = GetLoggedUser(WTS_CURRENT_SESSION);
  FSID = GetAccountSID(QString(), FLoggedUser);
  FSession = GetSessionTypes();
  recordOSVersion();
}

QString TSysInfoComponent::About() const {
  return QStringLiteral("Kelvane system information components 4.0 - (c) 2026 Morvel");
}

void TSysInfoComponent::RefreshData(int) {
  FLiveData = true;
  recordOSVersion();
}

bool TSysInfoComponent::SaveToStorage(const QString&, const QString&) {
  return true;
}

bool TSysInfoComponent::LoadFromStorage(const QString&) {
  return true;
}

void TSysInfoComponent::SetSession(DWORD ASessionID) {
  FSessionID = ASessionID;
  FLoggedUser = GetLoggedUser(ASessionID);
  FSID = GetAccountSID(QString(), FLoggedUser);
  FSession = GetSessionTypes();
}

void TSysInfoComponent::recordOSVersion() {
  const TOSVersionInfo& Version = StartupSnapshot().Version;
  FStorageInfo.OSPlatform = std::int32_t(Version.PlatformId);
  FStorageInfo.OSMajorVersion = std::int32_t(Version.MajorVersion);
  FStorageInfo.OSMinorversion = std::int32_t(Version.MinorVersion);
  FStorageInfo.OSBuildNumber = std::int32_t(Version.BuildNumber);
  FStorageInfo.OSCSDVersion = Version.CSDVersion;
}

// ---- users and SIDs -----------------------------------------------------------------

QString SIDToText(const TSid& ASid) {
  QString Text = QStringLiteral("S-1-");
  for (const std::uint8_t Byte : ASid.Authority)
    if (Byte != 0)
      Text += QString::number(Byte);
  for (const std::uint32_t Sub : ASid.SubAuthorities)
    Text += u'-' + QString::number(Sub);
  return Text;
}

QString GetAccountSID(const QString& AMachine, const QString& AAccount) {
  TSid Sid;
  return Platform::current().Accounts().LookupAccountName(AMachine, AAccount, Sid) ? SIDToText(Sid)
                                                                                   : QString();
}

namespace {
// The session to look in when the current one is asked for.
DWORD concreteSession(IAccounts& AAccounts) {
  DWORD Session = WTS_CURRENT_SESSION;
  if (Platform::current().SystemInfo().GetSystemMetrics(SM_REMOTESESSION) > 0) {
    if (AAccounts.HasEntryPoint(TAccountsFunction::ProcessIdToSessionId))
      AAccounts.ProcessIdToSessionId(AAccounts.GetCurrentProcessId(), Session);
  } else if (AAccounts.HasEntryPoint(TAccountsFunction::WTSGetActiveConsoleSessionId)) {
    Session = AAccounts.WTSGetActiveConsoleSessionId();
  }
  if (Session == WTS_CURRENT_SESSION)
    Session = StartupSnapshot().Version.MajorVersion >= 6 ? 1 : 0;
  return Session;
}

// The user and domain of the first explorer.exe of ASession.
void shellUser(IAccounts& AAccounts, DWORD ASession, QString& AUser, QString& ADomain) {
  for (const TProcessEntry& Process : AAccounts.Processes()) {
    if (Process.SessionId != ASession ||
        Process.ExeName.compare(QLatin1String("explorer.exe"), Qt::CaseInsensitive) != 0)
      continue;
    if (!Process.TokenReadable)
      return;
    QString Name, Domain;
    for (int Try = 0; Try <= 10; ++Try) {
      const bool Found = AAccounts.LookupAccountSid(QString(), Process.User, Name, Domain);
      if (!Name.isEmpty() || (!Found && AAccounts.GetLastError() == ERROR_NONE_MAPPED))
        break;
    }
    AUser = Name.isEmpty() ? SIDToText(Process.User) : Name;
    ADomain = Domain;
    return;
  }
}
} // namespace

QString GetLoggedUser(DWORD ASessionID) {
  Platform& System = Platform::current();
  IAccounts& Accounts = System.Accounts();
  QString User, Domain;
  if (StartupSnapshot().IsNT) {
    if (StartupSnapshot().TerminalServices &&
        Accounts.HasEntryPoint(TAccountsFunction::WTSQuerySessionInformation)) {
      Accounts.WTSQuerySessionInformation(ASessionID, WTSUserName, User);
      Accounts.WTSQuerySessionInformation(ASessionID, WTSDomainName, Domain);
    }
    if (User.isEmpty())
      shellUser(Accounts,
                ASessionID == WTS_CURRENT_SESSION ? concreteSession(Accounts) : ASessionID, User,
                Domain);
  }
  if (User.isEmpty() && System.SystemInfo().GetUserName(User))
    User.truncate(255);
  if (Domain.isEmpty() && System.NetApi().HasEntryPoint(TNetApiFunction::NetWkstaGetInfo)) {
    TWkstaInfo100 Info;
    if (System.NetApi().NetWkstaGetInfo(QString(), Info) == NERR_Success)
      Domain = Info.LanGroup.toUpper();
  }
  if (!Domain.isEmpty() && Domain.compare(ComputerNameFromSystem(), Qt::CaseInsensitive) != 0 &&
      !User.isEmpty()) {
    const QString Decorated = User + u'@' + Domain;
    if (GetAccountSID(QString(), Decorated).startsWith(QLatin1String("S-")))
      return Decorated;
  }
  return User;
}

// ---- sessions ---------------------------------------------------------------------

namespace {
// A device key of the IDE, else of the SCSI enumerator, whose name holds AMarker.
bool hasDeviceMarker(const QString& AMarker) {
  for (const char* Enumerator : {"IDE", "SCSI"}) {
    std::unique_ptr<TRegistry> Registry = CreateRegistryReader();
    Registry->SetRootKey(HKEY_LOCAL_MACHINE);
    if (!Registry->OpenKey(QStringLiteral("SYSTEM\\CurrentControlSet\\Enum\\") +
                           QLatin1String(Enumerator)))
      continue;
    for (const QString& Name : Registry->GetKeyNames())
      if (Name.contains(AMarker, Qt::CaseInsensitive))
        return true;
  }
  return false;
}
} // namespace

TSessionTypes GetSessionTypes() {
  TSessionTypes Result;
  const std::pair<const char*, TSessionType> Markers[] = {{"VMWARE_VIRTUAL", stVMWare},
                                                          {"VBOX_HARD", stVBOX},
                                                          {"VIRTUAL_HD", stVPC},
                                                          {"QEMU_HARD", stQEMU}};
  for (const auto& [Marker, Type] : Markers)
    if (hasDeviceMarker(QLatin1String(Marker)))
      Result.insert(Type);
  const QString Gina = ReadRegistryString(
      HKEY_LOCAL_MACHINE,
      QStringLiteral("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon"),
      QStringLiteral("GinaDLL"));
  std::unique_ptr<TRegistry> User = CreateRegistryReader();
  User->SetRootKey(HKEY_CURRENT_USER);
  if (Gina.contains(QLatin1String("CTXGINA"), Qt::CaseInsensitive) ||
      User->KeyExists(
          QStringLiteral("Software\\Citrix\\GoToAssist\\ConnectionInfo\\LastGood\\0000")))
    Result.insert(stCitrix);
  Result.insert(Platform::current().SystemInfo().GetSystemMetrics(SM_REMOTESESSION) > 0 ? stTerminal
                                                                                        : stLocal);
  return Result;
}

// ---- NetBIOS ------------------------------------------------------------------------

QString FormatMACAddress(const QByteArray& ABytes) {
  QStringList Parts;
  for (int I = 0; I < 6; ++I)
    Parts << QStringLiteral("%1")
                 .arg(uint(I < ABytes.size() ? uchar(ABytes[I]) : 0), 2, 16, QLatin1Char('0'))
                 .toUpper();
  return Parts.join(u'-');
}

int GetNetBIOSMACAddresses(const QString& AMachineName, QStringList& AList) {
  AList.clear();
  INetBios& NetBios = Platform::current().NetBios();
  QByteArray CallName = AMachineName.toUpper().toLatin1();
  if (CallName.isEmpty())
    CallName = "*";
  CallName = CallName.left(NCBNAMSZ).leftJustified(NCBNAMSZ, ' ');
  CallName[NCBNAMSZ - 1] = '\0';

  TNcb Enum;
  Enum.Command = NCBENUM;
  Enum.BufferLength = 256;
  if (NetBios.Netbios(Enum) != NRC_GOODRET)
    return -1;
  const auto byteAt = [&](qsizetype AIndex) {
    return AIndex < Enum.Buffer.size() ? uchar(Enum.Buffer[AIndex]) : uchar(0);
  };
  const int Count = byteAt(0);
  for (int I = 0; I < Count; ++I) {
    const UCHAR Lana = byteAt(I + 1);
    TNcb Reset;
    Reset.Command = NCBRESET;
    Reset.Lana = Lana;
    if (NetBios.Netbios(Reset) != NRC_GOODRET)
      continue;
    TNcb Status;
    Status.Command = NCBASTAT;
    Status.Lana = Lana;
    Status.CallName = CallName;
    Status.BufferLength = 348;
    if (NetBios.Netbios(Status) == NRC_GOODRET)
      AList << FormatMACAddress(Status.Buffer.left(6));
  }
  return Count;
}
