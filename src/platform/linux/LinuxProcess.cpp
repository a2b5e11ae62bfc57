#include "platform/Process.h"

#include "platform/Files.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {
// The status file is a page or two; the cap only guards against a system
// that serves something else at its name.
constexpr qint64 StatusCap = 64 * 1024;
} // namespace

QString RunSiblingProgram(const QString& AName, char** AArguments) {
  // The executable itself, not argv[0]: a symbolic link or a relative
  // start must still find the companion that was installed with it.
  char Self[4096];
  const ssize_t Length = ::readlink("/proc/self/exe", Self, sizeof Self - 1);
  if (Length <= 0)
    return QStringLiteral("cannot find this program's own file: %1")
        .arg(QString::fromLocal8Bit(std::strerror(errno)));
  const QString Path =
      QFileInfo(QFile::decodeName(QByteArray(Self, int(Length)))).absolutePath() + u'/' + AName;
  ::execv(QFile::encodeName(Path).constData(), AArguments);
  return QStringLiteral("%1: %2").arg(Path, QString::fromLocal8Bit(std::strerror(errno)));
}

int ProtectStandardStreams() {
  int Closed = 0;
  for (int Fd = 0; Fd <= 2; ++Fd) {
    if (::fcntl(Fd, F_GETFD) >= 0 || errno != EBADF)
      continue;
    Closed |= 1 << Fd;
    // The lowest free number is Fd itself: the ones below are open by now.
    const int Null = ::open("/dev/null", (Fd == 0 ? O_RDONLY : O_WRONLY) | O_NOCTTY);
    if (Null >= 0 && Null != Fd) {
      ::dup2(Null, Fd);
      ::close(Null);
    }
  }
  return Closed;
}

int AttachParentConsole(int) {
  return 0;
}

bool WindowSystemAvailable() {
  const QString Platform = qEnvironmentVariable("QT_QPA_PLATFORM");
  if (Platform.startsWith(QLatin1String("xcb")))
    return qEnvironmentVariableIsSet("DISPLAY");
  if (Platform.startsWith(QLatin1String("wayland")))
    return qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
  if (!Platform.isEmpty())
    return true;
  return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

QString ExecutableFileName() {
  const QFileInfo Self(QStringLiteral("/proc/self/exe"));
  const QString Target = Self.symLinkTarget();
  if (!Target.isEmpty())
    return QFileInfo(Target).fileName();
  return QString::fromLocal8Bit(program_invocation_short_name);
}

QString ProcessMemoryFigures() {
  QString Text;
  const TFileContent Status =
      ReadBoundedFile(QStringLiteral("/proc/self/status"), StatusCap, frTruncate);
  if (Status.Ok())
    for (const QByteArray& Line : Status.Data.split('\n'))
      if (Line.startsWith("Vm"))
        Text += QString::fromLatin1(Line) + u'\n';
  return Text;
}
