#include "platform/Files.h"

#include "platform/windows/WindowsHelpers.h"

#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <utility>

// No file system on Windows holds a FIFO, but a name can still lead to what
// is not a file on disk: a named pipe ("\\.\pipe\..."), a device ("NUL",
// "COM1", "\\.\PhysicalDrive0"), a folder. Such a name is opened without
// reading from it and refused by the kind of object it opened; opening a
// named pipe as a client never waits.

namespace {

constexpr qint64 FirstChunk = 4096;
// ReadFile takes its size as a DWORD.
constexpr qint64 MostPerRead = qint64(1) << 30;

TFileContent failure(TFileContent::TStatus AStatus, QString AReason) {
  TFileContent Result;
  Result.Status = AStatus;
  Result.Reason = std::move(AReason);
  return Result;
}

TFileContent systemFailure(DWORD AError) {
  const bool Missing = AError == ERROR_FILE_NOT_FOUND || AError == ERROR_PATH_NOT_FOUND;
  return failure(Missing ? TFileContent::fcMissing : TFileContent::fcFailed,
                 SystemErrorText(AError));
}

QString tooLarge(qint64 ACap) {
  return QStringLiteral("larger than %1 bytes").arg(ACap);
}

class THandle {
public:
  explicit THandle(HANDLE AHandle) : FHandle(AHandle) {}
  ~THandle() {
    if (Valid())
      ::CloseHandle(FHandle);
  }
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;

