#pragma once
// Machines as trees of files: a compact text laid out as folders, files,
// links and pipes below a scratch folder, so tests can feed sysfs, procfs
// and /etc trees to the code that reads them without committing links.

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QTemporaryDir>

struct FTW;
struct stat;

// Lays out a tree text below ARoot: "[dir]" starts a section, "path = text"
// writes a file, "path -> target" makes a link, "path/" a directory, "path
// <fifo>" a named pipe; "#" starts a comment; "\n", "\\" and "\xNN" escape.
// "path <mode 1777>" sets the mode of what is laid out at path, "path <owner
// nobody>" gives it (a link itself, not its target) to NobodyId, which needs
// root. Paths may leave the root ("../outside/..."). Empty on success, else
// what failed.
QString LayOutTree(const QString& ARoot, const QByteArray& ATree);

// The user and group "nobody" of Debian.
inline constexpr unsigned NobodyId = 65534;

// False when ATree gives entries to another user and this is not root.
bool MayLayOutTree(const QByteArray& ATree);

// One of the machines under tests/fixtures/platform/systemview/<name>.tree.
QByteArray SystemViewTree(const QString& AName);

// A temporary folder removed byte by byte when done: QDir cannot remove
// names that are not UTF-8.
class TScratchDir {
public:
  TScratchDir();
  ~TScratchDir();
  TScratchDir(const TScratchDir&) = delete;
  TScratchDir& operator=(const TScratchDir&) = delete;
  bool IsValid() const { return FDir.isValid(); }
  QString Path() const { return FDir.path(); }
  QString FilePath(const QString& AName) const { return FDir.filePath(AName); }

private:
  static int removeEntry(const char* APath, const struct stat*, int, FTW*);
  QTemporaryDir FDir;
};

// AFolder is the working folder while the object lives.
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
