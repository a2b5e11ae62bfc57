#include "logging/LogConnections.h"

#include <QFile>
#include <QFileInfo>

#include <spdlog/details/log_msg.h>
#include <spdlog/sinks/base_sink.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace std::chrono_literals;

// ---- parsing ----------------------------------------------------------------

namespace {

[[noreturn]] void syntaxError(qsizetype APosition, const QString& AWhat) {
  throw ELogEngineError(
      QStringLiteral("Invalid connection text at position %1: %2").arg(APosition + 1).arg(AWhat));
}

class TParser {
public:
  explicit TParser(const QString& AText) : FText(AText) {}

  std::vector<TConnectionSpec> Run() {
    std::vector<TConnectionSpec> Result;
    skipBlanks();
    if (atEnd())
      return Result;
    for (;;) {
      Result.push_back(connection());
      skipBlanks();
      if (atEnd())
        return Result;
      expect(u',', QStringLiteral("\",\" or end of text expected"));
    }
  }

private:
  bool atEnd() const { return FPos >= FText.size(); }
  QChar peek() const { return atEnd() ? QChar() : FText[FPos]; }
  void skipBlanks() {
    while (!atEnd() && FText[FPos].unicode() <= 32)
      ++FPos;
  }
  void expect(QChar AChar, const QString& AWhat) {
    skipBlanks();
    if (peek() != AChar)
      syntaxError(FPos, AWhat);
    ++FPos;
  }

  QString identifier(const QString& AWhat) {
    skipBlanks();
    const qsizetype Start = FPos;
    while (!atEnd() &&
           (FText[FPos].isLetterOrNumber() || FText[FPos] == u'_' || FText[FPos] == u'.') &&
           FText[FPos].unicode() < 128)
      ++FPos;
    if (FPos == Start)
      syntaxError(FPos, AWhat);
    return FText.mid(Start, FPos - Start).toLower();
  }

  QString value() {
    skipBlanks();
    if (peek() == u'"') {
      const qsizetype Open = FPos++;
      QString Result;
      for (;;) {
        if (atEnd())
          syntaxError(Open, QStringLiteral("unterminated quoted value"));
        const QChar C = FText[FPos++];
        if (C == u'"') {
          if (peek() == u'"') {
            Result += u'"';
            ++FPos;
            continue;
          }
          return Result;
        }
        Result += C;
      }
    }
    const qsizetype Start = FPos;
    while (!atEnd() && FText[FPos].unicode() > 32 && FText[FPos] != u',' && FText[FPos] != u')' &&
           FText[FPos] != u'(' && FText[FPos] != u'"' && FText[FPos] != u'=')
      ++FPos;
    if (FPos == Start)
      syntaxError(FPos, QStringLiteral("value expected"));
    return FText.mid(Start, FPos - Start);
  }

  TConnectionSpec connection() {
    TConnectionSpec Spec;
    const qsizetype Start = FPos;
    Spec.Protocol = identifier(QStringLiteral("protocol name expected"));
    static const QStringList Protocols{QStringLiteral("file"), QStringLiteral("text"),
                                       QStringLiteral("tcp"), QStringLiteral("pipe"),
                                       QStringLiteral("mem")};
    if (!Protocols.contains(Spec.Protocol))
      syntaxError(Start, QStringLiteral("unknown protocol \"%1\"").arg(Spec.Protocol));
    expect(u'(', QStringLiteral("\"(\" expected after \"%1\"").arg(Spec.Protocol));
    skipBlanks();
    if (peek() == u')') {
      ++FPos;
      return Spec;
    }
    for (;;) {
      const qsizetype OptionStart = FPos;
      const QString Name = identifier(QStringLiteral("option name expected"));
      if (!knownOption(Spec.Protocol, Name))
        syntaxError(OptionStart,
                    QStringLiteral("unknown option \"%1\" for %2").arg(Name, Spec.Protocol));
      expect(u'=', QStringLiteral("\"=\" expected after \"%1\"").arg(Name));
      Spec.Options.emplace_back(Name, value());
      skipBlanks();
      if (peek() == u')') {
        ++FPos;
        return Spec;
      }
      expect(u',', QStringLiteral("\",\" or \")\" expected"));
    }
  }

