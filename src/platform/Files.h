#pragma once
// Reading the files the program takes in: system files, the machine file,
// the working file, translator files, logos. Any of them may have been
// replaced by something that is not a file (a FIFO whose open or read never
// returns, a device, a folder) or may have grown without bound, and a start
// must neither hang on such a name nor read without limit.

#include <QByteArray>
#include <QString>

struct TFileContent {
  enum TStatus { fcRead, fcMissing, fcNotRegular, fcTooLarge, fcFailed };
  TStatus Status = fcFailed;
  QByteArray Data;
  // Why nothing was read ("no such file", "not a regular file", "larger
  // than 1024 bytes", the system's text); empty once read.
  QString Reason;

  bool Ok() const { return Status == fcRead; }
};

enum TFileReadFlag {
  frDefault = 0,
  // A link at the last step of the path is refused instead of followed.
  frNoFollow = 1,
  // More than the cap is not an error: the first ACap bytes are the content
  // (system attributes, whose size the system reports as a whole page).
  frTruncate = 2,
};

// The whole of a regular file of at most ACap bytes, read without ever
// blocking: a FIFO, device, socket or folder of that name is refused before
// anything is read from it, and a file larger than ACap is refused unless
// frTruncate is given.
TFileContent ReadBoundedFile(const QString& APath, qint64 ACap, int AFlags = frDefault);
// The same for a path in the system's own encoding.
TFileContent ReadBoundedFile(const QByteArray& ANativePath, qint64 ACap, int AFlags = frDefault);

// An advisory lock on the file APath (created, mode 0600, when missing),
// held until the object goes. Starts of the program that share a folder
// take turns through it; the file itself stays empty and stays behind, as
// removing it would let two starts lock two different files.
class TFileLock {
public:
  // Waits at most ATimeoutMs for a holder to let go. A link, FIFO or
  // folder planted at APath is refused, never waited on.
  TFileLock(const QString& APath, int ATimeoutMs);
  ~TFileLock();
  TFileLock(const TFileLock&) = delete;
  TFileLock& operator=(const TFileLock&) = delete;

  bool Locked() const { return FHandle >= 0; }
  // Why the lock was not taken; empty once it is held.
  const QString& Reason() const { return FReason; }

private:
  long long FHandle = -1;
  QString FReason;
};
