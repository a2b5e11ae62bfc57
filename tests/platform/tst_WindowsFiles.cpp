// The Windows helpers on a Windows file system: reading whatever stands under
// a name without waiting on it, taking turns through a lock file, folders
// reached without junctions or other users' folders on the way, and the
// companion program started in this process's place. The program plays the
// companions it starts itself (playRole below).

#include "support/TestMain.h"

#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/SafeFolder.h"
#include "platform/windows/WindowsCommandLine.h"
#include "platform/windows/WindowsHelpers.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <aclapi.h>
#include <fcntl.h>
#include <io.h>
#include <sddl.h>
#include <shellapi.h>
#include <winioctl.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

namespace {

QString ownPath() {
  wchar_t Path[MAX_PATH * 4];
  const DWORD Length = ::GetModuleFileNameW(nullptr, Path, DWORD(std::size(Path)));
  return QString::fromWCharArray(Path, int(Length));
}

// ---- the companions ---------------------------------------------------------

const wchar_t RoleVariable[] = L"KELVANE_TEST_ROLE";
const wchar_t FileVariable[] = L"KELVANE_TEST_FILE";
constexpr int EchoExitCode = 42;
// What the relay passes on: each argument must reach the companion as it is.
const char* const RelayedArguments[] = {"plain", "two words", "say \"hi\"", "C:\\trailing\\",
                                        "",      "tab\there", "a\\\\b\\\"c"};
// ProtectStandardStreams' result in the low bits, and what went wrong.
constexpr int HandleLeadsNowhere = 8;
constexpr int WrittenIntoFile = 16;

QString environment(const wchar_t* AName) {
  wchar_t Value[1024];
  const DWORD Length = ::GetEnvironmentVariableW(AName, Value, DWORD(std::size(Value)));
  return Length > 0 && Length < std::size(Value) ? QString::fromWCharArray(Value, int(Length))
                                                 : QString();
}

// "relay" runs this program as its own companion in the role "echo", which
// writes its arguments one a line and ends with EchoExitCode. "protect"
// protects the standard streams, opens the file KELVANE_TEST_FILE names and
// writes through every standard stream.
[[noreturn]] void play(const QString& ARole) {
  if (ARole == u"relay") {
    ::SetEnvironmentVariableW(RoleVariable, L"echo");
    std::vector<char*> Arguments{const_cast<char*>("relay")};
    for (const char* Argument : RelayedArguments)
      Arguments.push_back(const_cast<char*>(Argument));
    Arguments.push_back(nullptr);
    const QString Reason =
        RunSiblingProgram(QFileInfo(ownPath()).completeBaseName(), Arguments.data());
    std::fputs(Reason.toLocal8Bit().constData(), stderr);
    ::ExitProcess(100);
  }
  if (ARole == u"echo") {
    _setmode(_fileno(stdout), _O_BINARY);
    for (int I = 1; I < __argc; ++I)
      std::printf("%s\n", __argv[I]);
    std::fflush(stdout);
    ::ExitProcess(EchoExitCode);
  }
  int Result = ProtectStandardStreams();
  for (const DWORD Which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
    const HANDLE Handle = ::GetStdHandle(Which);
    if (Handle == nullptr || Handle == INVALID_HANDLE_VALUE ||
        ::GetFileType(Handle) == FILE_TYPE_UNKNOWN)
      Result |= HandleLeadsNowhere;
  }
  FILE* File = _wfopen(wide(environment(FileVariable)), L"wb");
  std::printf("stdout");
  std::fflush(stdout);
  std::fprintf(stderr, "stderr");
  _write(1, "fd1", 3);
  _write(2, "fd2", 3);
  if (File) {
    std::fflush(File);
    Result |= _filelength(_fileno(File)) != 0 ? WrittenIntoFile : 0;
    std::fclose(File);
  }
  ::ExitProcess(DWORD(Result));
}

bool playRole() {
  const QString Role = environment(RoleVariable);
  if (!Role.isEmpty())
    play(Role);
  return false;
}

// Before main: a companion must not start the test run.
[[maybe_unused]] const bool RolePlayed = playRole();

// ---- file system fixtures ---------------------------------------------------

void writeFile(const QString& APath, const QByteArray& AData) {
  QFile File(APath);
  QVERIFY(File.open(QIODevice::WriteOnly));
  QCOMPARE(File.write(AData), AData.size());
}

QByteArray readFile(const QString& APath) {
  QFile File(APath);
  return File.open(QIODevice::ReadOnly) ? File.readAll() : QByteArray("(unreadable)");
}

// A junction at ALink to the folder ATarget, as any user may make one in
// a folder he can write to. False where the file system keeps none.
bool makeJunction(const QString& ALink, const QString& ATarget) {
  const QString Target = QDir::toNativeSeparators(QFileInfo(ATarget).absoluteFilePath());
  const QString Substitute = QStringLiteral("\\??\\") + Target;
  if (!::CreateDirectoryW(wide(ALink), nullptr))
    return false;
  const HANDLE Link =
      ::CreateFileW(wide(ALink), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (Link == INVALID_HANDLE_VALUE)
    return false;
  // The mount point layout of REPARSE_DATA_BUFFER, which only the driver
  // kit's headers declare: both names, each ending with a NUL.
  struct {
    DWORD ReparseTag;
    WORD ReparseDataLength;
    WORD Reserved;
    WORD SubstituteNameOffset;
    WORD SubstituteNameLength;
    WORD PrintNameOffset;
    WORD PrintNameLength;
    wchar_t PathBuffer[2048];
  } Buffer{};
  const WORD SubstituteBytes = WORD(Substitute.size() * 2);
  const WORD PrintBytes = WORD(Target.size() * 2);
  Buffer.ReparseTag = IO_REPARSE_TAG_MOUNT_POINT;
  Buffer.SubstituteNameLength = SubstituteBytes;
  Buffer.PrintNameOffset = WORD(SubstituteBytes + 2);
  Buffer.PrintNameLength = PrintBytes;
  Substitute.toWCharArray(Buffer.PathBuffer);
  Target.toWCharArray(Buffer.PathBuffer + Substitute.size() + 1);
  Buffer.ReparseDataLength = WORD(8 + SubstituteBytes + 2 + PrintBytes + 2);
  DWORD Returned = 0;
  const bool Made = ::DeviceIoControl(Link, FSCTL_SET_REPARSE_POINT, &Buffer,
                                      8 + Buffer.ReparseDataLength, nullptr, 0, &Returned, nullptr);
  ::CloseHandle(Link);
  const DWORD Attributes = ::GetFileAttributesW(wide(ALink));
  return Made && Attributes != INVALID_FILE_ATTRIBUTES &&
         (Attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// A symbolic link at ALink to the file ATarget. Windows lets only
// administrators and, in developer mode, everyone make one.
bool makeFileLink(const QString& ALink, const QString& ATarget) {
  const QString Target = QDir::toNativeSeparators(ATarget);
  if (!::CreateSymbolicLinkW(wide(ALink), wide(Target),
                             SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE))
    return false;
  const DWORD Attributes = ::GetFileAttributesW(wide(ALink));
  return Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::vector<BYTE> sidOf(const wchar_t* AText) {
  PSID Sid = nullptr;
  if (!::ConvertStringSidToSidW(AText, &Sid))
    return {};
  std::vector<BYTE> Copy(static_cast<BYTE*>(Sid), static_cast<BYTE*>(Sid) + ::GetLengthSid(Sid));
  ::LocalFree(Sid);
  return Copy;
}

QString sidText(PSID ASid) {
  wchar_t* Text = nullptr;
  if (!ASid || !::ConvertSidToStringSidW(ASid, &Text))
    return QStringLiteral("(none)");
  const QString Result = QString::fromWCharArray(Text);
  ::LocalFree(Text);
  return Result;
}

// Lets everybody add entries to the folder APath, as a folder shared with
// other users does.
bool letEverybodyWrite(const QString& APath) {
  PACL Old = nullptr;
  PSECURITY_DESCRIPTOR Descriptor = nullptr;
  if (::GetNamedSecurityInfoW(wide(APath), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &Old, nullptr, &Descriptor) != ERROR_SUCCESS)
    return false;
  std::vector<BYTE> Everybody = sidOf(L"S-1-1-0");
  EXPLICIT_ACCESSW Entry{};
  Entry.grfAccessPermissions = FILE_GENERIC_READ | FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY;
  Entry.grfAccessMode = GRANT_ACCESS;
  Entry.grfInheritance = NO_INHERITANCE;
  Entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
  Entry.Trustee.ptstrName = reinterpret_cast<wchar_t*>(Everybody.data());
  PACL New = nullptr;
  const bool Done = ::SetEntriesInAclW(1, &Entry, Old, &New) == ERROR_SUCCESS &&
                    ::SetNamedSecurityInfoW(const_cast<wchar_t*>(wide(APath)), SE_FILE_OBJECT,
                                            DACL_SECURITY_INFORMATION, nullptr, nullptr, New,
                                            nullptr) == ERROR_SUCCESS;
  ::LocalFree(New);
  ::LocalFree(Descriptor);
  return Done;
}

// Gives APath to LOCAL SERVICE, an account that is not the user's. Needs
// the right to restore files, which an elevated administrator may enable.
bool giveToAnotherUser(const QString& APath) {
  HANDLE Token = nullptr;
  if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &Token)) {
    TOKEN_PRIVILEGES Restore{};
    Restore.PrivilegeCount = 1;
    Restore.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (::LookupPrivilegeValueW(nullptr, SE_RESTORE_NAME, &Restore.Privileges[0].Luid))
      ::AdjustTokenPrivileges(Token, FALSE, &Restore, 0, nullptr, nullptr);
    ::CloseHandle(Token);
  }
  std::vector<BYTE> Other = sidOf(L"S-1-5-19");
  if (::SetNamedSecurityInfoW(const_cast<wchar_t*>(wide(APath)), SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION, Other.data(), nullptr, nullptr,
                              nullptr) != ERROR_SUCCESS)
    return false;
  PSID Owner = nullptr;
  PSECURITY_DESCRIPTOR Descriptor = nullptr;
  const bool Taken =
      ::GetNamedSecurityInfoW(wide(APath), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &Owner,
                              nullptr, nullptr, nullptr, &Descriptor) == ERROR_SUCCESS &&
      sidText(Owner) == u"S-1-5-19";
  ::LocalFree(Descriptor);
  return Taken;
}

// Who owns APath, and whom its access list lets do anything besides the
// user, SYSTEM and Administrators.
struct TAccess {
  QString Owner;
  QStringList Others;
  bool Inherits = true;
};

TAccess accessOf(const QString& APath) {
  TAccess Access;
  PSID Owner = nullptr;
  PACL Dacl = nullptr;
  PSECURITY_DESCRIPTOR Descriptor = nullptr;
  if (::GetNamedSecurityInfoW(wide(APath), SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &Owner,
                              nullptr, &Dacl, nullptr, &Descriptor) != ERROR_SUCCESS) {
    Access.Owner = QStringLiteral("(unreadable)");
    return Access;
  }
  Access.Owner = sidText(Owner);
  const TAccounts Accounts;
  SECURITY_DESCRIPTOR_CONTROL Control = 0;
  DWORD Revision = 0;
  ::GetSecurityDescriptorControl(Descriptor, &Control, &Revision);
  Access.Inherits = !(Control & SE_DACL_PROTECTED);
  for (DWORD I = 0; Dacl && I < Dacl->AceCount; ++I) {
    void* Ace = nullptr;
    ::GetAce(Dacl, I, &Ace);
    if (static_cast<ACE_HEADER*>(Ace)->AceType != ACCESS_ALLOWED_ACE_TYPE)
      continue;
    const PSID Trustee = &static_cast<ACCESS_ALLOWED_ACE*>(Ace)->SidStart;
    const QString Name = sidText(Trustee);
    if (!Accounts.Trusted(Trustee) || Name == u"S-1-5-80-956008885-3418522649-1831038044-"
                                              u"1853292631-2271478464")
      Access.Others << Name;
  }
  if (!Dacl)
    Access.Others << QStringLiteral("(everybody: no access list)");
  ::LocalFree(Descriptor);
  return Access;
}

// Lays out the entries of ATree below ARoot: "name/" a folder, "name" an
// empty file, "name -> target" a junction to the folder target, "name
// <others write>" lets everybody write to it, "name <owner other>" gives
// it to another account. Empty when done; "skip: why" when this system
// cannot lay it out; else what failed.
QString layOut(const QString& ARoot, const QStringList& ATree) {
  for (const QString& Entry : ATree) {
    const QString Name = Entry.section(u' ', 0, 0);
    const QString Path = ARoot + u'/' + Name;
    if (Entry.contains(u" -> ")) {
      if (!makeJunction(QDir::toNativeSeparators(Path),
                        ARoot + u'/' + Entry.section(QStringLiteral(" -> "), 1)))
        return QStringLiteral("skip: no junctions can be made here");
    } else if (Entry.endsWith(u"<others write>")) {
      if (!letEverybodyWrite(Path))
        return Entry + QStringLiteral(": the access list cannot be changed");
    } else if (Entry.endsWith(u"<owner other>")) {
      if (!giveToAnotherUser(Path))
        return QStringLiteral("skip: needs the right to give a folder to another account");
    } else if (Name.endsWith(u'/')) {
      if (!QDir().mkpath(Path))
        return Entry + QStringLiteral(": cannot be made");
    } else {
      QFile File(Path);
      if (!File.open(QIODevice::WriteOnly))
        return Entry + QStringLiteral(": cannot be made");
    }
  }
  return {};
}

class TWorkingFolder {
public:
  explicit TWorkingFolder(const QString& AFolder) : FSaved(QDir::currentPath()) {
    QDir::setCurrent(AFolder);
  }
  ~TWorkingFolder() { QDir::setCurrent(FSaved); }
  TWorkingFolder(const TWorkingFolder&) = delete;
  TWorkingFolder& operator=(const TWorkingFolder&) = delete;

private:
  QString FSaved;
};

} // namespace

class tst_WindowsFiles : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void reads_data();
  void reads();
  void readsNativePaths();
  void lockTakesTurns();
  void lockWaitsForTheHolder();
  void lockRefusesPlantedNames_data();
  void lockRefusesPlantedNames();
  void opensFolders_data();
  void opensFolders();
  void madeFoldersAndFilesArePrivate();
  void appendsAndRotates();
  void appendsFromTwoHandles();
  void refusesNamesThatAreNotPlain_data();
  void refusesNamesThatAreNotPlain();
  void refusesWhatIsNoLongerPrivate();
  void heldFolderCannotBeMoved();
  void commandLine_data();
  void commandLine();
  void siblingProgramRunsInPlace();
  void siblingProgramMissing();
  void standardStreams_data();
  void standardStreams();
};

// ---- ReadBoundedFile --------------------------------------------------------

void tst_WindowsFiles::reads_data() {
  QTest::addColumn<QString>("kind"); // what stands under the name
  QTest::addColumn<int>("flags");
  QTest::addColumn<int>("status");
  QTest::addColumn<QByteArray>("data");
  QTest::addColumn<QString>("reason");
  const QByteArray Ten("0123456789");
  const QString NotRegular = QStringLiteral("not a regular file");
  const QString TooLarge = QStringLiteral("larger than 64 bytes");
  const QString NoFile = SystemErrorText(ERROR_FILE_NOT_FOUND);
  const QString NoPath = SystemErrorText(ERROR_PATH_NOT_FOUND);
  const int Read = TFileContent::fcRead;
  QTest::newRow("a file under the cap") << "ten" << 0 << Read << Ten << QString();
  QTest::newRow("a file of exactly the cap") << "cap" << 0 << Read << QByteArray(64, 'c') << "";
  QTest::newRow("an empty file") << "empty" << 0 << Read << QByteArray() << QString();
  QTest::newRow("one byte over the cap: refused")
      << "over" << 0 << int(TFileContent::fcTooLarge) << QByteArray() << TooLarge;
  QTest::newRow("over the cap, truncating")
      << "over" << int(frTruncate) << Read << QByteArray(64, 'o') << QString();
  QTest::newRow("a file of many chunks")
      << "large" << 0 << int(TFileContent::fcTooLarge) << QByteArray() << TooLarge;
  QTest::newRow("a file of many chunks, truncating")
      << "large" << int(frTruncate) << Read << QByteArray(64, 'l') << QString();
  QTest::newRow("missing") << "missing" << 0 << int(TFileContent::fcMissing) << QByteArray()
                           << NoFile;
  QTest::newRow("missing folder on the way")
      << "nowhere/x" << 0 << int(TFileContent::fcMissing) << QByteArray() << NoPath;
  QTest::newRow("an empty name") << "" << 0 << int(TFileContent::fcMissing) << QByteArray()
                                 << NoFile;
  QTest::newRow("a folder") << "folder" << 0 << int(TFileContent::fcNotRegular) << QByteArray()
                            << NotRegular;
  QTest::newRow("the null device")
      << "NUL" << 0 << int(TFileContent::fcNotRegular) << QByteArray() << NotRegular;
  QTest::newRow("a named pipe nobody writes to: no wait")
      << "pipe" << 0 << int(TFileContent::fcNotRegular) << QByteArray() << NotRegular;
  QTest::newRow("a link to a file, followed") << "link" << 0 << Read << Ten << QString();
  QTest::newRow("a link to a file, not followed")
      << "link" << int(frNoFollow) << int(TFileContent::fcNotRegular) << QByteArray()
      << "a link, not followed";
  QTest::newRow("a junction to a folder, not followed")
      << "junction" << int(frNoFollow) << int(TFileContent::fcNotRegular) << QByteArray()
      << "a link, not followed";
}

void tst_WindowsFiles::reads() {
  QFETCH(QString, kind);
  QFETCH(int, flags);
  QFETCH(int, status);
  QFETCH(QByteArray, data);
  QFETCH(QString, reason);
  QTemporaryDir Dir;
  QVERIFY(Dir.isValid());
  writeFile(Dir.filePath("ten"), "0123456789");
  writeFile(Dir.filePath("cap"), QByteArray(64, 'c'));
  writeFile(Dir.filePath("empty"), QByteArray());
  writeFile(Dir.filePath("over"), QByteArray(65, 'o'));
  writeFile(Dir.filePath("large"), QByteArray(100000, 'l'));
  QVERIFY(QDir(Dir.path()).mkdir("folder"));
  if (kind == u"link" && !makeFileLink(Dir.filePath("link"), Dir.filePath("ten")))
    QSKIP("no symbolic links can be made here");
  if (kind == u"junction" &&
      !makeJunction(QDir::toNativeSeparators(Dir.filePath("junction")), Dir.filePath("folder")))
    QSKIP("no junctions can be made here");
  // The server end stays silent: a reader that got as far as reading
  // would wait for ever.
  const QString Pipe = QStringLiteral("\\\\.\\pipe\\kelvane-test-%1").arg(::GetCurrentProcessId());
  const HANDLE Server = ::CreateNamedPipeW(wide(Pipe), PIPE_ACCESS_OUTBOUND,
                                           PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 0, 0, nullptr);
  QVERIFY(Server != INVALID_HANDLE_VALUE);
  const auto CloseServer = qScopeGuard([Server] { ::CloseHandle(Server); });
  const QString Path = kind == u"NUL"    ? kind
                       : kind == u"pipe" ? Pipe
                       : kind.isEmpty()  ? QString()
                                         : Dir.filePath(kind);

  QElapsedTimer Took;
  Took.start();
  const TFileContent Content = ReadBoundedFile(Path, 64, flags);
  QVERIFY(Took.elapsed() < 5000);
  QCOMPARE(int(Content.Status), status);
  QCOMPARE(Content.Data, data);
  QCOMPARE(Content.Reason, reason);
}

// Paths in the system's 8-bit encoding, as the C runtime hands them over.
void tst_WindowsFiles::readsNativePaths() {
  QTemporaryDir Dir;
  QVERIFY(Dir.isValid());
  QStringList Names{QStringLiteral("plain.txt")};
  const QString Accented = QStringLiteral("caf\u00e9.txt");
  if (QFile::decodeName(QFile::encodeName(Accented)) == Accented)
    Names << Accented;
  for (const QString& Name : Names) {
    writeFile(Dir.filePath(Name), Name.toUtf8());
    const TFileContent Content = ReadBoundedFile(QFile::encodeName(Dir.filePath(Name)), 64);
    QVERIFY2(Content.Ok(), qPrintable(Name + QStringLiteral(": ") + Content.Reason));
    QCOMPARE(Content.Data, Name.toUtf8());
  }
}

// ---- TFileLock --------------------------------------------------------------

// Two holders in one process stand for two starts: the lock belongs to the
// opened file, not to the process.
void tst_WindowsFiles::lockTakesTurns() {
  QTemporaryDir Dir;
  const QString Path = Dir.filePath("NetworkAdapters.xml.lock");
  {
    const TFileLock First(Path, 0);
    QVERIFY2(First.Locked(), qPrintable(First.Reason()));
    QVERIFY(First.Reason().isEmpty());
    QElapsedTimer Waited;
    Waited.start();
    const TFileLock Second(Path, 100);
    QVERIFY(!Second.Locked());
    QCOMPARE(Second.Reason(), QStringLiteral("held by another process for more than 100 ms"));
    QVERIFY(Waited.elapsed() >= 100);
    QVERIFY(Waited.elapsed() < 5000);
  }
  const TFileLock Third(Path, 0);
  QVERIFY2(Third.Locked(), qPrintable(Third.Reason()));
  QCOMPARE(QFileInfo(Path).size(), 0);
  const TAccess Access = accessOf(Path);
  QCOMPARE(Access.Others, QStringList());
  QCOMPARE(Access.Owner, TAccounts().UserText());
}

void tst_WindowsFiles::lockWaitsForTheHolder() {
  QTemporaryDir Dir;
  const QString Path = Dir.filePath("x.lock");
  auto First = std::make_unique<TFileLock>(Path, 0);
  QVERIFY(First->Locked());
  std::thread LetGo([&First] {
    ::Sleep(200);
    First.reset();
  });
  const TFileLock Second(Path, 10000);
  LetGo.join();
  QVERIFY2(Second.Locked(), qPrintable(Second.Reason()));
}

void tst_WindowsFiles::lockRefusesPlantedNames_data() {
  QTest::addColumn<QString>("kind");
  QTest::addColumn<QString>("reason");
  QTest::newRow("a folder") << "folder"
                            << "not a regular file";
  QTest::newRow("the null device") << "NUL"
                                   << "not a regular file";
  QTest::newRow("a missing folder") << "missing" << SystemErrorText(ERROR_PATH_NOT_FOUND);
  QTest::newRow("a link to a file elsewhere") << "link"
                                              << "a link, not followed";
}

void tst_WindowsFiles::lockRefusesPlantedNames() {
  QFETCH(QString, kind);
  QFETCH(QString, reason);
  QTemporaryDir Dir;
  QString Path = Dir.filePath("x.lock");
  const QString Victim = Dir.filePath("victim");
  if (kind == u"folder") {
    QVERIFY(QDir(Dir.path()).mkdir("x.lock"));
  } else if (kind == u"NUL") {
    Path = QStringLiteral("NUL");
  } else if (kind == u"missing") {
    Path = Dir.filePath("missing/x.lock");
  } else if (kind == u"link") {
    writeFile(Victim, "keep");
    if (!makeFileLink(Path, Victim))
      QSKIP("no symbolic links can be made here");
  }
  const TFileLock Lock(Path, 1000);
  QVERIFY(!Lock.Locked());
  QCOMPARE(Lock.Reason(), reason);
  if (kind == u"link")
    QCOMPARE(readFile(Victim), QByteArray("keep"));
}

// ---- TSafeFolder ------------------------------------------------------------

void tst_WindowsFiles::opensFolders_data() {
  QTest::addColumn<QStringList>("tree");
  QTest::addColumn<QString>("path"); // "%DIR%" is the scratch folder, also the working one
  QTest::addColumn<bool>("create");
  QTest::addColumn<QString>("opened"); // below the scratch folder; empty: refused
  QTest::addColumn<QString>("error");  // "%DIR%" in Windows' spelling
  const auto S = [](const char* AText) { return QString::fromUtf8(AText); };
  const QStringList Logs{S("logs/")};

  QTest::newRow("absolute") << Logs << S("%DIR%/logs") << false << S("logs") << QString();
  QTest::newRow("backslashes") << Logs << S("%DIR%\\logs") << false << S("logs") << QString();
  QTest::newRow("relative, from the working folder")
      << Logs << S("logs") << false << S("logs") << QString();
  QTest::newRow("empty: the working folder")
      << QStringList() << S("") << false << S(".") << QString();
  QTest::newRow("dots and repeated separators")
      << Logs << S("%DIR%//.\\logs/.\\\\") << false << S("logs") << QString();
  QTest::newRow("dot-dot") << Logs + QStringList{S("other/")} << S("%DIR%/other/../logs") << false
                           << S("logs") << QString();
  QTest::newRow("dot-dot from the working folder")
      << Logs + QStringList{S("other/")} << S("other\\..\\..\\%NAME%\\logs") << false << S("logs")
      << QString();
  QTest::newRow("dot-dot above the root stays there")
      << QStringList() << S("%ROOT%..\\..\\%BELOW ROOT%") << false << S(".") << QString();
  QTest::newRow("missing folders, made")
      << QStringList() << S("%DIR%/a/b/c") << true << S("a/b/c") << QString();
  QTest::newRow("missing folder, not made")
      << QStringList() << S("%DIR%/a/b") << false << QString() << S("%DIR%\\a does not exist");
  QTest::newRow("a file on the way") << QStringList{S("plain")} << S("%DIR%/plain/sub") << true
                                     << QString() << S("%DIR%\\plain is not a folder");
  QTest::newRow("a file as the folder") << QStringList{S("plain")} << S("%DIR%/plain") << true
                                        << QString() << S("%DIR%\\plain is not a folder");
  QTest::newRow("a device name on the way") << QStringList() << S("%DIR%/NUL/logs") << true
                                            << QString() << S("%DIR%\\NUL is not a valid name");
  QTest::newRow("a stream name") << Logs << S("%DIR%/logs:hidden") << true << QString()
                                 << S("%DIR%\\logs:hidden is not a valid name");
  QTest::newRow("a trailing dot, which Windows would drop")
      << Logs << S("%DIR%/logs./x") << true << QString() << S("%DIR%\\logs. is not a valid name");
  QTest::newRow("a folder others may write to")
      << QStringList{S("group/"), S("group <others write>")} << S("%DIR%/group") << false
      << QString() << S("others may write to %DIR%\\group");
  QTest::newRow("passing through a folder others may write to")
      << QStringList{S("group/logs/"), S("group <others write>")} << S("%DIR%/group/logs") << false
      << S("group/logs") << QString();
  QTest::newRow("another user's folder")
      << QStringList{S("other/"), S("other <owner other>")} << S("%DIR%/other") << false
      << QString() << S("%DIR%\\other belongs to another user");
  QTest::newRow("passing through another user's folder")
      << QStringList{S("other/logs/"), S("other <owner other>")} << S("%DIR%/other/logs") << true
      << QString() << S("%DIR%\\other belongs to another user");
  QTest::newRow("a junction on the way")
      << QStringList{S("target/"), S("safe/"), S("safe/j -> target")} << S("%DIR%/safe/j/new")
      << true << QString() << S("%DIR%\\safe\\j is a link, not followed");
  QTest::newRow("a junction as the folder")
      << QStringList{S("target/"), S("j -> target")} << S("%DIR%/j") << false << QString()
      << S("%DIR%\\j is a link, not followed");
  QTest::newRow("NUL in the path")
      << Logs << QStringLiteral("%DIR%/logs") + QChar(0) + QStringLiteral("/x") << true << QString()
      << S("the path holds a NUL character");
}

void tst_WindowsFiles::opensFolders() {
  QFETCH(QStringList, tree);
  QFETCH(QString, path);
  QFETCH(bool, create);
  QFETCH(QString, opened);
  QFETCH(QString, error);
  QTemporaryDir Dir;
  QVERIFY(Dir.isValid());
  const QString Scratch = QFileInfo(Dir.path()).canonicalFilePath();
  const QString Laid = layOut(Scratch, tree);
  if (Laid.startsWith(u"skip: "))
    QSKIP(qPrintable(Laid.mid(6)));
  QCOMPARE(Laid, QString());
  const QString Native = QDir::toNativeSeparators(Scratch);
  path.replace(QStringLiteral("%DIR%"), Scratch)
      .replace(QStringLiteral("%NAME%"), QFileInfo(Scratch).fileName())
      .replace(QStringLiteral("%ROOT%"), Native.left(3))
      .replace(QStringLiteral("%BELOW ROOT%"), Native.mid(3));
  error.replace(QStringLiteral("%DIR%"), Native);
  TWorkingFolder Working(Scratch);

  const TSafeFolder Folder = TSafeFolder::Open(path, create);
  QCOMPARE(Folder.Error(), error);
  QCOMPARE(Folder.IsOpen(), !opened.isEmpty());
  if (opened.isEmpty())
    return;
  // The folder is known by what lands in it.
  QVERIFY(Folder.OpenAppend(QStringLiteral("probe"), false).IsOpen());
  QVERIFY2(QFile::exists(Scratch + u'/' + opened + QStringLiteral("/probe")), qPrintable(opened));
}

void tst_WindowsFiles::madeFoldersAndFilesArePrivate() {
  QTemporaryDir Dir;
  QVERIFY(Dir.isValid());
  const TSafeFolder Folder = TSafeFolder::Open(Dir.filePath("a/b"), true);
  QVERIFY2(Folder.IsOpen(), qPrintable(Folder.Error()));
  TAppendFile File = Folder.OpenAppend(QStringLiteral("k.sil"), false);
  QVERIFY(File.IsOpen());
  const QString User = TAccounts().UserText();
  for (const QString& Made :
       {QStringLiteral("a"), QStringLiteral("a/b"), QStringLiteral("a/b/k.sil")}) {
    const TAccess Access = accessOf(Dir.filePath(Made));
    QVERIFY2(Access.Others.isEmpty(),
             qPrintable(Made + QStringLiteral(": ") + Access.Others.join(u' ')));
    QCOMPARE(Access.Owner, User);
  }
}

void tst_WindowsFiles::appendsAndRotates() {
  QTemporaryDir Dir;
  QVERIFY(Dir.isValid());
  const TSafeFolder Folder = TSafeFolder::Open(Dir.path(), false);
  QVERIFY2(Folder.IsOpen(), qPrintable(Folder.Error()));
  const QString Log = Dir.filePath("k.sil");
  {
    TAppendFile File = Folder.OpenAppend(QStringLiteral("k.sil"), false);
    QVERIFY(File.IsOpen());
    QCOMPARE(File.Size(), 0);
    QVERIFY(File.Write("one\n"));
  }
  {
    TAppendFile File = Folder.OpenAppend(QStringLiteral("k.sil"), false);
    QCOMPARE(File.Size(), 4);
    QVERIFY(File.Write("two\n"));
    QVERIFY(File.Write(QByteArray()));
  }
  QCOMPARE(readFile(Log), QByteArray("one\ntwo\n"));

  // Rotating: the full file moves aside, over an older one, and a new one
  // starts.
  writeFile(Dir.filePath("k.1.sil"), "older\n");
  QVERIFY(Folder.Rename(QStringLiteral("k.sil"), QStringLiteral("k.1.sil")));
  QVERIFY(!QFile::exists(Log));
  QCOMPARE(readFile(Dir.filePath("k.1.sil")), QByteArray("one\ntwo\n"));
  QVERIFY(!Folder.Rename(QStringLiteral("k.sil"), QStringLiteral("k.2.sil")));
  QVERIFY(Folder.Remove(QStringLiteral("k.1.sil")));
  QVERIFY(!QFile::exists(Dir.filePath("k.1.sil")));
  QVERIFY(!Folder.Remove(QStringLiteral("k.1.sil")));

  // Emptied when asked, and only then.
  writeFile(Log, "stale\n");
  {
    TAppendFile File = Folder.OpenAppend(QStringLiteral("k.sil"), true);
    QVERIFY(File.IsOpen());
    QCOMPARE(File.Size(), 0);
    QVERIFY(File.Write("fresh\n"));
  }
  QCOMPARE(readFile(Log), QByteArray("fresh\n"));

  // A folder of the name stays as it is.
  QVERIFY(QDir(Dir.path()).mkdir("sub.sil"));
  QVERIFY(!Folder.OpenAppend(QStringLiteral("sub.sil"), true).IsOpen());
  QVERIFY(!Folder.Remove(QStringLiteral("sub.sil")));
  QVERIFY(QFileInfo(Dir.filePath("sub.sil")).isDir());
}

// Two starts appending to one log: neither overwrites the other, even
// through a handle that was allowed to empty the file.
void tst_WindowsFiles::appendsFromTwoHandles() {
  QTemporaryDir Dir;
  const TSafeFolder Folder = TSafeFolder::Open(Dir.path(), false);
  QVERIFY2(Folder.IsOpen(), qPrintable(Folder.Error()));
  TAppendFile First = Folder.OpenAppend(QStringLiteral("k.sil"), true);
  TAppendFile Second = Folder.OpenAppend(QStringLiteral("k.sil"), false);
  QVERIFY(First.IsOpen() && Second.IsOpen());
  QVERIFY(First.Write("aaa"));
  QVERIFY(Second.Write("bbb"));
  QVERIFY(First.Write("ccc"));
  First.Close();
  QVERIFY(!First.Write("ddd"));
  Second.Close();
  QCOMPARE(readFile(Dir.filePath("k.sil")), QByteArray("aaabbbccc"));
}

void tst_WindowsFiles::refusesNamesThatAreNotPlain_data() {
  QTest::addColumn<QString>("name");
  QTest::newRow("empty") << "";
  QTest::newRow("dot") << ".";
  QTest::newRow("dot-dot") << "..";
  QTest::newRow("a path") << "sub\\k.sil";
  QTest::newRow("a path with a slash") << "sub/k.sil";
  QTest::newRow("a path up") << "..\\k.sil";
  QTest::newRow("a stream") << "k.sil:hidden";
  QTest::newRow("a pattern") << "k*.sil";
  QTest::newRow("a trailing dot") << "k.sil.";
  QTest::newRow("a trailing space") << "k.sil ";
  QTest::newRow("a device") << "NUL";
  QTest::newRow("a device with an extension") << "com1.sil";
  QTest::newRow("a control character") << "k\n.sil";
}

void tst_WindowsFiles::refusesNamesThatAreNotPlain() {
  QFETCH(QString, name);
  QTemporaryDir Dir;
  QVERIFY(QDir(Dir.path()).mkdir("sub"));
  writeFile(Dir.filePath("sub/k.sil"), "keep");
  writeFile(Dir.filePath("k.sil"), "keep");
  const TSafeFolder Folder = TSafeFolder::Open(Dir.filePath("sub"), false);
  QVERIFY2(Folder.IsOpen(), qPrintable(Folder.Error()));
  QVERIFY(!Folder.OpenAppend(name, true).IsOpen());
  QVERIFY(!Folder.Rename(QStringLiteral("k.sil"), name));
  QVERIFY(!Folder.Rename(name, QStringLiteral("moved")));
  QVERIFY(!Folder.Remove(name));
  QCOMPARE(QDir(Dir.filePath("sub")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
           QStringList{QStringLiteral("k.sil")});
  QCOMPARE(readFile(Dir.filePath("sub/k.sil")), QByteArray("keep"));
  QCOMPARE(readFile(Dir.filePath("k.sil")), QByteArray("keep"));
}

void tst_WindowsFiles::refusesWhatIsNoLongerPrivate() {
  QTemporaryDir Dir;
  const TSafeFolder Folder = TSafeFolder::Open(Dir.filePath("logs"), true);
  QVERIFY2(Folder.IsOpen(), qPrintable(Folder.Error()));
  QVERIFY(letEverybodyWrite(Dir.filePath("logs")));
  QVERIFY(!Folder.OpenAppend(QStringLiteral("k.sil"), false).IsOpen());
  QVERIFY(!QFile::exists(Dir.filePath("logs/k.sil")));
}

// What the folder was checked to be is what it stays while it is open.
void tst_WindowsFiles::heldFolderCannotBeMoved() {
  // Wine keeps to the sharing of files only: a folder moves whatever its
  // open handles share.
  if (::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version"))
    QSKIP("Wine does not keep folders open without sharing their removal");
  QTemporaryDir Dir;
  const QString Logs = QDir::toNativeSeparators(Dir.filePath("logs"));
  const QString Moved = QDir::toNativeSeparators(Dir.filePath("moved"));
  {
    const TSafeFolder Folder = TSafeFolder::Open(Logs, true);
    QVERIFY2(Folder.IsOpen(), qPrintable(Folder.Error()));
    QVERIFY(!::MoveFileExW(wide(Logs), wide(Moved), 0));
    QVERIFY(!::RemoveDirectoryW(wide(Logs)));
  }
  QVERIFY(::MoveFileExW(wide(Logs), wide(Moved), 0));
}

// ---- RunSiblingProgram ------------------------------------------------------

void tst_WindowsFiles::commandLine_data() {
  QTest::addColumn<QString>("program");
  QTest::addColumn<QStringList>("arguments");
  const QString Program = QStringLiteral("C:\\Program Files\\Kelvane\\kelvane-window.exe");
  const auto L = [](std::initializer_list<const char*> AItems) {
    QStringList List;
    for (const char* Item : AItems)
      List << QString::fromUtf8(Item);
    return List;
  };
  QTest::newRow("none") << Program << QStringList();
  QTest::newRow("plain words") << Program << L({"--print", "-x", "C:\\dir\\file"});
  QTest::newRow("empty arguments") << Program << L({"", "a", ""});
  QTest::newRow("spaces and tabs") << Program << L({"two words", "tab\there", " lead", "trail "});
  QTest::newRow("quotes") << Program << L({"\"", "say \"hi\"", "\"\"", "a\"b"});
  QTest::newRow("backslashes alone stay single") << Program << L({"C:\\a\\b", "\\\\server\\x"});
  QTest::newRow("backslashes before a quote")
      << Program << L({"a\\\"b", "a\\\\\"b", "\\\"", "a\\\\\\\"b c"});
  QTest::newRow("backslashes before the closing quote")
      << Program << L({"C:\\some folder\\", "x y\\\\", "\\"});
  QTest::newRow("a line break") << Program << L({"one\ntwo"});
  QTest::newRow("non-ASCII") << QStringLiteral("C:\\Caf\u00e9\\k.exe")
                             << L({"\u00fcml\u00e4ut", "\u65e5\u672c \u8a9e"});
}

// The line splits back, by the system's own rules, into the program and
// the very arguments.
void tst_WindowsFiles::commandLine() {
  QFETCH(QString, program);
  QFETCH(QStringList, arguments);
  const QString Line = WindowsCommandLine(program, arguments);
  int Count = 0;
  wchar_t** Split = ::CommandLineToArgvW(wide(Line), &Count);
  QVERIFY(Split);
  QStringList Back;
  for (int I = 0; I < Count; ++I)
    Back << QString::fromWCharArray(Split[I]);
  ::LocalFree(Split);
  QCOMPARE(Back, QStringList{program} + arguments);
}

// The companion gets the arguments, the standard output and the exit code.
void tst_WindowsFiles::siblingProgramRunsInPlace() {
  QProcess Relay;
  QProcessEnvironment Environment = QProcessEnvironment::systemEnvironment();
  Environment.insert(QString::fromWCharArray(RoleVariable), QStringLiteral("relay"));
  Relay.setProcessEnvironment(Environment);
  Relay.start(ownPath(), {});
  QVERIFY(Relay.waitForFinished(60000));
  QCOMPARE(Relay.readAllStandardError(), QByteArray());
  QCOMPARE(Relay.exitCode(), EchoExitCode);
  QByteArray Expected;
  for (const char* Argument : RelayedArguments)
    Expected += QByteArray(Argument) + '\n';
  QCOMPARE(Relay.readAllStandardOutput(), Expected);
}

void tst_WindowsFiles::siblingProgramMissing() {
  char Name[] = "tst";
  char* Arguments[] = {Name, nullptr};
  const QString Reason = RunSiblingProgram(QStringLiteral("no-such-companion"), Arguments);
  const QString Expected =
      QDir::toNativeSeparators(QFileInfo(ownPath()).absolutePath() + "/no-such-companion.exe");
  QCOMPARE(Reason, Expected + QStringLiteral(": ") + SystemErrorText(ERROR_FILE_NOT_FOUND));
}

// ---- ProtectStandardStreams -------------------------------------------------

void tst_WindowsFiles::standardStreams_data() {
  // What the child's standard handles are: 0 the null device, 1 none,
  // 2 INVALID_HANDLE_VALUE, 3 a number that names no handle.
  QTest::addColumn<int>("input");
  QTest::addColumn<int>("output");
  QTest::addColumn<int>("error");
  QTest::addColumn<int>("closed");
  QTest::newRow("all there") << 0 << 0 << 0 << 0;
  QTest::newRow("none there") << 1 << 1 << 1 << 7;
  QTest::newRow("output missing") << 0 << 1 << 0 << int(StandardOutputStream);
  QTest::newRow("input invalid") << 2 << 0 << 0 << int(StandardInputStream);
  QTest::newRow("error a number that names no handle") << 0 << 0 << 3 << int(StandardErrorStream);
}

void tst_WindowsFiles::standardStreams() {
  QFETCH(int, input);
  QFETCH(int, output);
  QFETCH(int, error);
  QFETCH(int, closed);
  QTemporaryDir Dir;
  const QString File = QDir::toNativeSeparators(Dir.filePath("opened-later"));
  SECURITY_ATTRIBUTES Inherit{sizeof Inherit, nullptr, TRUE};
  const HANDLE Null =
      ::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &Inherit, OPEN_EXISTING, 0, nullptr);
  QVERIFY(Null != INVALID_HANDLE_VALUE);
  const auto handle = [Null](int AKind) {
    return AKind == 0   ? Null
           : AKind == 1 ? nullptr
           : AKind == 2 ? INVALID_HANDLE_VALUE
                        : reinterpret_cast<HANDLE>(std::intptr_t(0x7ffc));
  };
  ::SetEnvironmentVariableW(RoleVariable, L"protect");
  ::SetEnvironmentVariableW(FileVariable, wide(File));
  const auto Restore = qScopeGuard([Null] {
    ::SetEnvironmentVariableW(RoleVariable, nullptr);
    ::SetEnvironmentVariableW(FileVariable, nullptr);
    ::CloseHandle(Null);
  });
  STARTUPINFOW Startup{};
  Startup.cb = sizeof Startup;
  Startup.dwFlags = STARTF_USESTDHANDLES;
  Startup.hStdInput = handle(input);
  Startup.hStdOutput = handle(output);
  Startup.hStdError = handle(error);
  PROCESS_INFORMATION Child{};
  QString Line = WindowsCommandLine(ownPath(), {});
  QVERIFY(::CreateProcessW(wide(ownPath()), reinterpret_cast<wchar_t*>(Line.data()), nullptr,
                           nullptr, TRUE, 0, nullptr, nullptr, &Startup, &Child));
  ::CloseHandle(Child.hThread);
  QCOMPARE(::WaitForSingleObject(Child.hProcess, 60000), DWORD(WAIT_OBJECT_0));
  DWORD Code = 0;
  ::GetExitCodeProcess(Child.hProcess, &Code);
  ::CloseHandle(Child.hProcess);

  QCOMPARE(int(Code & 7), closed);
  QVERIFY2(!(Code & HandleLeadsNowhere), "a standard handle still leads nowhere");
  QVERIFY2(!(Code & WrittenIntoFile), "the standard streams wrote into a file opened later");
  QCOMPARE(readFile(File), QByteArray());
}

KELVANE_TEST_MAIN(tst_WindowsFiles)
#include "tst_WindowsFiles.moc"