  static bool knownOption(const QString& AProtocol, const QString& AName) {
    static const QStringList Common{QStringLiteral("reconnect"), QStringLiteral("level")};
    static const QStringList File{QStringLiteral("filename"), QStringLiteral("maxsize"),
                                  QStringLiteral("maxparts"), QStringLiteral("append")};
    static const QStringList Tcp{QStringLiteral("host"), QStringLiteral("port"),
                                 QStringLiteral("timeout")};
    if (Common.contains(AName))
      return true;
    if (AProtocol == QLatin1String("file") || AProtocol == QLatin1String("text"))
      return File.contains(AName);
    if (AProtocol == QLatin1String("tcp"))
      return Tcp.contains(AName);
    if (AProtocol == QLatin1String("pipe"))
      return AName == QLatin1String("pipename");
    return AName == QLatin1String("maxsize");
  }

  const QString& FText;
  qsizetype FPos = 0;
};

[[noreturn]] void optionError(const TConnectionSpec& ASpec, const QString& AName,
                              const QString& AValue, const QString& AExpected) {
  throw ELogEngineError(QStringLiteral("Invalid value \"%1\" for option %2 of %3: %4 expected")
                            .arg(AValue, AName, ASpec.Protocol, AExpected));
}

qint64 intOption(const TConnectionSpec& ASpec, const QString& AName, qint64 ADefault, qint64 AMax) {
  const QString Text = ASpec.Option(AName);
  if (Text.isNull())
    return ADefault;
  bool Ok = false;
  const qint64 Value = Text.trimmed().toLongLong(&Ok);
  if (!Ok || Value < 0 || Value > AMax)
    optionError(ASpec, AName, Text, QStringLiteral("a whole number from 0 to %1").arg(AMax));
  return Value;
}

bool boolOption(const TConnectionSpec& ASpec, const QString& AName, bool ADefault) {
  const QString Text = ASpec.Option(AName);
  if (Text.isNull())
    return ADefault;
  const QString V = Text.trimmed().toLower();
  if (V == QLatin1String("true") || V == QLatin1String("yes") || V == QLatin1String("1"))
    return true;
  if (V == QLatin1String("false") || V == QLatin1String("no") || V == QLatin1String("0"))
    return false;
  optionError(ASpec, AName, Text, QStringLiteral("true or false"));
}

TLogLevel levelOption(const TConnectionSpec& ASpec) {
  const QString Text = ASpec.Option(QStringLiteral("level"));
  if (Text.isNull())
    return TLogLevel::Debug;
  for (int L = int(TLogLevel::Debug); L <= int(TLogLevel::Control); ++L)
    if (Text.trimmed().compare(LogLevelName(TLogLevel(L)), Qt::CaseInsensitive) == 0)
      return TLogLevel(L);
  optionError(ASpec, QStringLiteral("level"), Text, QStringLiteral("a level name"));
}

// ---- line formats -----------------------------------------------------------

void appendJsonString(QByteArray& AOut, const QString& AText) {
  AOut += '"';
  QString Clean;
  Clean.reserve(AText.size());
  for (qsizetype I = 0; I < AText.size(); ++I) {
    const QChar C = AText[I];
    if (C.isHighSurrogate() && I + 1 < AText.size() && AText[I + 1].isLowSurrogate()) {
      Clean += C;
      Clean += AText[++I];
    } else if (C.isSurrogate()) {
      Clean += QChar(QChar::ReplacementCharacter);
    } else {
      Clean += C;
    }
  }
  const QByteArray Utf8 = Clean.toUtf8();
  for (const char Ch : Utf8) {
    const auto U = static_cast<unsigned char>(Ch);
    switch (U) {
    case '"':
      AOut += "\\\"";
      break;
    case '\\':
      AOut += "\\\\";
      break;
    case '\n':
      AOut += "\\n";
      break;
    case '\r':
      AOut += "\\r";
      break;
    case '\t':
      AOut += "\\t";
      break;
    default:
      if (U < 0x20) {
        char Buffer[8];
        std::snprintf(Buffer, sizeof Buffer, "\\u%04x", U);
        AOut += Buffer;
      } else {
        AOut += Ch;
      }
    }
  }
  AOut += '"';
}

QString timeText(const QDateTime& ATime, QChar ASeparator) {
  return ATime.toString(QStringLiteral("yyyy-MM-dd")) + ASeparator +
         ATime.toString(QStringLiteral("HH:mm:ss.zzz"));
}

QString offsetText(const QDateTime& ATime) {
  const int Offset = ATime.offsetFromUtc();
  const int Minutes = std::abs(Offset) / 60;
  return QStringLiteral("%1%2:%3")
      .arg(QChar(Offset < 0 ? u'-' : u'+'))
      .arg(Minutes / 60, 2, 10, QChar(u'0'))
      .arg(Minutes % 60, 2, 10, QChar(u'0'));
}

QString oneLine(const QString& AText) {
  QString Result;
  Result.reserve(AText.size());
  for (QChar C : AText) {
    switch (C.unicode()) {
    case u'\\':
      Result += QStringLiteral("\\\\");
      break;
    case u'\n':
      Result += QStringLiteral("\\n");
      break;
    case u'\r':
      Result += QStringLiteral("\\r");
      break;
    case u'\t':
      Result += QStringLiteral("\\t");
      break;
    default:
      Result += C.unicode() < 32 ? QChar(u' ') : C;
    }
  }
  return Result;
}

// ---- targets ----------------------------------------------------------------

spdlog::details::log_msg messageOf(const QByteArray& ALine) {
  return spdlog::details::log_msg(
      spdlog::string_view_t(), spdlog::level::info,
      spdlog::string_view_t(ALine.constData(), static_cast<size_t>(ALine.size())));
}

// A file opened without following links, in a folder that is ours, rotated by
// size into <base>.1<ext> ... <base>.<parts-1><ext>.
class TFileSink final : public spdlog::sinks::base_sink<std::mutex> {
public:
  TFileSink(QString AFileName, qint64 AMaxBytes, int AMaxParts, bool AAppend, bool AReconnect)
      : FFileName(std::move(AFileName)), FMaxBytes(AMaxBytes), FMaxParts(std::max(1, AMaxParts)),
        FTruncate(!AAppend), FReconnect(AReconnect) {}
  ~TFileSink() override { closeFile(); }

protected:
  void sink_it_(const spdlog::details::log_msg& AMsg) override {
    const auto Size = static_cast<qint64>(AMsg.payload.size()) + 1;
    if (FFd < 0 && !openFile())
      return;
    // Also a file that was already full when it was opened for appending.
    if (FMaxBytes > 0 && FSize > 0 && FSize + Size > FMaxBytes) {
      closeFile();
      rotate();
      if (!openFile())
        return;
    }
    std::string Line(AMsg.payload.data(), AMsg.payload.size());
    Line += '\n';
    if (writeAll(Line.data(), Line.size()))
      FSize += Size;
    else
      closeFile();
  }
  void flush_() override {}

private:
  QByteArray path() const { return QFile::encodeName(FFileName); }

