#include "platform/SafeFolder.h"

#include "platform/windows/WindowsHelpers.h"

#include <QStringList>

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <utility>
#include <vector>

// On Windows the walk differs from the rule for links: a junction or
// symbolic link on the way is refused, never followed. Any user may make a
// junction in a folder he can write to, its target is a path the system
// resolves by rules of its own (drive letters, volume names, targets
// relative to the link), and a folder named in the configuration can as
// well be named by the path the link stands for. Reparse points that are
// not links (cloud placeholders, deduplicated folders) are the folders
// they stand for.
//
// Windows has no openat: a name is opened by the path of the folder it lies
// in. The walk holds every folder it has passed open without letting anyone
// rename or remove it, so each path it builds still leads through them; the
// folder reached stays held that way, and what is opened inside it is
// checked to lie there.

// ---- accounts ---------------------------------------------------------------

namespace {

std::vector<BYTE> copySid(PSID ASid) {
  if (!ASid || !::IsValidSid(ASid))
    return {};
  std::vector<BYTE> Copy(::GetLengthSid(ASid));
  return ::CopySid(DWORD(Copy.size()), Copy.data(), ASid) ? Copy : std::vector<BYTE>();
}

std::vector<BYTE> wellKnownSid(WELL_KNOWN_SID_TYPE AType) {
  std::vector<BYTE> Sid(SECURITY_MAX_SID_SIZE);
  DWORD Length = DWORD(Sid.size());
  if (!::CreateWellKnownSid(AType, nullptr, Sid.data(), &Length))
    return {};
  Sid.resize(Length);
  return Sid;
}

std::vector<BYTE> sidFromText(const wchar_t* AText) {
  PSID Sid = nullptr;
  if (!::ConvertStringSidToSidW(AText, &Sid))
    return {};
  std::vector<BYTE> Copy = copySid(Sid);
  ::LocalFree(Sid);
  return Copy;
}

} // namespace

std::vector<BYTE> TokenUserSid(HANDLE AToken) {
  DWORD Length = 0;
  ::GetTokenInformation(AToken, TokenUser, nullptr, 0, &Length);
  std::vector<BYTE> Buffer(std::max<DWORD>(Length, sizeof(TOKEN_USER)));
  if (!::GetTokenInformation(AToken, TokenUser, Buffer.data(), DWORD(Buffer.size()), &Length))
    return {};
  return copySid(reinterpret_cast<TOKEN_USER*>(Buffer.data())->User.Sid);
}

TAccounts::TAccounts()
    : FSystem(wellKnownSid(WinLocalSystemSid)),
      FAdministrators(wellKnownSid(WinBuiltinAdministratorsSid)),
      // NT SERVICE\TrustedInstaller, the owner of the system's own files.
      FTrustedInstaller(
          sidFromText(L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464")),
      FOwnerRights(wellKnownSid(WinCreatorOwnerRightsSid)) {
  HANDLE Token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &Token))
    return;
  FUser = TokenUserSid(Token);
  ::CloseHandle(Token);
  wchar_t* Text = nullptr;
  if (FUser.empty() || !::ConvertSidToStringSidW(User(), &Text)) {
    FUser.clear();
    return;
  }
  FUserText = QString::fromWCharArray(Text);
  ::LocalFree(Text);
  // Only an enabled group counts: the filtered token of an administrator
  // who is not elevated holds the Administrators group for denying only.
  BOOL Member = FALSE;
  FElevated = !FAdministrators.empty() &&
              ::CheckTokenMembership(nullptr, sid(FAdministrators), &Member) && Member;
}

bool TAccounts::same(const std::vector<BYTE>& ASid, PSID AOther) noexcept {
  return !ASid.empty() && AOther && ::IsValidSid(AOther) && ::EqualSid(sid(ASid), AOther);
}

bool TAccounts::Trusted(PSID AOwner) const noexcept {
  return Valid() && (same(FUser, AOwner) || same(FSystem, AOwner) ||
                     same(FAdministrators, AOwner) || same(FTrustedInstaller, AOwner));
}

bool TAccounts::Own(PSID AOwner) const noexcept {
  return Valid() && (same(FUser, AOwner) || (FElevated && same(FAdministrators, AOwner)));
}