  bool Valid() const { return FHandle != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return FHandle; }
  HANDLE Release() { return std::exchange(FHandle, INVALID_HANDLE_VALUE); }

private:
  HANDLE FHandle;
};

// Why the open AHandle is not a file to read or lock, or empty when it is.
// A folder opens only through FILE_FLAG_BACKUP_SEMANTICS, which every open
// here asks for so that a folder is told by its handle, not by a second
// look at the name.
QString notAFile(HANDLE AHandle, bool ARefuseReparsePoints, DWORD& AError) {
  AError = ERROR_SUCCESS;
  if (::GetFileType(AHandle) != FILE_TYPE_DISK)
    return QStringLiteral("not a regular file");
  FILE_ATTRIBUTE_TAG_INFO Info{};
  if (!::GetFileInformationByHandleEx(AHandle, FileAttributeTagInfo, &Info, sizeof Info)) {
    AError = ::GetLastError();
    return SystemErrorText(AError);
  }
  // Opened on the reparse point itself: a link, or a placeholder whose
  // content a file system filter would have to supply.
  if (ARefuseReparsePoints && (Info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return IsReparseTagNameSurrogate(Info.ReparseTag)
               ? QStringLiteral("a link, not followed")
               : QStringLiteral("a reparse point, not followed");
  if (Info.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)
    return QStringLiteral("not a regular file");
  return {};
}

} // namespace

TFileContent ReadBoundedFile(const QByteArray& ANativePath, qint64 ACap, int AFlags) {
  return ReadBoundedFile(QFile::decodeName(ANativePath), ACap, AFlags);
}

TFileContent ReadBoundedFile(const QString& APath, qint64 ACap, int AFlags) {
  if (APath.isEmpty())
    return systemFailure(ERROR_FILE_NOT_FOUND);
  // The name would end there and another file be read.
  if (APath.contains(QChar(0)))
    return systemFailure(ERROR_INVALID_NAME);
  const bool NoFollow = (AFlags & frNoFollow) != 0;
  // Shared for everything: a reader must not stop the program's other
  // starts or anyone else from writing, renaming or removing the file.
  const THandle File(::CreateFileW(wide(APath), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_SEQUENTIAL_SCAN |
                                       (NoFollow ? FILE_FLAG_OPEN_REPARSE_POINT : 0),
                                   nullptr));
  if (!File.Valid())
    return systemFailure(::GetLastError());
  DWORD Error = ERROR_SUCCESS;
  if (const QString Why = notAFile(File.Get(), NoFollow, Error); !Why.isEmpty())
    return Error != ERROR_SUCCESS ? systemFailure(Error) : failure(TFileContent::fcNotRegular, Why);
  LARGE_INTEGER FileSize{};
  if (!::GetFileSizeEx(File.Get(), &FileSize))
    return systemFailure(::GetLastError());
  const qint64 Size = FileSize.QuadPart;
  const bool Truncate = (AFlags & frTruncate) != 0;
  ACap = std::max<qint64>(ACap, 0);
  if (!Truncate && Size > ACap)
    return failure(TFileContent::fcTooLarge, tooLarge(ACap));
  // One byte beyond the cap tells a file that grew past it from one that
  // ends there.
  const qint64 Limit = Truncate ? ACap : ACap + 1;
  TFileContent Result;
  Result.Data.resize(std::min(Limit, Size + 1));
  qint64 Got = 0;
  while (Got < Limit) {
    if (Got == Result.Data.size())
      Result.Data.resize(std::min(Limit, std::max(Got * 2, FirstChunk)));
    const DWORD Wanted = DWORD(std::min(Result.Data.size() - Got, MostPerRead));
    DWORD Read = 0;
    if (!::ReadFile(File.Get(), Result.Data.data() + Got, Wanted, &Read, nullptr))
      return systemFailure(::GetLastError());
    if (Read == 0)
      break;
    Got += Read;
  }
  if (Got > ACap && !Truncate)
    return failure(TFileContent::fcTooLarge, tooLarge(ACap));
  Result.Data.truncate(Got);
  Result.Status = TFileContent::fcRead;
  return Result;
}

TFileLock::TFileLock(const QString& APath, int ATimeoutMs) {
  if (APath.isEmpty() || APath.contains(QChar(0))) {
    FReason = SystemErrorText(APath.isEmpty() ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_NAME);
    return;
  }
  const TAccounts Accounts;
  TPrivateSecurity Private(Accounts, /*AFolder=*/false);
  if (!Private.Attributes()) {
    FReason = QStringLiteral("cannot tell which user this program runs as");
    return;
  }
  // Not shared for removing or renaming: while a start holds the file, no
  // other can lock a new file of the same name.
  THandle File(::CreateFileW(
      wide(APath), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
      Private.Attributes(), OPEN_ALWAYS,
      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!File.Valid()) {
    const DWORD Error = ::GetLastError();
    // A folder may refuse being opened for writing before it could be told
    // by its handle.
    const DWORD Attributes = ::GetFileAttributesW(wide(APath));
    FReason = Error == ERROR_ACCESS_DENIED && Attributes != INVALID_FILE_ATTRIBUTES &&
                      (Attributes & FILE_ATTRIBUTE_DIRECTORY)
                  ? QStringLiteral("not a regular file")
                  : SystemErrorText(Error);
    return;
  }
  DWORD Error = ERROR_SUCCESS;
  if (const QString Why = notAFile(File.Get(), true, Error); !Why.isEmpty()) {
    FReason = Why;
    return;
  }
  QElapsedTimer Waited;
  Waited.start();
  // Short waits first: a holder usually lets go within milliseconds.
  for (DWORD Pause = 1;; Pause = std::min<DWORD>(Pause * 2, 50)) {
    OVERLAPPED Whole{};
    if (::LockFileEx(File.Get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                     MAXDWORD, &Whole)) {
      FHandle = reinterpret_cast<std::intptr_t>(File.Release());
      return;
    }
    Error = ::GetLastError();
    if (Error != ERROR_LOCK_VIOLATION || Waited.elapsed() >= ATimeoutMs)
      break;
    const qint64 Left = ATimeoutMs - Waited.elapsed();
    ::Sleep(DWORD(std::clamp<qint64>(Left, 1, Pause)));
  }
  FReason = Error == ERROR_LOCK_VIOLATION
                ? QStringLiteral("held by another process for more than %1 ms").arg(ATimeoutMs)
                : SystemErrorText(Error);
}

TFileLock::~TFileLock() {
  if (FHandle < 0)
    return;
  const HANDLE File = reinterpret_cast<HANDLE>(FHandle);
  // Let go at once: a lock left to the closing of the handle goes when the
  // system gets round to it.
  OVERLAPPED Whole{};
  ::UnlockFileEx(File, 0, MAXDWORD, MAXDWORD, &Whole);
  ::CloseHandle(File);
}
