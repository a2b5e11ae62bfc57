#include "platform/Files.h"

#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// A sysfs or procfs attribute is at most one page; a first read that large
// usually takes it whole.
constexpr qint64 FirstChunk = 4096;

TFileContent failure(TFileContent::TStatus AStatus, QString AReason) {
  TFileContent Result;
  Result.Status = AStatus;
  Result.Reason = std::move(AReason);
  return Result;
}

TFileContent systemFailure(int AError) {
  return failure(AError == ENOENT ? TFileContent::fcMissing : TFileContent::fcFailed,
                 QString::fromLocal8Bit(std::strerror(AError)));
}

QString tooLarge(qint64 ACap) {
  return QStringLiteral("larger than %1 bytes").arg(ACap);
}
} // namespace

TFileContent ReadBoundedFile(const QString& APath, qint64 ACap, int AFlags) {
  return ReadBoundedFile(QFile::encodeName(APath), ACap, AFlags);
}

TFileContent ReadBoundedFile(const QByteArray& ANativePath, qint64 ACap, int AFlags) {
  if (ANativePath.isEmpty())
    return systemFailure(ENOENT);
  // Not blocking on open: opening a FIFO for reading waits for a writer.
  const int Fd = ::open(ANativePath.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC |
                                                     ((AFlags & frNoFollow) ? O_NOFOLLOW : 0));
  if (Fd < 0)
    return errno == ELOOP && (AFlags & frNoFollow)
               ? failure(TFileContent::fcNotRegular, QStringLiteral("a link, not followed"))
               : systemFailure(errno);
  struct stat Info {};
  if (::fstat(Fd, &Info) != 0) {
    const int Error = errno;
    ::close(Fd);
    return systemFailure(Error);
  }
  if (!S_ISREG(Info.st_mode)) {
    ::close(Fd);
    return failure(TFileContent::fcNotRegular, QStringLiteral("not a regular file"));
  }
  const bool Truncate = (AFlags & frTruncate) != 0;
  ACap = std::max<qint64>(ACap, 0);
  if (!Truncate && Info.st_size > ACap) {
    ::close(Fd);
    return failure(TFileContent::fcTooLarge, tooLarge(ACap));
  }
  // One byte beyond the cap tells a file that grew past it from one that
  // ends there.
  const qint64 Limit = Truncate ? ACap : ACap + 1;
  TFileContent Result;
  Result.Data.resize(std::min(Limit, Info.st_size > 0 ? Info.st_size + 1 : FirstChunk));
  qint64 Size = 0;
  while (Size < Limit) {
    if (Size == Result.Data.size())
      Result.Data.resize(std::min(Limit, Size * 2));
    const qint64 Wanted = Result.Data.size() - Size;
    const ssize_t Got = ::read(Fd, Result.Data.data() + Size, static_cast<size_t>(Wanted));
    if (Got < 0 && errno == EINTR)
      continue;
    if (Got < 0) {
      const int Error = errno;
      ::close(Fd);
      return systemFailure(Error);
    }
    Size += Got;
    // A regular file, and an attribute of at most one page, reads short
    // only at its end: no further call to learn it.
    if (Got == 0 || (Got < Wanted && Wanted <= FirstChunk) ||
        (Info.st_size > 0 && Got < Wanted && Size >= Info.st_size))
      break;
  }
  ::close(Fd);
  if (Size > ACap && !Truncate)
    return failure(TFileContent::fcTooLarge, tooLarge(ACap));
  Result.Data.truncate(Size);
  Result.Status = TFileContent::fcRead;
  return Result;
}

TFileLock::TFileLock(const QString& APath, int ATimeoutMs) {
  const QByteArray Path = QFile::encodeName(APath);
  const int Fd = ::open(Path.constData(),
                        O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
  if (Fd < 0) {
    FReason = errno == ELOOP    ? QStringLiteral("a link, not followed")
              : errno == EISDIR ? QStringLiteral("not a regular file")
                                : QString::fromLocal8Bit(std::strerror(errno));
    return;
  }
  struct stat Info {};
  if (::fstat(Fd, &Info) != 0 || !S_ISREG(Info.st_mode)) {
    ::close(Fd);
    FReason = QStringLiteral("not a regular file");
    return;
  }
  QElapsedTimer Waited;
  Waited.start();
  // Short waits first: a holder usually lets go within milliseconds.
  int Error = 0;
  for (int Pause = 1;; Pause = std::min(Pause * 2, 50)) {
    if (::flock(Fd, LOCK_EX | LOCK_NB) == 0) {
      FHandle = Fd;
      return;
    }
    Error = errno;
    if ((Error != EWOULDBLOCK && Error != EINTR) || Waited.elapsed() >= ATimeoutMs)
      break;
    const qint64 Left = ATimeoutMs - Waited.elapsed();
    ::usleep(static_cast<useconds_t>(std::clamp<qint64>(Left, 1, Pause) * 1000));
  }
  FReason = Error == EWOULDBLOCK || Error == EINTR
                ? QStringLiteral("held by another process for more than %1 ms").arg(ATimeoutMs)
                : QString::fromLocal8Bit(std::strerror(Error));
  ::close(Fd);
}

TFileLock::~TFileLock() {
  // Closing the file lets go of the lock.
  if (FHandle >= 0)
    ::close(static_cast<int>(FHandle));
}
