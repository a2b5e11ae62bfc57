#include "platform/linux/LinuxNetApi.h"

#include <QFile>
#include <QSysInfo>

#include <cerrno>
#include <pwd.h>
#include <unistd.h>

#include <vector>

UCHAR LinuxNetBios::Netbios(TNcb& ANcb) {
  if (ANcb.Command == NCBENUM) {
    // A LANA_ENUM whose length byte says no adapter number is bound.
    ANcb.Buffer = QByteArray(qMax(ANcb.BufferLength, 1), '\0');
    return NRC_GOODRET;
  }
  return NRC_BRIDGE;
}

bool LinuxAccounts::HasEntryPoint(TAccountsFunction AFunction) {
  switch (AFunction) {
  case TAccountsFunction::ProcessIdToSessionId:
  case TAccountsFunction::IsWow64Process:
  case TAccountsFunction::WTSGetActiveConsoleSessionId:
    return true;
  default:
    return false;
  }
}

namespace {
// getpwnam_r / getpwuid_r with a buffer that grows to a bound.
template <class TLookup>
bool lookupUser(TLookup ALookup, passwd& AEntry, std::vector<char>& ABuffer) {
  ABuffer.resize(1024);
  passwd* Result = nullptr;
  for (int Try = 0; Try < 8; ++Try) {
    const int Error = ALookup(&AEntry, ABuffer.data(), ABuffer.size(), &Result);
    if (Error == ERANGE && ABuffer.size() < 1024 * 1024) {
      ABuffer.resize(ABuffer.size() * 2);
      continue;
    }
    return Error == 0 && Result != nullptr;
  }
  return false;
}

} // namespace

QString LinuxAccounts::shortHostName() {
  return FFacts ? FFacts->System().Host.Short : QSysInfo::machineHostName().section(u'.', 0, 0);
}

bool LinuxAccounts::isLocalMachine(const QString& AMachine) {
  QString Name = AMachine;
  while (Name.startsWith(u'\\'))
    Name.remove(0, 1);
  return Name.isEmpty() || Name == u'.' ||
         Name.section(u'.', 0, 0).compare(shortHostName(), Qt::CaseInsensitive) == 0;
}

TSid LinuxAccounts::UnixUserSid(std::uint32_t AUid) {
  TSid Sid;
  Sid.Authority = {0, 0, 0, 0, 0, 22};
  Sid.SubAuthorities = {1, AUid};
  return Sid;
}

bool LinuxAccounts::LookupAccountName(const QString& AMachine, const QString& AAccount,
                                      TSid& ASid) {
  FLastError = ERROR_NONE_MAPPED;
  if (!isLocalMachine(AMachine) || AAccount.isEmpty())
    return false;
  // "user@domain" names a user of this machine when the domain is this
  // machine's name.
  QString User = AAccount;
  if (const qsizetype At = User.indexOf(u'@'); At >= 0) {
    if (!isLocalMachine(User.mid(At + 1)))
      return false;
    User.truncate(At);
  }
  // The user running the program is known already.
  if (FFacts && !FFacts->System().UserName.isEmpty() && User == FFacts->System().UserName) {
    ASid = UnixUserSid(FFacts->System().UserId);
    FLastError = ERROR_SUCCESS;
    return true;
  }
  const QByteArray Name = QFile::encodeName(User);
  passwd Entry{};
  std::vector<char> Buffer;
  if (!lookupUser(
          [&](passwd* AEntry, char* ABuffer, std::size_t ASize, passwd** AResult) {
            return getpwnam_r(Name.constData(), AEntry, ABuffer, ASize, AResult);
          },
          Entry, Buffer))
    return false;
  ASid = UnixUserSid(Entry.pw_uid);
  FLastError = ERROR_SUCCESS;
  return true;
}

bool LinuxAccounts::LookupAccountSid(const QString& AMachine, const TSid& ASid, QString& AName,
                                     QString& ADomain) {
  FLastError = ERROR_NONE_MAPPED;
  const TSid Prefix = UnixUserSid(0);
  if (!isLocalMachine(AMachine) || ASid.Authority != Prefix.Authority ||
      ASid.SubAuthorities.size() != 2 || ASid.SubAuthorities[0] != 1)
    return false;
  const uid_t Uid = ASid.SubAuthorities[1];
  if (FFacts && !FFacts->System().UserName.isEmpty() && Uid == FFacts->System().UserId) {
    AName = FFacts->System().UserName;
  } else {
    passwd Entry{};
    std::vector<char> Buffer;
    if (!lookupUser(
            [&](passwd* AEntry, char* ABuffer, std::size_t ASize, passwd** AResult) {
              return getpwuid_r(Uid, AEntry, ABuffer, ASize, AResult);
            },
            Entry, Buffer))
      return false;
    AName = QFile::decodeName(Entry.pw_name);
  }
  ADomain = shortHostName().toUpper();
  FLastError = ERROR_SUCCESS;
  return true;
}

bool LinuxAccounts::ProcessIdToSessionId(DWORD, DWORD& ASessionId) {
  ASessionId = ConsoleSession;
  return true;
}

DWORD LinuxAccounts::GetCurrentProcessId() {
  return DWORD(::getpid());
}

bool LinuxAccounts::IsWow64Process(bool& AIsWow64) {
  AIsWow64 = false;
  return true;
}