  QByteArray partPath(int AIndex) const {
    if (AIndex == 0)
      return path();
    const QFileInfo Info(FFileName);
    const QString Suffix = Info.suffix();
    const QString Base =
        Info.path() + u'/' + (Suffix.isEmpty() ? Info.fileName() : Info.completeBaseName());
    return QFile::encodeName(Base + u'.' + QString::number(AIndex) +
                             (Suffix.isEmpty() ? QString() : u'.' + Suffix));
  }

  bool openFile() {
    if (FGaveUp)
      return false;
    const auto Now = std::chrono::steady_clock::now();
    if (FLastAttempt && Now - *FLastAttempt < 5s)
      return false;
    FLastAttempt = Now;
    if (!IsOwnFolder(QFileInfo(FFileName).path())) {
      FGaveUp = !FReconnect;
      return false;
    }
    // O_NONBLOCK: a FIFO planted at the path fails at once instead of
    // waiting for a reader; a regular file ignores it.
    const int Flags = O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK |
                      (FTruncate ? O_TRUNC : 0);
    const int Fd = ::open(path().constData(), Flags, 0600);
    struct stat Status {};
    if (Fd < 0 || ::fstat(Fd, &Status) != 0 || !S_ISREG(Status.st_mode) ||
        Status.st_uid != ::geteuid()) {
      if (Fd >= 0)
        ::close(Fd);
      FGaveUp = !FReconnect;
      return false;
    }
    // Log records can tell a lot about the machine: only the owner reads them.
    ::fchmod(Fd, 0600);
    FTruncate = false;
    FFd = Fd;
    FSize = Status.st_size;
    FLastAttempt.reset();
    return true;
  }