bool TAccounts::MayWrite(PSID ATrustee) const noexcept {
  return Trusted(ATrustee) || (Valid() && same(FOwnerRights, ATrustee));
}

TPrivateSecurity::TPrivateSecurity(const TAccounts& AAccounts, bool AFolder) {
  if (!AAccounts.Valid())
    return;
  // P: protected, nothing inherited; OICI: passed on to files and folders
  // made inside.
  const QString Text = QStringLiteral("O:%1D:P(A;%2;FA;;;%1)(A;%2;FA;;;SY)(A;%2;FA;;;BA)")
                           .arg(AAccounts.UserText(), AFolder ? QStringLiteral("OICI") : QString());
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(
          reinterpret_cast<const wchar_t*>(Text.utf16()), SDDL_REVISION_1, &FDescriptor, nullptr))
    FDescriptor = nullptr;
  FAttributes.nLength = sizeof FAttributes;
  FAttributes.lpSecurityDescriptor = FDescriptor;
  FAttributes.bInheritHandle = FALSE;
}

TPrivateSecurity::~TPrivateSecurity() {
  ::LocalFree(FDescriptor);
}

PACL TPrivateSecurity::Dacl() const noexcept {
  BOOL Present = FALSE;
  BOOL Defaulted = FALSE;
  PACL Dacl = nullptr;
  if (!FDescriptor || !::GetSecurityDescriptorDacl(FDescriptor, &Present, &Dacl, &Defaulted) ||
      !Present)
    return nullptr;
  return Dacl;
}

// ---- the walk ---------------------------------------------------------------

namespace {

HANDLE handleOf(std::intptr_t AHandle) {
  return reinterpret_cast<HANDLE>(AHandle);
}

class THandle {
public:
  explicit THandle(HANDLE AHandle = INVALID_HANDLE_VALUE) : FHandle(AHandle) {}
  ~THandle() {
    if (Valid())
      ::CloseHandle(FHandle);
  }
  THandle(THandle&& AOther) noexcept : FHandle(AOther.Release()) {}
  THandle& operator=(THandle&& AOther) noexcept {
    std::swap(FHandle, AOther.FHandle);
    return *this;
  }
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;

  bool Valid() const { return FHandle != INVALID_HANDLE_VALUE && FHandle != nullptr; }
  HANDLE Get() const { return FHandle; }
  HANDLE Release() { return std::exchange(FHandle, INVALID_HANDLE_VALUE); }

private:
  HANDLE FHandle;
};

// The owner and access list of an open file or folder.
class TSecurityInfo {
public:
  explicit TSecurityInfo(HANDLE AHandle)
      : FError(::GetSecurityInfo(AHandle, SE_FILE_OBJECT,
                                 OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &FOwner,
                                 nullptr, &FDacl, nullptr, &FDescriptor)) {}
  ~TSecurityInfo() { ::LocalFree(FDescriptor); }
  TSecurityInfo(const TSecurityInfo&) = delete;
  TSecurityInfo& operator=(const TSecurityInfo&) = delete;

