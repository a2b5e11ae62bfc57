#include "platform/linux/LinuxSystemInfo.h"

#include "platform/Files.h"

#include <QDir>
#include <QFile>
#include <QSysInfo>

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

extern char** environ;

namespace {
// Product type "Professional": a workstation.
constexpr DWORD PRODUCT_PROFESSIONAL = 0x30;

bool isPrivateDirectory(const QByteArray& APath) {
  struct stat Status {};
  return ::lstat(APath.constData(), &Status) == 0 && S_ISDIR(Status.st_mode) &&
         Status.st_uid == ::geteuid() && (Status.st_mode & 077) == 0;
}

// A folder others may write to, like /tmp (or one a group shares): files
// and folders there can be planted before us.
bool isSharedFolder(const QString& APath) {
  struct stat Status {};
  return ::stat(QFile::encodeName(APath).constData(), &Status) == 0 &&
         (Status.st_mode & (S_IWOTH | S_IWGRP)) != 0;
}

// Created 0700 when missing; the path when it is (now) a folder only we
// can use, else empty.
QByteArray ownFolder(const QByteArray& APath) {
  if (::mkdir(APath.constData(), 0700) != 0 && errno != EEXIST)
    return {};
  return isPrivateDirectory(APath) ? APath : QByteArray();
}

// Another user made our folder's name first: one that an earlier start made
// in its place (APrefix plus six characters) serves again, so a taken name
// does not leave a new folder behind at every start; else a fresh one.
QByteArray folderBeside(const QByteArray& ABase, const QByteArray& APrefix) {
  if (DIR* Dir = ::opendir(ABase.isEmpty() ? "/" : ABase.constData())) {
    QByteArray Found;
    // A shared folder may hold very many entries; the search is bounded.
    for (int Seen = 0; Found.isEmpty() && Seen < 100000; ++Seen) {
      const dirent* Entry = ::readdir(Dir);
      if (!Entry)
        break;
      const QByteArray Name(Entry->d_name);
      if (Name.size() == APrefix.size() + 6 && Name.startsWith(APrefix) &&
          isPrivateDirectory(ABase + '/' + Name))
        Found = ABase + '/' + Name;
    }
    ::closedir(Dir);
    if (!Found.isEmpty())
      return Found;
  }
  QByteArray Template = ABase + '/' + APrefix + "XXXXXX";
  return ::mkdtemp(Template.data()) ? Template : QByteArray();
}
} // namespace

LinuxSystemInfo::LinuxSystemInfo(std::shared_ptr<TLinuxFacts> AFacts) : FFacts(std::move(AFacts)) {}

LinuxSystemInfo::LinuxSystemInfo(const QString& ARoot)
    : FFacts(std::make_shared<TLinuxFacts>(ARoot)) {}

TOSVersionInfo LinuxSystemInfo::Version() {
  std::lock_guard Guard(FLock);
  if (FVersion)
    return *FVersion;
  TOSVersionInfo Info;
  Info.PlatformId = VER_PLATFORM_WIN32_NT;
  Info.MajorVersion = 6;
  Info.MinorVersion = 2;
  Info.BuildNumber = 9200;
  Info.ExtendedValid = true;
  Info.ProductType = VER_NT_WORKSTATION;
  Info.ProductName = FFacts->System().PrettyName;
  if (Info.ProductName.isEmpty())
    Info.ProductName = QSysInfo::kernelType() + u' ' +
                       (FFacts->System().KernelRelease.isEmpty() ? QSysInfo::kernelVersion()
                                                                 : FFacts->System().KernelRelease);
  FVersion = Info;
  return Info;
}

bool LinuxSystemInfo::GetComputerName(QString& AName) {
  const QString& Short = FFacts->System().Host.Short;
  if (Short.isEmpty())
    return false;
  AName = Short;
  return true;
}

bool LinuxSystemInfo::GetUserName(QString& AName) {
  {
    std::lock_guard Guard(FLock);
    if (!FUserName)
      FUserName = FFacts->System().UserName;
    if (!FUserName->isEmpty()) {
      AName = *FUserName;
      return true;
    }
  }
  if (const auto User = rawVariable(QStringLiteral("USER"))) {
    AName = *User;
    return true;
  }
  return false;
}

std::optional<QString> LinuxSystemInfo::rawVariable(const QString& AName) const {
  for (const QString& Spelling : {AName, AName.toUpper()}) {
    const QByteArray Exact = qgetenv(Spelling.toLocal8Bit().constData());
    if (!Exact.isNull())
      return QString::fromLocal8Bit(Exact);
  }
  for (char** Entry = environ; Entry && *Entry; ++Entry) {
    const QString Text = QString::fromLocal8Bit(*Entry);
    const qsizetype Eq = Text.indexOf(u'=');
    if (Eq > 0 && Text.left(Eq).compare(AName, Qt::CaseInsensitive) == 0)
      return Text.mid(Eq + 1);
  }
  return std::nullopt;
}