  void closeFile() {
    if (FFd >= 0)
      ::close(FFd);
    FFd = -1;
  }

  // rename(2) moves a planted link itself; it never writes through one.
  void rotate() {
    ::unlink(partPath(FMaxParts - 1).constData());
    for (int I = FMaxParts - 1; I >= 1; --I)
      ::rename(partPath(I - 1).constData(), partPath(I).constData());
    if (FMaxParts == 1)
      ::unlink(path().constData());
    FSize = 0;
  }

  bool writeAll(const char* AData, size_t ASize) {
    while (ASize > 0) {
      const ssize_t Written = ::write(FFd, AData, ASize);
      if (Written < 0 && errno == EINTR)
        continue;
      if (Written <= 0)
        return false;
      AData += Written;
      ASize -= static_cast<size_t>(Written);
    }
    return true;
  }

  QString FFileName;
  qint64 FMaxBytes;
  int FMaxParts;
  bool FTruncate;
  bool FReconnect;
  bool FGaveUp = false;
  int FFd = -1;
  qint64 FSize = 0;
  std::optional<std::chrono::steady_clock::time_point> FLastAttempt;
};

// The newest lines within a byte bound.
class TMemorySink final : public spdlog::sinks::base_sink<std::mutex> {
public:
  explicit TMemorySink(qint64 AMaxBytes) : FMaxBytes(AMaxBytes) {}

  QByteArray Contents() {
    std::lock_guard Guard(mutex_);
    QByteArray Result;
    for (const QByteArray& Line : FLines)
      Result += Line;
    return Result;
  }

protected:
  void sink_it_(const spdlog::details::log_msg& AMsg) override {
    QByteArray Line(AMsg.payload.data(), static_cast<qsizetype>(AMsg.payload.size()));
    Line += '\n';
    if (Line.size() > FMaxBytes)
      return;
    FBytes += Line.size();
    FLines.push_back(std::move(Line));
    while (FBytes > FMaxBytes) {
      FBytes -= FLines.front().size();
      FLines.pop_front();
    }
  }
  void flush_() override {}

private:
  qint64 FMaxBytes;
  qint64 FBytes = 0;
  std::deque<QByteArray> FLines;
};

// Where a stream target connects to.
struct TStreamAddress {
  bool Unix = false;
  QByteArray Host; // TCP host, or the socket path
  int Port = 0;
  int TimeoutMs = 2000;
};

// State shared by a stream sink and its worker; the worker may outlive the
// sink while a name look-up it cannot interrupt is still running.
struct TStreamState {
  std::mutex Lock;
  std::condition_variable Wake;
  std::deque<std::string> Queue;
  qint64 QueuedBytes = 0;
  enum { Connecting, Connected, Unreachable, GaveUp } Phase = Connecting;
  bool Stop = false;
  bool Finished = false;
  std::condition_variable Done;
};

class TStreamSink final : public spdlog::sinks::base_sink<std::mutex> {
public:
  TStreamSink(TStreamAddress AAddress, bool AReconnect) : FState(std::make_shared<TStreamState>()) {
    if (!AAddress.Unix && (AAddress.Port <= 0 || AAddress.Port > 65535)) {
      giveUp();
      return;
    }
    try {
      std::thread(worker, FState, std::move(AAddress), AReconnect).detach();
    } catch (...) {
      giveUp();
    }
  }

  ~TStreamSink() override {
    std::unique_lock Guard(FState->Lock);
    if (FState->Finished)
      return;
    FState->Stop = true;
    FState->Wake.notify_all();
    // A connected worker delivers its queue within this time; a worker stuck
    // in a name look-up is left to finish on its own.
    FState->Done.wait_for(Guard, 1500ms, [&] { return FState->Finished; });
  }

protected:
  void sink_it_(const spdlog::details::log_msg& AMsg) override {
    std::lock_guard Guard(FState->Lock);
    if (FState->Phase != TStreamState::Connecting && FState->Phase != TStreamState::Connected)
      return;
    const auto Size = static_cast<qint64>(AMsg.payload.size()) + 1;
    if (FState->QueuedBytes + Size > MaxQueuedBytes)
      return;
    std::string Line(AMsg.payload.data(), AMsg.payload.size());
    Line += '\n';
    FState->Queue.push_back(std::move(Line));
    FState->QueuedBytes += Size;
    FState->Wake.notify_all();
  }
  void flush_() override {}

private:
  void giveUp() {
    FState->Phase = TStreamState::GaveUp;
    FState->Finished = true;
  }