  bool Ok() const { return FError == ERROR_SUCCESS; }
  DWORD Error() const { return FError; }
  PSID Owner() const { return FOwner; }
  PACL Dacl() const { return FDacl; }

private:
  PSID FOwner = nullptr;
  PACL FDacl = nullptr;
  PSECURITY_DESCRIPTOR FDescriptor = nullptr;
  // Last: the call that sets it fills the fields above.
  DWORD FError;
};

// Rights that let their holder add, remove or rename what a folder holds,
// remove or rename the folder itself, or give himself any of that.
constexpr ACCESS_MASK WriteRights = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD |
                                    DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

// Entries that deny are not weighed against those that allow: counting
// what is allowed alone can only refuse more.
bool othersMayWrite(const TSecurityInfo& AInfo, const TAccounts& AAccounts) {
  // No access list at all lets everybody do everything.
  if (!AInfo.Dacl())
    return true;
  for (DWORD I = 0; I < AInfo.Dacl()->AceCount; ++I) {
    void* Ace = nullptr;
    if (!::GetAce(AInfo.Dacl(), I, &Ace))
      return true;
    const auto* Header = static_cast<const ACE_HEADER*>(Ace);
    // Entries only passed on to what is made inside do not apply here.
    if (Header->AceFlags & INHERIT_ONLY_ACE)
      continue;
    switch (Header->AceType) {
    case ACCESS_ALLOWED_ACE_TYPE:
    case ACCESS_ALLOWED_CALLBACK_ACE_TYPE: {
      auto* Allowed = static_cast<ACCESS_ALLOWED_ACE*>(Ace);
      if ((Allowed->Mask & WriteRights) && !AAccounts.MayWrite(PSID(&Allowed->SidStart)))
        return true;
      break;
    }
    case ACCESS_ALLOWED_COMPOUND_ACE_TYPE:
    case ACCESS_ALLOWED_OBJECT_ACE_TYPE:
    case ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE:
      // Not used on files; whoever it names counts as another. The rights
      // come first in every kind of entry.
      if (static_cast<const ACCESS_ALLOWED_OBJECT_ACE*>(Ace)->Mask & WriteRights)
        return true;
      break;
    default:
      break;
    }
  }
  return false;
}

bool ownPrivate(HANDLE AHandle, const TAccounts& AAccounts) {
  const TSecurityInfo Info(AHandle);
  return Info.Ok() && AAccounts.Own(Info.Owner()) && !othersMayWrite(Info, AAccounts);
}

// What an open name turned out to be.
struct TEntry {
  explicit TEntry(HANDLE AHandle) : Type(::GetFileType(AHandle)) {
    if (Type == FILE_TYPE_DISK &&
        !::GetFileInformationByHandleEx(AHandle, FileAttributeTagInfo, &Info, sizeof Info))
      Error = ::GetLastError();
  }
  bool IsLink() const {
    return (Info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           IsReparseTagNameSurrogate(Info.ReparseTag);
  }
  bool IsFolder() const {
    return Type == FILE_TYPE_DISK && (Info.FileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  }
  // A file as it lies on disk: not a folder, and no reparse point, which
  // a handle opened on the point itself would write past.
  bool IsPlainFile() const {
    return Type == FILE_TYPE_DISK &&
           !(Info.FileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
  }

  DWORD Type;
  DWORD Error = ERROR_SUCCESS;
  FILE_ATTRIBUTE_TAG_INFO Info{};
};

// "NUL", "com1.log" and the like name devices wherever they stand in a
// path that is not of the "\\?\" form: a folder or file of such a name
// could be made, but not reached by the usual paths afterwards.
bool deviceName(const QString& AName) {
  const QString Base = AName.section(u'.', 0, 0).trimmed().toUpper();
  if (Base == u"CON" || Base == u"PRN" || Base == u"AUX" || Base == u"NUL")
    return true;
  return Base.size() == 4 && (Base.startsWith(u"COM") || Base.startsWith(u"LPT")) &&
         Base[3].isDigit();
}

// A name Windows takes as it is written. Besides the separators, ':' would
// name a stream of the file and the other characters Windows forbids in
// names would be read as patterns or devices; a trailing dot or space is
// dropped by the system's path rules, so the name would mean another.
bool plainName(const QString& AName) {
  if (AName.isEmpty() || AName == u"." || AName == u".." || AName.endsWith(u'.') ||
      AName.endsWith(u' ') || deviceName(AName))
    return false;
  return std::none_of(AName.begin(), AName.end(), [](QChar C) {
    return C.unicode() < 32 || QStringView(u"<>:\"/\\|?*").contains(C);
  });
}

// The path of an open file or folder as the system knows it now, in the
// "\\?\" form whose names the system takes literally.
QString finalPath(HANDLE AHandle) {
  std::vector<wchar_t> Buffer(MAX_PATH);
  for (;;) {
    const DWORD Length = ::GetFinalPathNameByHandleW(AHandle, Buffer.data(), DWORD(Buffer.size()),
                                                     FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (Length == 0)
      return {};
    if (Length < Buffer.size())
      return QString::fromWCharArray(Buffer.data(), int(Length));
    Buffer.resize(Length);
  }
}

QString join(const QString& AFolder, const QString& AName) {
  return AFolder.endsWith(u'\\') ? AFolder + AName : AFolder + u'\\' + AName;
}

// The length of the root of a "\\?\" path: "\\?\C:\", "\\?\UNC\server\share\"
// or "\\?\Volume{...}\".
qsizetype rootLength(const QString& APath) {
  qsizetype At = 4;
  const int Names = QStringView(APath).mid(4).startsWith(u"UNC\\", Qt::CaseInsensitive) ? 3 : 1;
  for (int I = 0; I < Names; ++I) {
    const qsizetype Slash = APath.indexOf(u'\\', At);
    if (Slash < 0)
      return APath.size();
    At = Slash + 1;
  }
  return At;
}

// The folder holding APath; a root is its own.
QString parentOf(const QString& APath) {
  const qsizetype Root = rootLength(APath);
  if (APath.size() <= Root)
    return APath;
  return APath.left(std::max(APath.lastIndexOf(u'\\'), Root));
}

// Whether the file whose path is AFile lies in the folder AFolder itself.
bool liesIn(const QString& AFile, const QString& AFolder) {
  const QString Prefix = AFolder.endsWith(u'\\') ? AFolder : AFolder + u'\\';
  return AFile.size() > Prefix.size() && AFile.startsWith(Prefix) &&
         AFile.indexOf(u'\\', Prefix.size()) < 0;
}

QString absoluteFor(const QString& APrefix) {
  std::vector<wchar_t> Buffer(MAX_PATH);
  for (;;) {
    const DWORD Length =
        ::GetFullPathNameW(wide(APrefix), DWORD(Buffer.size()), Buffer.data(), nullptr);
    if (Length == 0)
      return {};
    if (Length < Buffer.size())
      return QString::fromWCharArray(Buffer.data(), int(Length));
    Buffer.resize(Length);
  }
}

// Where a path starts: its root in the "\\?\" form and as the path names it,
// and the names after it. No root: the working folder.
struct TStart {
  QString System;
  QString Shown;
  QStringList Names;
  // Why the root of a path relative to a drive or to the working folder's
  // root could not be had.
  DWORD Error = ERROR_SUCCESS;
};

TStart startOf(QString APath) {
  APath.replace(u'/', u'\\');
  TStart Start;
  const auto rest = [&](qsizetype AFrom) { Start.Names = APath.mid(AFrom).split(u'\\'); };
  const auto unc = [&](qsizetype AFrom, const QString& AShownPrefix) {
    const QStringList Names = APath.mid(AFrom).split(u'\\');
    const QString Server = Names.value(0);
    const QString Share = Names.value(1);
    Start.System = QStringLiteral("\\\\?\\UNC\\%1\\%2\\").arg(Server, Share);
    Start.Shown = AShownPrefix + Server + u'\\' + Share;
    Start.Names = Names.mid(2);
  };
  if (APath.startsWith(u"\\\\?\\") || APath.startsWith(u"\\\\.\\")) {
    if (QStringView(APath).mid(4).startsWith(u"UNC\\", Qt::CaseInsensitive)) {
      unc(8, APath.left(8));
    } else {
      const qsizetype Slash = APath.indexOf(u'\\', 4);
      const qsizetype End = Slash < 0 ? APath.size() : Slash;
      Start.System = QStringLiteral("\\\\?\\") + APath.mid(4, End - 4) + u'\\';
      Start.Shown = APath.left(End + 1);
      rest(End + 1);
    }
  } else if (APath.startsWith(u"\\\\")) {
    unc(2, QStringLiteral("\\\\"));
  } else if (APath.size() >= 2 && APath[1] == u':' && APath[0].isLetter()) {
    if (APath.size() == 2 || APath[2] != u'\\') {
      // Relative to the drive's own working folder.
      const QString Folder = absoluteFor(APath.left(2));
      if (!Folder.isEmpty())
        return startOf(Folder + u'\\' + APath.mid(2));
      Start.Error = ::GetLastError();
      Start.Shown = APath.left(2);
      return Start;
    }
    Start.System = QStringLiteral("\\\\?\\") + APath.left(3);
    Start.Shown = APath.left(3);
    rest(3);
  } else if (APath.startsWith(u'\\')) {
    // The root of the working folder's drive or share.
    const QString Root = absoluteFor(QStringLiteral("\\"));
    if (!Root.isEmpty())
      return startOf(Root + APath.mid(1));
    Start.Error = ::GetLastError();
    Start.Shown = QStringLiteral("\\");
    return Start;
  } else {
    rest(0);
  }
  return Start;
}

// The walk itself: the folders passed, from the start to the one reached,
// each held open so that none of them can be renamed or removed meanwhile.
class TWalk {
public:
  TWalk(const QString& APath, bool ACreate, const TAccounts& AAccounts)
      : FAccounts(AAccounts), FCreate(ACreate), FStart(startOf(APath)),
        FMade(AAccounts, /*AFolder=*/true) {}

  // The folder's handle, or INVALID_HANDLE_VALUE with FError set.
  HANDLE Run() {
    start();
    for (const QString& Name : FStart.Names) {
      if (!FError.isEmpty())
        break;
      if (!Name.isEmpty() && Name != u".")
        step(Name);
    }
    if (!FError.isEmpty())
      return INVALID_HANDLE_VALUE;
    const TSecurityInfo Info(current());
    if (!Info.Ok())
      return fail(QStringLiteral("cannot read the owner of %1: %2")
                      .arg(shown(FShown), SystemErrorText(Info.Error())));
    if (!Info.Owner())
      return noOwner();
    if (!FAccounts.Own(Info.Owner()))
      return fail(QStringLiteral("%1 belongs to another user").arg(shown(FShown)));
    if (othersMayWrite(Info, FAccounts))
      return fail(QStringLiteral("others may write to %1").arg(shown(FShown)));
    return FChain.back().Handle.Release();
  }

  const QString& Error() const { return FError; }

private:
  struct TFolder {
    THandle Handle;
    QString Path;
  };

  static QString shown(const QString& APath) {
    return APath.isEmpty() ? QStringLiteral(".") : APath;
  }
  static QString child(const QString& AFolder, const QString& AName) {
    if (AFolder.isEmpty())
      return AName;
    return AFolder.endsWith(u'\\') ? AFolder + AName : AFolder + u'\\' + AName;
  }

  HANDLE current() const { return FChain.back().Handle.Get(); }

  HANDLE fail(const QString& AWhy) {
    FError = AWhy;
    return INVALID_HANDLE_VALUE;
  }
  // File systems without security (FAT) let everybody do everything.
  HANDLE noOwner() {
    return fail(QStringLiteral("%1 has no owner: anybody may change it").arg(shown(FShown)));
  }
  HANDLE cannotOpen(const QString& AShown, DWORD AError) {
    return fail(QStringLiteral("cannot open %1: %2").arg(shown(AShown), SystemErrorText(AError)));
  }

  // The entry itself, link or not. Nobody may remove or rename it while
  // held; reading its owner and access list is all it is opened for.
  static HANDLE openEntry(const QString& APath) {
    return ::CreateFileW(wide(APath), READ_CONTROL | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  }

  // AHandle, the folder at APath shown as AShown, becomes the folder the
  // walk goes on from.
  void enter(THandle AHandle, const QString& APath, const QString& AShown) {
    const TEntry Entry(AHandle.Get());
    if (Entry.Error != ERROR_SUCCESS) {
      cannotOpen(AShown, Entry.Error);
    } else if (Entry.IsLink()) {
      fail(QStringLiteral("%1 is a link, not followed").arg(shown(AShown)));
    } else if (!Entry.IsFolder()) {
      fail(QStringLiteral("%1 is not a folder").arg(shown(AShown)));
    } else {
      FShown = AShown;
      FChain.push_back({std::move(AHandle), APath});
    }
  }

  void start() {
    if (FStart.Error != ERROR_SUCCESS) {
      cannotOpen(FStart.Shown, FStart.Error);
      return;
    }
    if (!FStart.System.isEmpty()) {
      THandle Root(openEntry(FStart.System));
      if (!Root.Valid())
        cannotOpen(FStart.Shown, ::GetLastError());
      else
        enter(std::move(Root), FStart.System, FStart.Shown);
      return;
    }
    // A relative name is looked up from the process's own handle on its
    // working folder, whatever path leads there now.
    THandle Working(openEntry(QStringLiteral(".")));
    const QString Path = Working.Valid() ? finalPath(Working.Get()) : QString();
    if (Path.isEmpty())
      cannotOpen(QString(), ::GetLastError());
    else
      enter(std::move(Working), Path, QString());
  }

  // Never a link: with none followed, the folder above is the one the path
  // passed through, or the one above the start.
  void stepUp() {
    const QString Shown = child(FShown, QStringLiteral(".."));
    if (FChain.size() > 1) {
      FChain.pop_back();
      FShown = Shown;
      return;
    }
    const QString Path = parentOf(FChain.back().Path);
    THandle Parent(openEntry(Path));
    if (!Parent.Valid()) {
      cannotOpen(Shown, ::GetLastError());
      return;
    }
    FChain.clear();
    enter(std::move(Parent), Path, Shown);
  }

  HANDLE openName(const QString& APath, const QString& AShown) {
    HANDLE Handle = openEntry(APath);
    const DWORD Error = ::GetLastError();
    if (Handle != INVALID_HANDLE_VALUE)
      return Handle;
    if (Error != ERROR_FILE_NOT_FOUND && Error != ERROR_PATH_NOT_FOUND)
      return cannotOpen(AShown, Error);
    if (!FCreate)
      return fail(QStringLiteral("%1 does not exist").arg(shown(AShown)));
    // Made private at once: with the folder's access list passed on
    // instead, it would be refused for a log.
    if (!FMade.Attributes())
      return fail(QStringLiteral("cannot create %1: no private access list").arg(shown(AShown)));
    if (!::CreateDirectoryW(wide(APath), FMade.Attributes()) &&
        ::GetLastError() != ERROR_ALREADY_EXISTS)
      return fail(QStringLiteral("cannot create %1: %2")
                      .arg(shown(AShown), SystemErrorText(::GetLastError())));
    Handle = openEntry(APath);
    return Handle != INVALID_HANDLE_VALUE ? Handle : cannotOpen(AShown, ::GetLastError());
  }

  void step(const QString& AName) {
    if (AName == u"..") {
      stepUp();
      return;
    }
    {
      const TSecurityInfo Info(current());
      if (!Info.Ok()) {
        fail(QStringLiteral("cannot read the owner of %1: %2")
                 .arg(shown(FShown), SystemErrorText(Info.Error())));
        return;
      }
      if (!Info.Owner()) {
        noOwner();
        return;
      }
      if (!FAccounts.Trusted(Info.Owner())) {
        fail(QStringLiteral("%1 belongs to another user").arg(shown(FShown)));
        return;
      }
    }
    const QString Shown = child(FShown, AName);
    if (!plainName(AName)) {
      fail(QStringLiteral("%1 is not a valid name").arg(Shown));
      return;
    }
    const QString Path = join(FChain.back().Path, AName);
    THandle Next(openName(Path, Shown));
    if (Next.Valid())
      enter(std::move(Next), Path, Shown);
  }

  const TAccounts& FAccounts;
  bool FCreate;
  TStart FStart;
  TPrivateSecurity FMade;
  std::vector<TFolder> FChain;
  QString FShown;
  QString FError;
};

} // namespace

// ---- TAppendFile ------------------------------------------------------------

TAppendFile::~TAppendFile() {
  Close();
}

TAppendFile::TAppendFile(TAppendFile&& AOther) noexcept
    : FHandle(std::exchange(AOther.FHandle, -1)), FSize(AOther.FSize) {}

TAppendFile& TAppendFile::operator=(TAppendFile&& AOther) noexcept {
  std::swap(FHandle, AOther.FHandle);
  std::swap(FSize, AOther.FSize);
  return *this;
}

bool TAppendFile::Write(const QByteArray& AData) {
  const char* Data = AData.constData();
  qint64 Left = AData.size();
  while (Left > 0 && IsOpen()) {
    // At the end of the file as it is by then, whoever else appends to it.
    OVERLAPPED AtEnd{};
    AtEnd.Offset = 0xFFFFFFFF;
    AtEnd.OffsetHigh = 0xFFFFFFFF;
    DWORD Written = 0;
    if (!::WriteFile(handleOf(FHandle), Data, DWORD(std::min<qint64>(Left, 1 << 30)), &Written,
                     &AtEnd) ||
        Written == 0)
      return false;
    Data += Written;
    Left -= Written;
  }
  return Left == 0;
}

void TAppendFile::Close() noexcept {
  if (IsOpen())
    ::CloseHandle(handleOf(std::exchange(FHandle, -1)));
}

// ---- TSafeFolder ------------------------------------------------------------

TSafeFolder::~TSafeFolder() {
  if (IsOpen())
    ::CloseHandle(handleOf(FHandle));
}

TSafeFolder::TSafeFolder(TSafeFolder&& AOther) noexcept
    : FHandle(std::exchange(AOther.FHandle, -1)), FError(std::move(AOther.FError)) {}

TSafeFolder& TSafeFolder::operator=(TSafeFolder&& AOther) noexcept {
  std::swap(FHandle, AOther.FHandle);
  std::swap(FError, AOther.FError);
  return *this;
}

TSafeFolder TSafeFolder::Open(const QString& APath, bool ACreate) {
  TSafeFolder Result;
  if (APath.contains(QChar(0))) {
    Result.FError = QStringLiteral("the path holds a NUL character");
    return Result;
  }
  const TAccounts Accounts;
  if (!Accounts.Valid()) {
    Result.FError = QStringLiteral("cannot tell which user this program runs as");
    return Result;
  }
  TWalk Walk(APath, ACreate, Accounts);
  Result.FHandle = reinterpret_cast<std::intptr_t>(Walk.Run());
  Result.FError = Walk.Error();
  return Result;
}

TAppendFile TSafeFolder::OpenAppend(const QString& AName, bool ATruncate) const {
  TAppendFile File;
  const TAccounts Accounts;
  if (!IsOpen() || !plainName(AName) || !ownPrivate(handleOf(FHandle), Accounts))
    return File;
  const QString Folder = finalPath(handleOf(FHandle));
  TPrivateSecurity Private(Accounts, /*AFolder=*/false);
  if (Folder.isEmpty() || !Private.Attributes())
    return File;
  // Appending only: every write lands at the end, whoever else appends.
  // Others may rename or remove the file meanwhile, as rotating it does.
  THandle Handle(::CreateFileW(wide(join(Folder, AName)),
                               FILE_APPEND_DATA | (ATruncate ? FILE_WRITE_DATA : 0) | READ_CONTROL |
                                   WRITE_DAC | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               Private.Attributes(), OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!Handle.Valid() || !TEntry(Handle.Get()).IsPlainFile())
    return File;
  {
    const TSecurityInfo Info(Handle.Get());
    if (!Info.Ok() || !Accounts.Own(Info.Owner()))
      return File;
  }
  // The path led through the folder's ancestors once more; what it opened
  // must still lie in the folder that was checked.
  if (!liesIn(finalPath(Handle.Get()), Folder))
    return File;
  // Log records can tell a lot about the machine: only the owner reads them.
  ::SetSecurityInfo(Handle.Get(), SE_FILE_OBJECT,
                    DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                    nullptr, Private.Dacl(), nullptr);
  // Emptied only once it is known to be our own file.
  FILE_END_OF_FILE_INFO End{};
  if (ATruncate && !::SetFileInformationByHandle(Handle.Get(), FileEndOfFileInfo, &End, sizeof End))
    return File;
  LARGE_INTEGER Size{};
  if (!::GetFileSizeEx(Handle.Get(), &Size))
    return File;
  File.FHandle = reinterpret_cast<std::intptr_t>(Handle.Release());
  File.FSize = Size.QuadPart;
  return File;
}

bool TSafeFolder::Rename(const QString& AFrom, const QString& ATo) const {
  if (!IsOpen() || !plainName(AFrom) || !plainName(ATo))
    return false;
  const QString Folder = finalPath(handleOf(FHandle));
  // Moving a link moves the link itself.
  return !Folder.isEmpty() && ::MoveFileExW(wide(join(Folder, AFrom)), wide(join(Folder, ATo)),
                                            MOVEFILE_REPLACE_EXISTING);
}

bool TSafeFolder::Remove(const QString& AName) const {
  if (!IsOpen() || !plainName(AName))
    return false;
  const QString Folder = finalPath(handleOf(FHandle));
  if (Folder.isEmpty())
    return false;
  const QString Path = join(Folder, AName);
  if (::DeleteFileW(wide(Path)))
    return true;
  // A link to a folder goes as a folder does, which removes the link and
  // leaves what it points to; a real folder stays, as on other systems.
  const DWORD Attributes = ::GetFileAttributesW(wide(Path));
  return Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         (Attributes & FILE_ATTRIBUTE_REPARSE_POINT) && ::RemoveDirectoryW(wide(Path));
}
