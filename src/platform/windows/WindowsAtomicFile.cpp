#include "platform/AtomicFile.h"

#include "platform/windows/WindowsErrorText.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <string>

namespace {

// Sixty-four random bits make a clash with a file already there all but
// impossible; a few more names cover one planted on purpose.
constexpr int NameAttempts = 8;
// WriteFile takes a DWORD count; a gigabyte a call stays well within it.
constexpr qsizetype WriteChunk = qsizetype(1) << 30;

std::wstring nativePath(const QString& APath) {
  return QDir::toNativeSeparators(APath).toStdWString();
}

// A fresh file beside AInfo, made by this call alone; INVALID_HANDLE_VALUE
// with AError set when none could be made.
HANDLE createTemporary(const QFileInfo& AInfo, std::wstring& APath, DWORD& AError) {
  for (int Attempt = 0; Attempt < NameAttempts; ++Attempt) {
    APath = nativePath(AInfo.absolutePath() + QStringLiteral("/.") + AInfo.fileName() + u'.' +
                       QString::number(QRandomGenerator::system()->generate64(), 16));
    // CREATE_NEW never opens a file or link that someone else put there.
    const HANDLE File = ::CreateFileW(APath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (File != INVALID_HANDLE_VALUE)
      return File;
    AError = ::GetLastError();
    if (AError != ERROR_FILE_EXISTS && AError != ERROR_ALREADY_EXISTS)
      break;
  }
  return INVALID_HANDLE_VALUE;
}

} // namespace

std::optional<QString> WriteFileAtomically(const QString& AFileName, const QByteArray& AData) {
  const QFileInfo Info(AFileName);
  std::wstring Temporary;
  DWORD Failure = ERROR_SUCCESS;
  const HANDLE File = createTemporary(Info, Temporary, Failure);
  if (File == INVALID_HANDLE_VALUE)
    return SystemErrorText(Failure);
  const char* P = AData.constData();
  qsizetype Left = AData.size();
  while (Left > 0) {
    DWORD Written = 0;
    if (!::WriteFile(File, P, DWORD(std::min(Left, WriteChunk)), &Written, nullptr)) {
      Failure = ::GetLastError();
      break;
    }
    // A disk file takes all or fails; nothing written at all would loop.
    if (Written == 0) {
      Failure = ERROR_HANDLE_DISK_FULL;
      break;
    }
    P += Written;
    Left -= qsizetype(Written);
  }
  if (!::CloseHandle(File) && Failure == ERROR_SUCCESS)
    Failure = ::GetLastError();
  if (Failure == ERROR_SUCCESS &&
      !::MoveFileExW(Temporary.c_str(), nativePath(Info.absoluteFilePath()).c_str(),
                     MOVEFILE_REPLACE_EXISTING))
    Failure = ::GetLastError();
  if (Failure != ERROR_SUCCESS) {
    ::DeleteFileW(Temporary.c_str());
    return SystemErrorText(Failure);
  }
  return std::nullopt;
}