  static void finish(const std::shared_ptr<TStreamState>& AState) {
    std::lock_guard Guard(AState->Lock);
    AState->Finished = true;
    AState->Done.notify_all();
  }

  // Connects within the timeout, giving up early when asked to stop.
  static int connectTo(const std::shared_ptr<TStreamState>& AState,
                       const TStreamAddress& AAddress) {
    std::vector<std::pair<sockaddr_storage, socklen_t>> Targets;
    if (AAddress.Unix) {
      sockaddr_un Un{};
      Un.sun_family = AF_UNIX;
      if (static_cast<size_t>(AAddress.Host.size()) >= sizeof Un.sun_path)
        return -1;
      std::memcpy(Un.sun_path, AAddress.Host.constData(),
                  static_cast<size_t>(AAddress.Host.size()));
      sockaddr_storage S{};
      std::memcpy(&S, &Un, sizeof Un);
      Targets.emplace_back(S, static_cast<socklen_t>(sizeof Un));
    } else {
      addrinfo Hints{};
      Hints.ai_family = AF_UNSPEC;
      Hints.ai_socktype = SOCK_STREAM;
      addrinfo* Found = nullptr;
      const QByteArray Port = QByteArray::number(AAddress.Port);
      if (::getaddrinfo(AAddress.Host.constData(), Port.constData(), &Hints, &Found) != 0)
        return -1;
      for (addrinfo* A = Found; A; A = A->ai_next) {
        sockaddr_storage S{};
        std::memcpy(&S, A->ai_addr, A->ai_addrlen);
        Targets.emplace_back(S, A->ai_addrlen);
      }
      ::freeaddrinfo(Found);
    }
    for (const auto& [Address, Length] : Targets) {
      const int Fd = ::socket(Address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
      if (Fd < 0)
        continue;
      int Result = ::connect(Fd, reinterpret_cast<const sockaddr*>(&Address), Length);
      if (Result != 0 && errno == EINPROGRESS) {
        const auto Deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(AAddress.TimeoutMs);
        while (Result != 0) {
          {
            // Shutting down only ends the attempt when nothing waits to be
            // sent; a short-lived program still gets its records out.
            std::lock_guard Guard(AState->Lock);
            if (AState->Stop && AState->Queue.empty())
              break;
          }
          if (std::chrono::steady_clock::now() >= Deadline)
            break;
          pollfd P{Fd, POLLOUT, 0};
          if (::poll(&P, 1, 100) > 0) {
            int Error = 0;
            socklen_t Size = sizeof Error;
            ::getsockopt(Fd, SOL_SOCKET, SO_ERROR, &Error, &Size);
            if (Error != 0)
              break;
            Result = 0;
          }
        }
      }
      if (Result == 0)
        return Fd;
      ::close(Fd);
    }
    return -1;
  }

  static bool sendAll(int AFd, const std::string& ALine) {
    size_t Sent = 0;
    const auto Deadline = std::chrono::steady_clock::now() + 5s;
    while (Sent < ALine.size()) {
      const ssize_t N = ::send(AFd, ALine.data() + Sent, ALine.size() - Sent, MSG_NOSIGNAL);
      if (N > 0) {
        Sent += static_cast<size_t>(N);
        continue;
      }
      if (N < 0 && (errno == EAGAIN || errno == EINTR) &&
          std::chrono::steady_clock::now() < Deadline) {
        pollfd P{AFd, POLLOUT, 0};
        ::poll(&P, 1, 100);
        continue;
      }
      return false;
    }
    return true;
  }

  static void worker(std::shared_ptr<TStreamState> AState, TStreamAddress AAddress,
                     bool AReconnect) {
    auto Backoff = std::chrono::milliseconds(500);
    for (;;) {
      const int Fd = connectTo(AState, AAddress);
      std::unique_lock Guard(AState->Lock);
      if (AState->Stop && Fd < 0)
        break;
      if (Fd < 0) {
        AState->Queue.clear();
        AState->QueuedBytes = 0;
        if (!AReconnect) {
          AState->Phase = TStreamState::GaveUp;
          break;
        }
        AState->Phase = TStreamState::Unreachable;
        AState->Wake.wait_for(Guard, Backoff, [&] { return AState->Stop; });
        if (AState->Stop)
          break;
        Backoff = std::min<std::chrono::milliseconds>(Backoff * 2, 30s);
        AState->Phase = TStreamState::Connecting;
        continue;
      }
      AState->Phase = TStreamState::Connected;
      Backoff = 500ms;
      std::optional<std::chrono::steady_clock::time_point> StopDeadline;
      bool Lost = false;
      for (;;) {
        AState->Wake.wait_for(Guard, 200ms, [&] { return AState->Stop || !AState->Queue.empty(); });
        if (AState->Stop && !StopDeadline)
          StopDeadline = std::chrono::steady_clock::now() + 1s;
        if (AState->Queue.empty()) {
          if (AState->Stop)
            break;
          // A peer that went away shows as readable with nothing to read.
          pollfd P{Fd, POLLIN, 0};
          char Probe;
          if (::poll(&P, 1, 0) > 0 && ::recv(Fd, &Probe, 1, MSG_PEEK | MSG_DONTWAIT) == 0) {
            Lost = true;
            break;
          }
          continue;
        }
        if (StopDeadline && std::chrono::steady_clock::now() > *StopDeadline)
          break;
        std::string Line = std::move(AState->Queue.front());
        AState->Queue.pop_front();
        AState->QueuedBytes -= static_cast<qint64>(Line.size());
        Guard.unlock();
        const bool Ok = sendAll(Fd, Line);
        Guard.lock();
        if (!Ok) {
          Lost = true;
          break;
        }
      }
      ::close(Fd);
      if (AState->Stop || !Lost)
        break;
      if (!AReconnect) {
        AState->Phase = TStreamState::GaveUp;
        break;
      }
      AState->Phase = TStreamState::Connecting;
    }
    std::unique_lock Guard(AState->Lock);
    if (AState->Phase != TStreamState::GaveUp)
      AState->Phase = TStreamState::Unreachable;
    Guard.unlock();
    finish(AState);
  }

  std::shared_ptr<TStreamState> FState;
};

class TSinkConnection final : public TLogConnection {
public:
  TSinkConnection(std::shared_ptr<spdlog::sinks::sink> ASink, TLogLevel AMinLevel, bool AText,
                  TMemorySink* AMemory = nullptr)
      : FSink(std::move(ASink)), FMinLevel(AMinLevel), FText(AText), FMemory(AMemory) {}

