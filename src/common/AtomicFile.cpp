#include "common/AtomicFile.h"

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
  bool Ok = true;
  while (Left > 0) {
    const ssize_t Written = ::write(Fd, P, static_cast<size_t>(Left));
    if (Written < 0 && errno == EINTR)
      continue;
    if (Written <= 0) {
      Ok = false;
      break;
    }
    P += Written;
    Left -= Written;
  }
  const int Error = errno;
  Ok = Ok && ::fsync(Fd) == 0;
  Ok = ::close(Fd) == 0 && Ok;
  if (!Ok || ::rename(Temporary.constData(), Target.constData()) != 0) {
    const int Failure = Ok ? errno : Error;
    ::unlink(Temporary.constData());
    return QString::fromLocal8Bit(std::strerror(Failure));
  }
  return std::nullopt;
}
