#include "platform/Process.h"

#include "platform/windows/WindowsCommandLine.h"
#include "platform/windows/WindowsHelpers.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <vector>

#include <io.h>

namespace {

// An argument the splitting rules take as it is.
bool plainArgument(const QString& AArgument) {
  return !AArgument.isEmpty() && !AArgument.contains(u' ') && !AArgument.contains(u'\t') &&
         !AArgument.contains(u'\n') && !AArgument.contains(u'\v') && !AArgument.contains(u'"');
}

// Inside quotes, backslashes are literal unless a quote follows them:
// then each pair stands for one backslash and an odd one out escapes the
// quote. So backslashes are doubled before a quote and before the
// closing quote, and nowhere else.
QString quoted(const QString& AArgument) {
  if (plainArgument(AArgument))
    return AArgument;
  QString Result(u'"');
  qsizetype Backslashes = 0;
  for (const QChar C : AArgument) {
    if (C == u'\\') {
      ++Backslashes;
      continue;
    }
    if (C == u'"')
      Result += QString(Backslashes * 2 + 1, u'\\');
    else
      Result += QString(Backslashes, u'\\');
    Result += C;
    Backslashes = 0;
  }
  Result += QString(Backslashes * 2, u'\\');
  Result += u'"';
  return Result;
}

QString ownExecutable() {
  std::vector<wchar_t> Buffer(MAX_PATH);
  for (;;) {
    const DWORD Length = ::GetModuleFileNameW(nullptr, Buffer.data(), DWORD(Buffer.size()));
    if (Length == 0)
      return {};
    if (Length < Buffer.size())
      return QString::fromWCharArray(Buffer.data(), int(Length));
    Buffer.resize(Buffer.size() * 2);
  }
}

// A handle the child may use: the standard handles must be inheritable to
// reach it.
HANDLE inherited(DWORD AWhich) {
  const HANDLE Handle = ::GetStdHandle(AWhich);
  if (Handle != nullptr && Handle != INVALID_HANDLE_VALUE)
    ::SetHandleInformation(Handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  return Handle;
}

// A standard handle that is not there: none given, or a number that names
// no open handle (which the next file opened could take).
bool missing(HANDLE AHandle) {
  if (AHandle == nullptr || AHandle == INVALID_HANDLE_VALUE)
    return true;
  ::SetLastError(NO_ERROR);
  return ::GetFileType(AHandle) == FILE_TYPE_UNKNOWN && ::GetLastError() == ERROR_INVALID_HANDLE;
}

} // namespace

QString WindowsCommandLine(const QString& AProgram, const QStringList& AArguments) {
  // The program's own name is read up to the closing quote, without
  // escapes; a path cannot hold a quote.
  QString Line = u'"' + AProgram + u'"';
  for (const QString& Argument : AArguments)
    Line += u' ' + quoted(Argument);
  return Line;
}

// Windows cannot run another program in place of this process. The
// companion runs as a child with this process's standard handles,
// environment and working folder; this process waits for it and ends with
// its exit code. As after an exec, nothing of this program runs once the
// companion is done: the process ends without exit handlers or library
// clean-up, whose state other threads may have left half-changed.
QString RunSiblingProgram(const QString& AName, char** AArguments) {
  // The executable itself, not argv[0]: a relative start must still find
  // the companion that was installed with it.
  const QString Self = ownExecutable();
  if (Self.isEmpty())
    return QStringLiteral("cannot find this program's own file: %1")
        .arg(SystemErrorText(::GetLastError()));
  const QString Program = QDir::toNativeSeparators(QFileInfo(Self).absolutePath() + u'/' + AName +
                                                   QStringLiteral(".exe"));
  // argv[0] names this program; the companion is named by its own path.
  QStringList Arguments;
  for (char** Argument = AArguments; Argument && *Argument; ++Argument)
    if (Argument != AArguments)
      Arguments << QString::fromLocal8Bit(*Argument);
  QString CommandLine = WindowsCommandLine(Program, Arguments);

  STARTUPINFOW Startup{};
  Startup.cb = sizeof Startup;
  Startup.dwFlags = STARTF_USESTDHANDLES;
  Startup.hStdInput = inherited(STD_INPUT_HANDLE);
  Startup.hStdOutput = inherited(STD_OUTPUT_HANDLE);
  Startup.hStdError = inherited(STD_ERROR_HANDLE);
  // What this program wrote so far comes before what the companion writes.
  std::fflush(nullptr);
  PROCESS_INFORMATION Process{};
  if (!::CreateProcessW(reinterpret_cast<const wchar_t*>(Program.utf16()),
                        reinterpret_cast<wchar_t*>(CommandLine.data()), nullptr, nullptr,
                        /*bInheritHandles=*/TRUE, 0, nullptr, nullptr, &Startup, &Process))
    return QStringLiteral("%1: %2").arg(Program, SystemErrorText(::GetLastError()));
  ::CloseHandle(Process.hThread);
  DWORD ExitCode = 1;
  if (::WaitForSingleObject(Process.hProcess, INFINITE) != WAIT_OBJECT_0 ||
      !::GetExitCodeProcess(Process.hProcess, &ExitCode))
    ExitCode = 1;
  ::TerminateProcess(::GetCurrentProcess(), ExitCode);
  // Termination of this process does not come back.
  ::ExitProcess(ExitCode);
}

int AttachParentConsole(int AMissing) {
  // A window program has no console, and one started from a console window
  // inherits no streams unless they were redirected; the console is still
  // there to write to. Its prompt is back already (the console does not
  // wait for a window program), which is why kelvane-cli.exe exists.
  if (AMissing == 0 || !::AttachConsole(ATTACH_PARENT_PROCESS))
    return 0;
  struct TStream {
    int Bit;
    DWORD Which;
    FILE* Stream;
    const char* Device;
    const char* Mode;
  };
  const TStream Streams[] = {{StandardInputStream, STD_INPUT_HANDLE, stdin, "CONIN$", "r"},
                             {StandardOutputStream, STD_OUTPUT_HANDLE, stdout, "CONOUT$", "w"},
                             {StandardErrorStream, STD_ERROR_HANDLE, stderr, "CONOUT$", "w"}};
  int Opened = 0;
  for (int Fd = 0; Fd <= 2; ++Fd) {
    const TStream& Stream = Streams[Fd];
    if (!(AMissing & Stream.Bit) || !std::freopen(Stream.Device, Stream.Mode, Stream.Stream))
      continue;
    const int Number = _fileno(Stream.Stream);
    if (Number >= 0 && Number != Fd)
      _dup2(Number, Fd);
    const HANDLE Console = reinterpret_cast<HANDLE>(_get_osfhandle(Fd));
    if (missing(Console))
      continue;
    ::SetStdHandle(Stream.Which, Console);
    Opened |= Stream.Bit;
  }
  return Opened;
}

bool WindowSystemAvailable() {
  // Every interactive Windows session has a desktop to show a window on.
  return true;
}

int ProtectStandardStreams() {
  struct TStream {
    DWORD Which;
    FILE* Stream;
    const char* Mode;
  };
  const TStream Streams[] = {{STD_INPUT_HANDLE, stdin, "r"},
                             {STD_OUTPUT_HANDLE, stdout, "w"},
                             {STD_ERROR_HANDLE, stderr, "w"}};
  int Closed = 0;
  for (int Fd = 0; Fd <= 2; ++Fd) {
    const TStream& Stream = Streams[Fd];
    if (!missing(::GetStdHandle(Stream.Which)))
      continue;
    Closed |= 1 << Fd;
    // The C runtime's stream and its descriptor Fd both go to NUL, so
    // neither writes into a file opened later under that number.
    if (std::freopen("NUL", Stream.Mode, Stream.Stream)) {
      const int Opened = _fileno(Stream.Stream);
      if (Opened >= 0 && Opened != Fd)
        _dup2(Opened, Fd);
    }
    HANDLE Null = reinterpret_cast<HANDLE>(_get_osfhandle(Fd));
    if (missing(Null)) {
      // The runtime could not: the system's handle at least, inheritable
      // as a standard handle must be.
      SECURITY_ATTRIBUTES Inherit{sizeof Inherit, nullptr, TRUE};
      Null = ::CreateFileW(L"NUL", Fd == 0 ? GENERIC_READ : GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, &Inherit, OPEN_EXISTING, 0, nullptr);
    }
    if (!missing(Null))
      ::SetStdHandle(Stream.Which, Null);
  }
  return Closed;
}
