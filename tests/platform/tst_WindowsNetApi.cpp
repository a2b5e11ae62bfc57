// NetBIOS, network management and accounts on Windows, live: what the
// system answers reaches the callers unchanged, errors included, and an
// entry point that would end the process (wine's NetConnectionEnum) counts
// as missing.

#include "support/TestMain.h"

#include "platform/windows/WindowsHelpers.h"
#include "platform/windows/WindowsLibrary.h"

#include <sddl.h>

// The port's own names for these calls.
#undef LookupAccountName
#undef LookupAccountSid

#include "platform/windows/WindowsNetApi.h"

#include <QFileInfo>
#include <QTest>

namespace {

QString userName() {
  wchar_t Name[256];
  DWORD Length = DWORD(std::size(Name));
  return ::GetUserNameW(Name, &Length) ? QString::fromWCharArray(Name) : QString();
}

QString computerName() {
  wchar_t Name[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD Length = DWORD(std::size(Name));
  return ::GetComputerNameW(Name, &Length) ? QString::fromWCharArray(Name, int(Length)) : QString();
}

// The system's own text of a SID, to hold the port's SID against.
QString systemText(const TSid& ASid) {
  QString Text = QStringLiteral("S-1-");
  std::uint64_t Authority = 0;
  for (const std::uint8_t Byte : ASid.Authority)
    Authority = Authority << 8 | Byte;
  Text += QString::number(Authority);
  for (const std::uint32_t Part : ASid.SubAuthorities)
    Text += u'-' + QString::number(Part);
  return Text;
}

TSid sidOf(std::initializer_list<std::uint32_t> AParts) {
  TSid Sid;
  Sid.Authority = {0, 0, 0, 0, 0, 5};
  Sid.SubAuthorities = AParts;
  return Sid;
}

} // namespace

Q_DECLARE_METATYPE(TNetApiFunction)
Q_DECLARE_METATYPE(TAccountsFunction)
Q_DECLARE_METATYPE(TSid)

class tst_WindowsNetApi : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void netApiEntryPoints_data();
  void netApiEntryPoints();
  void accountsEntryPoints_data();
  void accountsEntryPoints();
  void workstationInfo();
  void netbiosEnumeration();
  void enumerationErrorsPassThrough_data();
  void enumerationErrorsPassThrough();
  void connectionsMissingUnderWine();
  void accountRoundTrip();
  void lookupFailures_data();
  void lookupFailures();
  void currentProcessListed();
  void sessions();
  void wow64();
};

void tst_WindowsNetApi::netApiEntryPoints_data() {
  QTest::addColumn<TNetApiFunction>("function");
  QTest::addColumn<bool>("present");
  QTest::newRow("NetWkstaGetInfo") << TNetApiFunction::NetWkstaGetInfo << true;
  QTest::newRow("NetShareEnum") << TNetApiFunction::NetShareEnum << true;
  QTest::newRow("NetSessionEnum") << TNetApiFunction::NetSessionEnum << true;
  QTest::newRow("NetFileEnum") << TNetApiFunction::NetFileEnum << true;
  QTest::newRow("NetConnectionEnum") << TNetApiFunction::NetConnectionEnum << !RunningUnderWine();
}

void tst_WindowsNetApi::netApiEntryPoints() {
  QFETCH(TNetApiFunction, function);
  QFETCH(bool, present);
  WindowsNetApi NetApi;
  QCOMPARE(NetApi.HasEntryPoint(function), present);
}

void tst_WindowsNetApi::accountsEntryPoints_data() {
  QTest::addColumn<TAccountsFunction>("function");
  QTest::newRow("WTSEnumerateServers") << TAccountsFunction::WTSEnumerateServers;
  QTest::newRow("WTSQuerySessionInformation") << TAccountsFunction::WTSQuerySessionInformation;
  QTest::newRow("WTSEnumerateSessions") << TAccountsFunction::WTSEnumerateSessions;
  QTest::newRow("WTSGetActiveConsoleSessionId") << TAccountsFunction::WTSGetActiveConsoleSessionId;
  QTest::newRow("ProcessIdToSessionId") << TAccountsFunction::ProcessIdToSessionId;
  QTest::newRow("IsWow64Process") << TAccountsFunction::IsWow64Process;
}

void tst_WindowsNetApi::accountsEntryPoints() {
  QFETCH(TAccountsFunction, function);
  WindowsAccounts Accounts;
  QVERIFY(Accounts.HasEntryPoint(function));
}

void tst_WindowsNetApi::workstationInfo() {
  WindowsNetApi NetApi;
  TWkstaInfo100 Info;
  QCOMPARE(NetApi.NetWkstaGetInfo(QString(), Info), NET_API_STATUS(NERR_Success));
  QCOMPARE(Info.PlatformId, DWORD(500)); // PLATFORM_ID_NT
  QCOMPARE(Info.ComputerName.toUpper(), computerName().toUpper());
  QVERIFY(!Info.LanGroup.isEmpty());
}

