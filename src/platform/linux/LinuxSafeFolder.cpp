#include "platform/SafeFolder.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What the kernel allows on one path.
constexpr int MaxLinks = 40;

bool trustedOwner(const struct stat& AStatus) {
  return AStatus.st_uid == 0 || AStatus.st_uid == ::geteuid();
}

bool othersMayWrite(const struct stat& AStatus) {
  return (AStatus.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

bool ownPrivateFolder(const struct stat& AStatus) {
  return S_ISDIR(AStatus.st_mode) && AStatus.st_uid == ::geteuid() && !othersMayWrite(AStatus);
}

// A name inside a folder, never a path that could lead out of it.
bool plainName(const QByteArray& AName) {
  return !AName.isEmpty() && AName != "." && AName != ".." && !AName.contains('/') &&
         !AName.contains('\0');
}

QString systemError(int AError) {
  return QString::fromLocal8Bit(std::strerror(AError));
}

class THandle {
public:
  explicit THandle(int AFd = -1) : FFd(AFd) {}
  ~THandle() {
    if (FFd >= 0)
      ::close(FFd);
  }
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;
  THandle& operator=(THandle&& AOther) noexcept {
    std::swap(FFd, AOther.FFd);
    return *this;
  }
  int Get() const { return FFd; }
  int Release() { return std::exchange(FFd, -1); }

private:
  int FFd;
};

// The walk itself: one folder handle at a time, the names still to go on a
// stack (the next one last) so a link's target can be pushed in front.
class TWalk {
public:
  TWalk(const QByteArray& APath, bool ACreate) : FCreate(ACreate) {
    pushNames(APath);
    startAt(APath.startsWith('/') ? "/" : "");
  }

  // The folder's handle, or -1 with FError set.
  int Run() {
    while (FCurrent.Get() >= 0 && !FNames.empty()) {
      const QByteArray Name = FNames.back();
      FNames.pop_back();
      if (Name.isEmpty() || Name == ".")
        continue;
      step(Name);
    }
    if (FCurrent.Get() < 0)
      return -1;
    if (FStatus.st_uid != ::geteuid())
      return fail(QStringLiteral("%1 belongs to another user").arg(shown(FShown)));
    if (othersMayWrite(FStatus))
      return fail(QStringLiteral("others may write to %1").arg(shown(FShown)));
    return FCurrent.Release();
  }

  QString Error() const { return FError; }

private:
  static QString shown(const QByteArray& APath) {
    return QFile::decodeName(APath.isEmpty() ? QByteArray(".") : APath);
  }
  static QByteArray child(const QByteArray& AFolder, const QByteArray& AName) {
    if (AFolder.isEmpty())
      return AName;
    return AFolder.endsWith('/') ? AFolder + AName : AFolder + '/' + AName;
  }

  int fail(const QString& AWhy) {
    FError = AWhy;
    FCurrent = THandle();
    return -1;
  }
  void cannotOpen(const QByteArray& APath) {
    fail(QStringLiteral("cannot open %1: %2").arg(shown(APath), systemError(errno)));
  }

  void pushNames(const QByteArray& APath) {
    const QList<QByteArray> Names = APath.split('/');
    for (auto I = Names.rbegin(); I != Names.rend(); ++I)
      FNames.push_back(*I);
  }

  // AFolder, opened as FShown, becomes the folder the walk goes on from.
  void enter(int AFolder) {
    FCurrent = THandle(AFolder);
    if (AFolder < 0 || ::fstat(AFolder, &FStatus) != 0)
      cannotOpen(FShown);
  }

  void startAt(const QByteArray& AShown) {
    FShown = AShown;
    enter(::open(AShown.isEmpty() ? "." : "/", O_PATH | O_DIRECTORY | O_CLOEXEC));
  }

  // Never a link: ".." is the folder's own parent entry.
  void stepUp() {
    FShown = child(FShown, "..");
    enter(::openat(FCurrent.Get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
  }

  int openName(const QByteArray& AName, const QByteArray& APath) {
    int Fd = ::openat(FCurrent.Get(), AName.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (Fd >= 0 || errno != ENOENT)
      return Fd;
    if (!FCreate) {
      fail(QStringLiteral("%1 does not exist").arg(shown(APath)));
      return -1;
    }
    if (::mkdirat(FCurrent.Get(), AName.constData(), 0700) != 0) {
      if (errno == EEXIST)
        return ::openat(FCurrent.Get(), AName.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
      fail(QStringLiteral("cannot create %1: %2").arg(shown(APath), systemError(errno)));
      return -1;
    }
    Fd = ::openat(FCurrent.Get(), AName.constData(),
                  O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat Made {};
    // The umask may have left the group or others in; what we make is ours
    // alone, or the log would be refused in it.
    if (Fd >= 0 && ::fstat(Fd, &Made) == 0 && Made.st_uid == ::geteuid())
      ::fchmod(Fd, 0700);
    return Fd;
  }

  void step(const QByteArray& AName) {
    if (AName == "..") {
      stepUp();
      return;
    }
    if (!trustedOwner(FStatus)) {
      fail(QStringLiteral("%1 belongs to another user").arg(shown(FShown)));
      return;
    }
    const QByteArray Path = child(FShown, AName);
    THandle Next(openName(AName, Path));
    struct stat Status {};
    if (Next.Get() < 0 || ::fstat(Next.Get(), &Status) != 0) {
      if (FError.isEmpty())
        cannotOpen(Path);
      return;
    }
    if (S_ISLNK(Status.st_mode)) {
      follow(Next, Status, Path);
      return;
    }
    if (!S_ISDIR(Status.st_mode)) {
      fail(QStringLiteral("%1 is not a folder").arg(shown(Path)));
      return;
    }
    FShown = Path;
    FCurrent = std::move(Next);
    FStatus = Status;
  }

  // The link is read through its own handle, so the target judged is the
  // one of the link whose owner was checked.
  void follow(const THandle& ALink, const struct stat& AStatus, const QByteArray& APath) {
    if (++FLinks > MaxLinks) {
      fail(QStringLiteral("more than %1 links on the way").arg(MaxLinks));
      return;
    }
    if (!trustedOwner(AStatus)) {
      fail(QStringLiteral("%1 is a link that belongs to another user").arg(shown(APath)));
      return;
    }
    if (othersMayWrite(FStatus)) {
      fail(QStringLiteral("%1 is a link in a folder others may write to").arg(shown(APath)));
      return;
    }
    char Target[4096];
    const ssize_t Length = ::readlinkat(ALink.Get(), "", Target, sizeof Target);
    if (Length <= 0 || size_t(Length) >= sizeof Target) {
      fail(QStringLiteral("cannot read the link %1").arg(shown(APath)));
      return;
    }
    const QByteArray Where(Target, Length);
    pushNames(Where);
    if (Where.startsWith('/'))
      startAt("/");
  }

  bool FCreate;
  std::vector<QByteArray> FNames;
  THandle FCurrent;
  struct stat FStatus {};
  QByteArray FShown;
  int FLinks = 0;
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
  size_t Left = size_t(AData.size());
  while (Left > 0 && IsOpen()) {
    const ssize_t Written = ::write(int(FHandle), Data, Left);
    if (Written < 0 && errno == EINTR)
      continue;
    if (Written <= 0)
      return false;
    Data += Written;
    Left -= size_t(Written);
  }
  return Left == 0;
}

void TAppendFile::Close() noexcept {
  if (IsOpen())
    ::close(int(std::exchange(FHandle, -1)));
}

// ---- TSafeFolder ------------------------------------------------------------

TSafeFolder::~TSafeFolder() {
  if (IsOpen())
    ::close(int(FHandle));
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
  const QByteArray Path = QFile::encodeName(APath);
  if (Path.contains('\0')) {
    Result.FError = QStringLiteral("the path holds a NUL character");
    return Result;
  }
  TWalk Walk(Path, ACreate);
  Result.FHandle = Walk.Run();
  Result.FError = Walk.Error();
  return Result;
}

TAppendFile TSafeFolder::OpenAppend(const QString& AName, bool ATruncate) const {
  TAppendFile File;
  const QByteArray Name = QFile::encodeName(AName);
  struct stat Folder {};
  if (!IsOpen() || !plainName(Name) || ::fstat(int(FHandle), &Folder) != 0 ||
      !ownPrivateFolder(Folder))
    return File;
  // O_NONBLOCK: a named pipe planted at the name fails instead of waiting
  // for a reader.
  THandle Fd(::openat(int(FHandle), Name.constData(),
                      O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
  struct stat Status {};
  // Emptied only once it is known to be our own regular file.
  if (Fd.Get() < 0 || ::fstat(Fd.Get(), &Status) != 0 || !S_ISREG(Status.st_mode) ||
      Status.st_uid != ::geteuid() || (ATruncate && ::ftruncate(Fd.Get(), 0) != 0))
    return File;
  // Log records can tell a lot about the machine: only the owner reads them.
  ::fchmod(Fd.Get(), 0600);
  File.FHandle = Fd.Release();
  File.FSize = ATruncate ? 0 : Status.st_size;
  return File;
}

bool TSafeFolder::Rename(const QString& AFrom, const QString& ATo) const {
  const QByteArray From = QFile::encodeName(AFrom);
  const QByteArray To = QFile::encodeName(ATo);
  return IsOpen() && plainName(From) && plainName(To) &&
         ::renameat(int(FHandle), From.constData(), int(FHandle), To.constData()) == 0;
}

bool TSafeFolder::Remove(const QString& AName) const {
  const QByteArray Name = QFile::encodeName(AName);
  return IsOpen() && plainName(Name) && ::unlinkat(int(FHandle), Name.constData(), 0) == 0;
}