  TLogLevel MinLevel() const noexcept override { return FMinLevel; }
  bool WantsText() const noexcept override { return FText; }
  void WriteLine(const QByteArray& ALine) noexcept override {
    try {
      FSink->log(messageOf(ALine));
    } catch (...) {
    }
  }
  void Flush() noexcept override {
    try {
      FSink->flush();
    } catch (...) {
    }
  }
  QByteArray Contents() const override { return FMemory ? FMemory->Contents() : QByteArray(); }

private:
  std::shared_ptr<spdlog::sinks::sink> FSink;
  TLogLevel FMinLevel;
  bool FText;
  TMemorySink* FMemory;
};

} // namespace

QString TConnectionSpec::Option(const QString& AName, const QString& ADefault) const {
  for (const auto& [Name, Value] : Options)
    if (Name == AName)
      return Value;
  return ADefault;
}

std::vector<TConnectionSpec> ParseConnectionText(const QString& AText) {
  return TParser(AText).Run();
}

std::unique_ptr<TLogConnection> CreateConnection(const TConnectionSpec& ASpec) {
  const TLogLevel Level = levelOption(ASpec);
  const bool Reconnect = boolOption(ASpec, QStringLiteral("reconnect"), false);
  if (ASpec.Protocol == QLatin1String("file") || ASpec.Protocol == QLatin1String("text")) {
    const QString FileName = ASpec.Option(QStringLiteral("filename"));
    if (FileName.isEmpty())
      throw ELogEngineError(QStringLiteral("Option filename of %1 is missing").arg(ASpec.Protocol));
    auto Sink = std::make_shared<TFileSink>(
        FileName, intOption(ASpec, QStringLiteral("maxsize"), 0, 1 << 30) * 1024,
        static_cast<int>(intOption(ASpec, QStringLiteral("maxparts"), 5, 1000)),
        boolOption(ASpec, QStringLiteral("append"), false), Reconnect);
    return std::make_unique<TSinkConnection>(std::move(Sink), Level,
                                             ASpec.Protocol == QLatin1String("text"));
  }
  if (ASpec.Protocol == QLatin1String("mem")) {
    auto Sink = std::make_shared<TMemorySink>(
        intOption(ASpec, QStringLiteral("maxsize"), 2048, 1 << 20) * 1024);
    TMemorySink* Memory = Sink.get();
    return std::make_unique<TSinkConnection>(std::move(Sink), Level, false, Memory);
  }
  TStreamAddress Address;
  if (ASpec.Protocol == QLatin1String("tcp")) {
    Address.Host = ASpec.Option(QStringLiteral("host"), QStringLiteral("127.0.0.1")).toUtf8();
    Address.Port = static_cast<int>(intOption(ASpec, QStringLiteral("port"), 4228, 1 << 30));
    Address.TimeoutMs = static_cast<int>(intOption(ASpec, QStringLiteral("timeout"), 2000, 600000));
  } else {
    Address.Unix = true;
    const QString Path =
        PipeSocketPath(ASpec.Option(QStringLiteral("pipename"), QStringLiteral("kelvane")));
    // Only a folder of our own: a listener planted by someone else must not
    // receive the log.
    if (!IsOwnFolder(QFileInfo(Path).path()))
      Address.Port = -1;
    Address.Host = QFile::encodeName(Path);
  }
  std::shared_ptr<spdlog::sinks::sink> Sink;
  if (Address.Unix && Address.Port < 0)
    Sink = std::make_shared<TMemorySink>(0);
  else
    Sink = std::make_shared<TStreamSink>(std::move(Address), Reconnect);
  return std::make_unique<TSinkConnection>(std::move(Sink), Level, false);
}

QByteArray FormatJsonLine(const TLogRecord& ARecord) {
  QByteArray Out;
  Out.reserve(128 + (ARecord.Title.size() + ARecord.Data.size()) * 2);
  Out += "{\"time\":";
  appendJsonString(Out, timeText(ARecord.Time, u'T') + offsetText(ARecord.Time));
  Out += ",\"level\":";
  appendJsonString(Out, LogLevelName(ARecord.Level));
  Out += ",\"session\":";
  appendJsonString(Out, ARecord.Session);
  Out += ",\"kind\":";
  appendJsonString(Out, LogEntryKindName(ARecord.Kind));
  Out += ",\"title\":";
  appendJsonString(Out, ARecord.Title);
  Out += ",\"data\":";
  appendJsonString(Out, ARecord.Data);
  Out += '}';
  return Out;
}

QByteArray FormatTextLine(const TLogRecord& ARecord) {
  QString Line = timeText(ARecord.Time, u' ') + u' ' + LogLevelName(ARecord.Level) + u' ' +
                 oneLine(ARecord.Session) + QStringLiteral(" [") + LogEntryKindName(ARecord.Kind) +
                 QStringLiteral("] ") + oneLine(ARecord.Title);
  if (!ARecord.Data.isEmpty())
    Line += QStringLiteral(" | ") + oneLine(ARecord.Data);
  return Line.toUtf8();
}

QString PipeSocketPath(const QString& APipeName) {
  const QString Runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  const QString Folder =
      Runtime.isEmpty() ? QStringLiteral("/tmp/kelvane-%1").arg(::geteuid()) : Runtime;
  return Folder + u'/' + APipeName + QStringLiteral(".sock");
}

bool IsOwnFolder(const QString& AFolder) {
  struct stat Status {};
  if (::lstat(QFile::encodeName(AFolder.isEmpty() ? QStringLiteral(".") : AFolder).constData(),
              &Status) != 0)
    return false;
  return S_ISDIR(Status.st_mode) && Status.st_uid == ::geteuid() &&
         (Status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}
