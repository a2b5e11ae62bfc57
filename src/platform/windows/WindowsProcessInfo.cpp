#include "platform/Process.h"

#include "platform/windows/WindowsErrorText.h"

// The K32 names live in kernel32 itself, so no psapi.dll is loaded for them.
#ifndef PSAPI_VERSION
#define PSAPI_VERSION 2
#endif
#include <psapi.h>

#include <QDir>
#include <QFileInfo>

#include <utility>
#include <vector>

namespace {
// The longest path the system knows, in UTF-16 code units.
constexpr size_t LongestPath = 32768;
} // namespace

QString ExecutableFileName() {
  // A path longer than the buffer comes back cut short and filling it
  // exactly, so the buffer grows until the path fits with room to spare.
  std::vector<wchar_t> Buffer(MAX_PATH);
  for (;;) {
    const DWORD Length = ::GetModuleFileNameW(nullptr, Buffer.data(), DWORD(Buffer.size()));
    if (Length == 0)
      return {};
    if (Length < Buffer.size())
      return QFileInfo(
                 QDir::fromNativeSeparators(QString::fromWCharArray(Buffer.data(), int(Length))))
          .fileName();
    if (Buffer.size() >= LongestPath)
      return {};
    Buffer.resize(std::min(Buffer.size() * 2, LongestPath));
  }
}

QString ProcessMemoryFigures() {
  PROCESS_MEMORY_COUNTERS_EX Counters{};
  Counters.cb = sizeof Counters;
  if (!::K32GetProcessMemoryInfo(::GetCurrentProcess(),
                                 reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&Counters),
                                 sizeof Counters))
    return {};
  const std::pair<QLatin1String, SIZE_T> Figures[] = {
      {QLatin1String("PeakWorkingSetSize"), Counters.PeakWorkingSetSize},
      {QLatin1String("WorkingSetSize"), Counters.WorkingSetSize},
      {QLatin1String("QuotaPeakPagedPoolUsage"), Counters.QuotaPeakPagedPoolUsage},
      {QLatin1String("QuotaPagedPoolUsage"), Counters.QuotaPagedPoolUsage},
      {QLatin1String("QuotaPeakNonPagedPoolUsage"), Counters.QuotaPeakNonPagedPoolUsage},
      {QLatin1String("QuotaNonPagedPoolUsage"), Counters.QuotaNonPagedPoolUsage},
      {QLatin1String("PagefileUsage"), Counters.PagefileUsage},
      {QLatin1String("PeakPagefileUsage"), Counters.PeakPagefileUsage},
      {QLatin1String("PrivateUsage"), Counters.PrivateUsage},
  };
  QString Text;
  for (const auto& [Name, Bytes] : Figures)
    Text += QStringLiteral("%1: %2 kB\n").arg(Name).arg(quint64(Bytes) / 1024);
  return Text;
}