std::optional<QString> LinuxSystemInfo::GetEnvironmentVariable(const QString& AName) {
  if (AName.compare(QLatin1String("temp"), Qt::CaseInsensitive) == 0) {
    // Asked for at each step of a scan: every step must find the same
    // folder, also where a fresh one had to be made.
    std::lock_guard Guard(FLock);
    if (!FTemporaryDirectory)
      FTemporaryDirectory = temporaryDirectory();
    return *FTemporaryDirectory;
  }
  if (auto Value = rawVariable(AName))
    return Value;
  QString Computer;
  if (AName.compare(QLatin1String("USERDOMAIN"), Qt::CaseInsensitive) == 0 &&
      GetComputerName(Computer))
    return Computer;
  if (AName.compare(QLatin1String("LOGONSERVER"), Qt::CaseInsensitive) == 0 &&
      GetComputerName(Computer))
    return QStringLiteral("\\\\") + Computer;
  return std::nullopt;
}

QString LinuxSystemInfo::temporaryDirectory() const {
  const std::optional<QString> Temp = rawVariable(QStringLiteral("temp"));
  const bool TempSet = Temp && !Temp->trimmed().isEmpty();
  if (TempSet && !isSharedFolder(*Temp))
    return *Temp;
  // The runtime folder is the user's own and a tmpfs: no one else can plant
  // anything there, and replacing files in it is cheap.
  const QString Runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (Runtime.startsWith(u'/') && isPrivateDirectory(QFile::encodeName(Runtime))) {
    const QString Own = QDir(Runtime).filePath(QStringLiteral("kelvane"));
    if (!ownFolder(QFile::encodeName(Own)).isEmpty())
      return Own;
  }
  QString Base = TempSet ? *Temp : QString();
  if (Base.isEmpty()) {
    const QString TmpDir = qEnvironmentVariable("TMPDIR");
    Base = TmpDir.startsWith(u'/') ? TmpDir : QStringLiteral("/tmp");
  }
  return PrivateTempDirectory(Base);
}

QString LinuxSystemInfo::PrivateTempDirectory(const QString& ABase) {
  QByteArray Base = QFile::encodeName(QDir::cleanPath(ABase));
  if (Base.endsWith('/'))
    Base.chop(1);
  const QByteArray Name = "kelvane-" + QByteArray::number(::geteuid());
  QByteArray Path = ownFolder(Base + '/' + Name);
  if (Path.isEmpty())
    Path = folderBeside(Base, Name + '.');
  return QFile::decodeName(Path);
}

void LinuxSystemInfo::GetSystemInfo(TSystemInfo& AInfo) {
  const QString Arch = QSysInfo::currentCpuArchitecture();
  if (Arch == QLatin1String("x86_64"))
    AInfo.ProcessorArchitecture = PROCESSOR_ARCHITECTURE_AMD64;
  else if (Arch == QLatin1String("arm64"))
    AInfo.ProcessorArchitecture = PROCESSOR_ARCHITECTURE_ARM64;
  else if (Arch.startsWith(QLatin1String("arm")))
    AInfo.ProcessorArchitecture = PROCESSOR_ARCHITECTURE_ARM;
  else if (Arch == QLatin1String("ia64"))
    AInfo.ProcessorArchitecture = PROCESSOR_ARCHITECTURE_IA64;
  else
    AInfo.ProcessorArchitecture = PROCESSOR_ARCHITECTURE_INTEL;
  AInfo.PageSize = static_cast<DWORD>(::sysconf(_SC_PAGESIZE));
  AInfo.NumberOfProcessors = static_cast<DWORD>(std::max(1L, ::sysconf(_SC_NPROCESSORS_ONLN)));
}

bool LinuxSystemInfo::GetNativeSystemInfo(TSystemInfo& AInfo) {
  GetSystemInfo(AInfo);
  return true;
}

std::optional<bool> LinuxSystemInfo::GetProductInfo(DWORD, DWORD, DWORD, DWORD,
                                                    DWORD& AProductType) {
  AProductType = PRODUCT_PROFESSIONAL;
  return true;
}

int LinuxSystemInfo::GetSystemMetrics(int AIndex) {
  if (AIndex == SM_REMOTESESSION)
    return qEnvironmentVariableIsSet("SSH_CONNECTION") || qEnvironmentVariableIsSet("SSH_TTY") ? 1
                                                                                               : 0;
  return 0;
}
