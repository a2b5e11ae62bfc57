#include "support/FixtureTree.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// "\n", "\\" and "\xNN" (a raw byte, so names need not be UTF-8).
QByteArray unescape(const QByteArray& AText) {
  QByteArray Result;
  for (qsizetype I = 0; I < AText.size(); ++I) {
    if (AText[I] != '\\' || I + 1 == AText.size()) {
      Result += AText[I];
    } else if (AText[I + 1] == 'n') {
      Result += '\n';
      ++I;
    } else if (AText[I + 1] == 'x' && I + 3 < AText.size()) {
      Result += char(AText.mid(I + 2, 2).toUInt(nullptr, 16));
      I += 3;
    } else {
      Result += AText[++I];
    }
  }
  return Result;
}

bool makePath(const QByteArray& APath) {
  for (qsizetype Slash = APath.indexOf('/', 1); Slash != -1 || !APath.isEmpty();
       Slash = APath.indexOf('/', Slash + 1)) {
    const QByteArray Part = Slash == -1 ? APath : APath.left(Slash);
    if (::mkdir(Part.constData(), 0755) != 0 && errno != EEXIST)
      return false;
    if (Slash == -1)
      break;
  }
  return true;
}

QByteArray parentOf(const QByteArray& APath) {
  return APath.left(APath.lastIndexOf('/'));
}

} // namespace

QString LayOutTree(const QString& ARoot, const QByteArray& ATree) {
  const QByteArray Root = QFile::encodeName(ARoot);
  QByteArray Section;
  for (const QByteArray& RawLine : ATree.split('\n')) {
    const QByteArray Line = RawLine.trimmed();
    if (Line.isEmpty() || Line.startsWith('#'))
      continue;
    if (Line.startsWith('[') && Line.endsWith(']')) {
      Section = unescape(Line.mid(1, Line.size() - 2));
      continue;
    }
    // "path <mode 1777>" and "path <owner nobody>" change what is already laid out.
    const qsizetype Attribute = Line.endsWith('>') ? Line.lastIndexOf(" <") : -1;
    if (Attribute > 0 && Line.indexOf(" -> ") < 0 && Line.indexOf(" =") < 0 &&
        !Line.endsWith(" <fifo>")) {
      const QByteArray Name = unescape(Line.left(Attribute));
      const QByteArray Path = Root + '/' + (Section.isEmpty() ? Name : Section + '/' + Name);
      const QList<QByteArray> Words = Line.mid(Attribute + 2).chopped(1).split(' ');
      bool Done = false;
      if (Words.size() == 2 && Words[0] == "mode")
        Done = ::chmod(Path.constData(), mode_t(Words[1].toUInt(nullptr, 8))) == 0;
      else if (Words.size() == 2 && Words[0] == "owner" && Words[1] == "nobody")
        Done = ::lchown(Path.constData(), NobodyId, NobodyId) == 0;
      if (!Done)
        return QStringLiteral("cannot apply %1").arg(QString::fromUtf8(Line));
      continue;
    }
    const qsizetype Link = Line.indexOf(" -> ");
    const qsizetype Assign = Line.indexOf(" =");
    const bool Fifo = Link < 0 && Assign < 0 && Line.endsWith(" <fifo>");
    const QByteArray Name = unescape(Link >= 0     ? Line.left(Link)
                                     : Assign >= 0 ? Line.left(Assign)
                                     : Fifo        ? Line.chopped(7)
                                                   : Line);
    const QByteArray Path = Root + '/' + (Section.isEmpty() ? Name : Section + '/' + Name);
    if (Link < 0 && Assign < 0 && Line.endsWith('/')) {
      if (!makePath(Path.chopped(1)))
        return QStringLiteral("cannot make %1").arg(QFile::decodeName(Path));
      continue;
    }
    if (!makePath(parentOf(Path)))
      return QStringLiteral("cannot make the folder of %1").arg(QFile::decodeName(Path));
    if (Fifo) {
      if (::mkfifo(Path.constData(), 0644) != 0)
        return QStringLiteral("cannot make the pipe %1").arg(QFile::decodeName(Path));
      continue;
    }
    if (Link >= 0) {
      if (::symlink(unescape(Line.mid(Link + 4)).constData(), Path.constData()) != 0)
        return QStringLiteral("cannot link %1").arg(QFile::decodeName(Path));
      continue;
    }
    if (Assign < 0)
      return QStringLiteral("not a tree line: %1").arg(QString::fromUtf8(Line));
    const QByteArray Content = unescape(Line.mid(Assign + 2).trimmed()) + '\n';
    const int Fd = ::open(Path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const bool Written =
        Fd >= 0 && ::write(Fd, Content.constData(), Content.size()) == ssize_t(Content.size());
    if (Fd >= 0)
      ::close(Fd);
    if (!Written)
      return QStringLiteral("cannot write %1").arg(QFile::decodeName(Path));
  }
  return {};
}

bool MayLayOutTree(const QByteArray& ATree) {
  return !ATree.contains("<owner ") || ::geteuid() == 0;
}

QByteArray SystemViewTree(const QString& AName) {
  // CTest says where the fixtures are; a test run by hand finds them in the
  // source tree it was built from.
  const QString Fixtures =
      qEnvironmentVariable("KELVANE_FIXTURES", QStringLiteral(KELVANE_FIXTURES_DIR));
  QFile File(Fixtures + QStringLiteral("/platform/systemview/%1.tree").arg(AName));
  return File.open(QIODevice::ReadOnly) ? File.readAll() : QByteArray();
}

TScratchDir::TScratchDir() {
  FDir.setAutoRemove(false);
}

TScratchDir::~TScratchDir() {
  if (FDir.isValid())
    ::nftw(QFile::encodeName(FDir.path()).constData(), &removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

int TScratchDir::removeEntry(const char* APath, const struct stat*, int, FTW*) {
  return ::remove(APath);
}