// The enumeration the NetBIOS address list starts with: a LANA_ENUM whose
// first byte counts the adapter numbers that follow it; each of them takes a
// reset, and a number it does not list has no adapter behind it. Wine lists
// one number on a machine's real links and none in the test run's
// loopback-only network.
void tst_WindowsNetApi::netbiosEnumeration() {
  WindowsNetBios NetBios;
  TNcb Enum;
  Enum.Command = NCBENUM;
  Enum.BufferLength = 256;
  QCOMPARE(NetBios.Netbios(Enum), UCHAR(NRC_GOODRET));
  QCOMPARE(Enum.Buffer.size(), 256);
  const int Count = uchar(Enum.Buffer[0]);
  QVERIFY(Count < 255);
  const QByteArray Listed = Enum.Buffer.mid(1, Count);
  for (const char Lana : Listed) {
    TNcb Reset;
    Reset.Command = NCBRESET;
    Reset.Lana = uchar(Lana);
    QCOMPARE(NetBios.Netbios(Reset), UCHAR(NRC_GOODRET));
  }
  UCHAR Unlisted = 0;
  while (Listed.contains(char(Unlisted)))
    ++Unlisted;
  for (const UCHAR Command : {NCBRESET, NCBASTAT}) {
    TNcb Stray;
    Stray.Command = Command;
    Stray.Lana = Unlisted;
    Stray.CallName = QByteArray("*").leftJustified(NCBNAMSZ - 1, ' ') + '\0';
    Stray.BufferLength = Command == NCBASTAT ? 348 : 0;
    QCOMPARE(NetBios.Netbios(Stray), UCHAR(NRC_BRIDGE));
  }
}

// Wine's server service offers no shares and no open files: the system's
// answer reaches the caller, with no entries and the resume handle as it was.
void tst_WindowsNetApi::enumerationErrorsPassThrough_data() {
  QTest::addColumn<QString>("call");
  QTest::addColumn<uint>("status");
  QTest::newRow("shares") << QStringLiteral("shares") << uint(ERROR_NOT_SUPPORTED);
  QTest::newRow("files") << QStringLiteral("files") << uint(ERROR_NOT_SUPPORTED);
}

void tst_WindowsNetApi::enumerationErrorsPassThrough() {
  if (!RunningUnderWine())
    QSKIP("Windows runs a server service; these are wine's answers");
  QFETCH(QString, call);
  QFETCH(uint, status);
  WindowsNetApi NetApi;
  DWORD Resume = 0;
  NET_API_STATUS Result = NERR_Success;
  std::size_t Entries = 1;
  if (call == u"shares") {
    std::vector<TShareInfo2> Shares(1);
    Result = NetApi.NetShareEnum(QString(), Shares, Resume);
    Entries = Shares.size();
  } else {
    std::vector<TFileInfo3> Files(1);
    Result = NetApi.NetFileEnum(QString(), Files, Resume);
    Entries = Files.size();
  }
  QCOMPARE(uint(Result), status);
  QCOMPARE(Entries, std::size_t(0));
  QCOMPARE(Resume, DWORD(0));
}

// The port's call is safe to make: it never reaches wine's stub.
void tst_WindowsNetApi::connectionsMissingUnderWine() {
  if (!RunningUnderWine())
    QSKIP("only wine's NetConnectionEnum ends the process");
  WindowsNetApi NetApi;
  QVERIFY(!NetApi.HasEntryPoint(TNetApiFunction::NetConnectionEnum));
  std::vector<TConnectionInfo1> Connections;
  DWORD Resume = 0;
  QCOMPARE(NetApi.NetConnectionEnum(QString(), QStringLiteral("IPC$"), Connections, Resume),
           NET_API_STATUS(ERROR_CALL_NOT_IMPLEMENTED));
  QVERIFY(Connections.empty());
}

void tst_WindowsNetApi::accountRoundTrip() {
  WindowsAccounts Accounts;
  const QString User = userName();
  QVERIFY(!User.isEmpty());
  TSid Sid;
  QVERIFY(Accounts.LookupAccountName(QString(), User, Sid));
  QCOMPARE(Accounts.GetLastError(), DWORD(ERROR_SUCCESS));
  // The SID of the account is the one this process's token carries.
  const TAccounts Token;
  QVERIFY(Token.Valid());
  QCOMPARE(systemText(Sid), Token.UserText());

  QString Name, Domain;
  QVERIFY(Accounts.LookupAccountSid(QString(), Sid, Name, Domain));
  QCOMPARE(Name.toLower(), User.toLower());
  QVERIFY(!Domain.isEmpty());
  // The account also resolves by its full name.
  TSid Again;
  QVERIFY(Accounts.LookupAccountName(QString(), Domain + u'\\' + Name, Again));
  QCOMPARE(Again, Sid);
}

