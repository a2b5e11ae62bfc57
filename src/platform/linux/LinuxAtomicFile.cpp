#include "platform/AtomicFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

std::optional<QString> WriteFileAtomically(const QString& AFileName, const QByteArray& AData) {
  const QByteArray Target = QFile::encodeName(AFileName);
  QByteArray Temporary = QFile::encodeName(QFileInfo(AFileName).absolutePath()) + "/." +
                         QFile::encodeName(QFileInfo(AFileName).fileName()) + ".XXXXXX";
  const int Fd = ::mkostemp(Temporary.data(), O_CLOEXEC);
  if (Fd < 0)
    return QString::fromLocal8Bit(std::strerror(errno));
  const char* P = AData.constData();
  qsizetype Left = AData.size();
  int Failure = 0;
  while (Left > 0) {
    const ssize_t Written = ::write(Fd, P, static_cast<size_t>(Left));
    if (Written < 0 && errno == EINTR)
      continue;
    if (Written <= 0) {
      Failure = Written < 0 ? errno : ENOSPC;
      break;
    }
    P += Written;
    Left -= Written;
  }
  if (::close(Fd) != 0 && Failure == 0)
    Failure = errno;
  if (Failure == 0 && ::rename(Temporary.constData(), Target.constData()) != 0)
    Failure = errno;
  if (Failure != 0) {
    ::unlink(Temporary.constData());
    return QString::fromLocal8Bit(std::strerror(Failure));
  }
  return std::nullopt;
}
