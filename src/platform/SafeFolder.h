#pragma once
// Folders the program writes its own files into (logs), reached so that no
// link or folder another user controls can send the writes elsewhere, and
// the files appended to inside them.
//
// A path is walked one name at a time from the root, or from the working
// folder when it is relative: empty names and "." are skipped, ".." goes to
// the parent of the folder reached so far, and no name is ever looked up
// through a link the system follows on its own. A symbolic link is followed
// only when nobody else could have placed it or could replace it: the link
// belongs to root or to the effective user, and so does the folder holding
// it, which nobody else (group or others, sticky bit or not) may write to.
// Every folder passed through belongs to root or to the effective user
// (going on from another user's folder would let that user choose where we
// land). The folder reached belongs to the effective user and nobody else
// may write to it.

#include <QByteArray>
#include <QString>

#include <cstdint>

// A file opened for appending; closed when destroyed.
class TAppendFile {
public:
  TAppendFile() = default;
  ~TAppendFile();
  TAppendFile(TAppendFile&& AOther) noexcept;
  TAppendFile& operator=(TAppendFile&& AOther) noexcept;
  TAppendFile(const TAppendFile&) = delete;
  TAppendFile& operator=(const TAppendFile&) = delete;

  bool IsOpen() const noexcept { return FHandle != -1; }
  // Its size when it was opened.
  qint64 Size() const noexcept { return FSize; }
  // All of AData, or false.
  bool Write(const QByteArray& AData);
  void Close() noexcept;

private:
  friend class TSafeFolder;
  std::intptr_t FHandle = -1;
  qint64 FSize = 0;
};

// An open folder checked by the rules above; it stays the same folder
// whatever is renamed or replaced along its path afterwards.
class TSafeFolder {
public:
  TSafeFolder() = default;
  ~TSafeFolder();
  TSafeFolder(TSafeFolder&& AOther) noexcept;
  TSafeFolder& operator=(TSafeFolder&& AOther) noexcept;
  TSafeFolder(const TSafeFolder&) = delete;
  TSafeFolder& operator=(const TSafeFolder&) = delete;

  // Opens APath (empty: the working folder). With ACreate a missing folder is
  // made, private to the effective user. When the rules refuse the path or a
  // name cannot be had, the result is not open and Error() says why, naming
  // the place on the path where it went wrong.
  static TSafeFolder Open(const QString& APath, bool ACreate);

  bool IsOpen() const noexcept { return FHandle != -1; }
  const QString& Error() const noexcept { return FError; }

  // Opens the file AName (a name, not a path) in this folder for appending,
  // made private to the effective user when missing and emptied with
  // ATruncate. Not open when the folder is no longer ours alone, or when
  // AName is a link or anything but a regular file of the effective user;
  // a named pipe fails at once instead of waiting for a reader.
  TAppendFile OpenAppend(const QString& AName, bool ATruncate) const;
  // Inside this folder; a link at either name is moved or removed itself.
  bool Rename(const QString& AFrom, const QString& ATo) const;
  bool Remove(const QString& AName) const;

private:
  std::intptr_t FHandle = -1;
  QString FError;
};