void tst_WindowsNetApi::lookupFailures_data() {
  QTest::addColumn<QString>("account"); // looked up by name when not empty
  QTest::addColumn<TSid>("sid");        // otherwise by this SID
  QTest::addColumn<uint>("error");
  QTest::newRow("unknown name") << QStringLiteral("kelvane-no-such-user-7f3a") << TSid()
                                << uint(ERROR_NONE_MAPPED);
  QTest::newRow("unknown SID") << QString() << sidOf({21, 1, 2, 3, 999999})
                               << uint(ERROR_NONE_MAPPED);
  TSid TooLong = sidOf({});
  TooLong.SubAuthorities.assign(SID_MAX_SUB_AUTHORITIES + 1, 7);
  QTest::newRow("more parts than a SID holds") << QString() << TooLong << uint(ERROR_INVALID_SID);
}

void tst_WindowsNetApi::lookupFailures() {
  QFETCH(QString, account);
  QFETCH(TSid, sid);
  QFETCH(uint, error);
  WindowsAccounts Accounts;
  if (!account.isEmpty()) {
    TSid Found = sidOf({1, 2});
    QVERIFY(!Accounts.LookupAccountName(QString(), account, Found));
    QCOMPARE(Found, sidOf({1, 2}));
  } else {
    QString Name = QStringLiteral("kept"), Domain;
    QVERIFY(!Accounts.LookupAccountSid(QString(), sid, Name, Domain));
    QCOMPARE(Name, QStringLiteral("kept"));
  }
  QCOMPARE(uint(Accounts.GetLastError()), error);
}

void tst_WindowsNetApi::currentProcessListed() {
  WindowsAccounts Accounts;
  const DWORD Self = Accounts.GetCurrentProcessId();
  QCOMPARE(Self, ::GetCurrentProcessId());
  DWORD Session = WTS_CURRENT_SESSION;
  QVERIFY(Accounts.ProcessIdToSessionId(Self, Session));
  QVERIFY(Session != WTS_CURRENT_SESSION);
  TSid User;
  QVERIFY(Accounts.LookupAccountName(QString(), userName(), User));

  const std::vector<TProcessEntry> Processes = Accounts.Processes();
  QVERIFY(Processes.size() > 1);
  const TProcessEntry* Found = nullptr;
  for (const TProcessEntry& Process : Processes)
    if (Process.ProcessId == Self)
      Found = &Process;
  QVERIFY(Found);
  QCOMPARE(Found->ExeName.toLower(),
           QFileInfo(QCoreApplication::applicationFilePath()).fileName().toLower());
  QCOMPARE(Found->SessionId, Session);
  QVERIFY(Found->TokenReadable);
  QCOMPARE(Found->User, User);
}

// A run at the console: this process's session is the active console
// session, and the terminal services name the user and domain the account
// database gives for the user this process runs as.
void tst_WindowsNetApi::sessions() {
  WindowsAccounts Accounts;
  DWORD Own = WTS_CURRENT_SESSION;
  QVERIFY(Accounts.ProcessIdToSessionId(Accounts.GetCurrentProcessId(), Own));
  QCOMPARE(Accounts.WTSGetActiveConsoleSessionId(), Own);

  TSid Sid;
  QString Name, Domain;
  QVERIFY(Accounts.LookupAccountName(QString(), userName(), Sid));
  QVERIFY(Accounts.LookupAccountSid(QString(), Sid, Name, Domain));
  QString User, SessionDomain;
  QVERIFY(Accounts.WTSQuerySessionInformation(WTS_CURRENT_SESSION, WtsNames::WTSUserName, User));
  QVERIFY(Accounts.WTSQuerySessionInformation(Own, WtsNames::WTSDomainName, SessionDomain));
  QCOMPARE(User.toLower(), Name.toLower());
  QCOMPARE(SessionDomain.toLower(), Domain.toLower());

  // Wine answers the enumeration with success and no session at all.
  const std::vector<TWtsSessionInfo> Sessions = Accounts.WTSEnumerateSessions();
  QCOMPARE(Accounts.GetLastError(), DWORD(ERROR_SUCCESS));
  if (RunningUnderWine())
    return;
  bool Listed = false;
  for (const TWtsSessionInfo& Session : Sessions)
    Listed = Listed || Session.SessionId == Own;
  QVERIFY(Listed);
}

void tst_WindowsNetApi::wow64() {
  WindowsAccounts Accounts;
  bool Wow64 = true;
  QVERIFY(Accounts.IsWow64Process(Wow64));
  // A 64-bit program never runs under WOW64.
  if (sizeof(void*) == 8)
    QVERIFY(!Wow64);
}

KELVANE_TEST_MAIN(tst_WindowsNetApi)
#include "tst_WindowsNetApi.moc"
