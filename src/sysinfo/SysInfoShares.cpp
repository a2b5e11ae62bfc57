#include "sysinfo/SysInfoShares.h"

#include "platform/NetApi.h"
#include "platform/Platform.h"
#include "sysinfo/SysInfoDefs.h"

namespace {
TShareType shareTypeOf(DWORD AType) {
  switch (AType & 0xF) {
  case 1:
    return stPrnQue;
  case 2:
    return stCommDev;
  case 3:
    return stIPC;
  case 0:
    return stDisk;
  default:
    // Undefined types carry no meaning anyone reads; special is the closest.
    return stSpecial;
  }
}

// Calls one enumeration until it reports no more data; any other answer
// ends it with what was collected. ACall(entries, resume) → status.
template <class TEntry, class TCall, class TTake>
void enumerateAll(TNetApiFunction AFunction, TCall ACall, TTake ATake) {
  INetApi& NetApi = Platform::current().NetApi();
  if (!NetApi.HasEntryPoint(AFunction))
    return;
  DWORD Resume = 0;
  // Bounded, so a server that keeps asking for more cannot hold the caller.
  for (int Call = 0; Call < 100000; ++Call) {
    std::vector<TEntry> Entries;
    const NET_API_STATUS Status = ACall(Entries, Resume);
    if (Status != NERR_Success && Status != ERROR_MORE_DATA)
      return;
    for (const TEntry& Entry : Entries)
      ATake(Entry);
    if (Status == NERR_Success || Entries.empty())
      return;
  }
}

QString serverName() {
  return NormalizeServerName(StartupSnapshot().MachineName);
}
} // namespace

QString NormalizeServerName(const QString& AName) {
  const QString Name = AName.isEmpty() ? QStringLiteral(".") : AName;
  return Name.startsWith(u'\\') ? Name : QLatin1String("\\\\") + Name;
}

TNTShares::TNTShares() : FMachine(serverName()) {}

void TNTShares::RefreshShares() {
  FShares.Clear();
  const QString Server = FMachine.left(255);
  enumerateAll<TShareInfo2>(
      TNetApiFunction::NetShareEnum,
      [&](std::vector<TShareInfo2>& AEntries, DWORD& AResume) {
        return Platform::current().NetApi().NetShareEnum(Server, AEntries, AResume);
      },
      [&](const TShareInfo2& AEntry) {
        TNTShareRecord Record;
        Record.Name = AEntry.NetName;
        Record.Path = AEntry.Path;
        Record.Comment = AEntry.Remark;
        Record.CurUserCount = AEntry.CurrentUses;
        Record.MaxUserCount = AEntry.MaxUses;
        Record.Password = AEntry.Password;
        Record.ShareType = shareTypeOf(AEntry.Type);
        Record.Permissions = AEntry.Permissions;
        FShares.Add(Record.Name, Record);
      });
}

void TNTShares::RefreshSessions() {
  FSessions.Clear();
  const QString Server = FMachine.left(255);
  enumerateAll<TSessionInfo502>(
      TNetApiFunction::NetSessionEnum,
      [&](std::vector<TSessionInfo502>& AEntries, DWORD& AResume) {
        return Platform::current().NetApi().NetSessionEnum(Server, AEntries, AResume);
      },
      [&](const TSessionInfo502& AEntry) {
        TNTSessionRecord Record;
        Record.Name = AEntry.ClientName;
        Record.UserName = AEntry.UserName;
        Record.OpenFiles = AEntry.NumOpens;
        Record.SesiType = AEntry.ClientTypeName;
        Record.ConnectedTime = AEntry.Time;
        Record.IdleTime = AEntry.IdleTime;
        Record.Guest = AEntry.UserFlags == 1;
        Record.Transport = AEntry.Transport;
        FSessions.Add(Record.Name, Record);
      });
}

void TNTShares::RefreshOpenFiles() {
  FOpenFiles.Clear();
  const QString Server = FMachine.left(255);
  enumerateAll<TFileInfo3>(
      TNetApiFunction::NetFileEnum,
      [&](std::vector<TFileInfo3>& AEntries, DWORD& AResume) {
        return Platform::current().NetApi().NetFileEnum(Server, AEntries, AResume);
      },
      [&](const TFileInfo3& AEntry) {
        TOpenFileRecord Record;
        Record.Name = AEntry.PathName.toLocal8Bit().left(255);
        Record.UserName = AEntry.UserName.toLocal8Bit().left(255);
        Record.Locks = AEntry.NumLocks;
        Record.Mode = AEntry.Permissions;
        Record.ID = AEntry.Id;
        FOpenFiles.Add(QString::number(Record.ID), Record);
      });
}

TConnections::TConnections() : FMachine(serverName()) {}

void TConnections::Refresh(bool AClearPrevious) {
  if (AClearPrevious)
    FConnections.Clear();
  enumerateAll<TConnectionInfo1>(
      TNetApiFunction::NetConnectionEnum,
      [&](std::vector<TConnectionInfo1>& AEntries, DWORD& AResume) {
        return Platform::current().NetApi().NetConnectionEnum(FMachine, FQualifier, AEntries,
                                                              AResume);
      },
      [&](const TConnectionInfo1& AEntry) {
        TConnectionRecord Record;
        Record.Name = AEntry.NetName;
        Record.UserName = AEntry.UserName;
        Record.ID = AEntry.Id;
        Record.ConnType = AEntry.Type == 0x80000000u ? stSpecial : shareTypeOf(AEntry.Type);
        Record.Time = AEntry.Time;
        Record.OpenFiles = AEntry.NumOpens;
        Record.Users = AEntry.NumUsers;
        FConnections.Add(QString::number(Record.ID), Record);
      });
}
