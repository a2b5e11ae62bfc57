#include "logging/LogConnections.h"

#include "logging/LogSinks.h"
#include "platform/StreamConnection.h"

#include <spdlog/details/log_msg.h>

#include <cstdio>
#include <cstdlib>
#include <limits>

// ---- parsing ----------------------------------------------------------------

namespace {

[[noreturn]] void textError(qsizetype APosition, const QString& AWhat) {
  throw ELogEngineError(
      QStringLiteral("Invalid connection text at position %1: %2").arg(APosition + 1).arg(AWhat));
}

bool isBlank(QChar AChar) {
  return AChar.unicode() <= 32;
}

class TParser {
public:
  explicit TParser(const QString& AText) : FText(AText) {}

  std::vector<TParsedConnection> Run() {
    std::vector<TParsedConnection> Result;
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
    while (!atEnd() && isBlank(FText[FPos]))
      ++FPos;
  }
  void expect(QChar AChar, const QString& AWhat) {
    skipBlanks();
    if (peek() != AChar)
      textError(FPos, AWhat);
    ++FPos;
  }

  QString identifier(const QString& AWhat) {
    skipBlanks();
    const qsizetype Start = FPos;
    while (!atEnd() && FText[FPos].unicode() < 128 &&
           (FText[FPos].isLetterOrNumber() || FText[FPos] == u'_'))
      ++FPos;
    if (FPos == Start)
      textError(FPos, AWhat);
    return FText.mid(Start, FPos - Start).toLower();
  }

  // A bare value runs up to the next ',' or ')', blanks inside included; the
  // characters that would make it ambiguous end it early, and the caller then
  // reports what it expected there.
  QString value() {
    skipBlanks();
    if (peek() == u'"') {
      const qsizetype Open = FPos++;
      QString Result;
      for (;;) {
        if (atEnd())
          textError(Open, QStringLiteral("unterminated quoted value"));
        const QChar C = FText[FPos++];
        if (C == u'"') {
          if (peek() != u'"')
            return Result;
          ++FPos;
        }
        Result += C;
      }
    }
    const auto endsBare = [](QChar C) {
      return C == u',' || C == u')' || C == u'(' || C == u'"' || C == u'=' ||
             (C != u' ' && isBlank(C));
    };
    const qsizetype Start = FPos;
    while (!atEnd() && !endsBare(FText[FPos]))
      ++FPos;
    qsizetype End = FPos;
    while (End > Start && isBlank(FText[End - 1]))
      --End;
    if (End == Start)
      textError(Start, QStringLiteral("value expected"));
    return FText.mid(Start, End - Start);
  }

  TParsedConnection connection() {
    TParsedConnection Parsed;
    skipBlanks();
    Parsed.Position = FPos;
    Parsed.Protocol = identifier(QStringLiteral("protocol name expected"));
    static const QStringList Protocols{QStringLiteral("file"), QStringLiteral("text"),
                                       QStringLiteral("tcp"), QStringLiteral("pipe"),
                                       QStringLiteral("mem")};
    if (!Protocols.contains(Parsed.Protocol))
      textError(Parsed.Position, QStringLiteral("unknown protocol \"%1\"").arg(Parsed.Protocol));
    expect(u'(', QStringLiteral("\"(\" expected after \"%1\"").arg(Parsed.Protocol));
    skipBlanks();
    if (peek() == u')') {
      ++FPos;
      return Parsed;
    }
    for (;;) {
      skipBlanks();
      const qsizetype OptionStart = FPos;
      const QString Name = identifier(QStringLiteral("option name expected"));
      if (!knownOption(Parsed.Protocol, Name))
        textError(OptionStart,
                  QStringLiteral("unknown option \"%1\" for %2").arg(Name, Parsed.Protocol));
      expect(u'=', QStringLiteral("\"=\" expected after \"%1\"").arg(Name));
      skipBlanks();
      const qsizetype ValueStart = FPos;
      Parsed.Options.push_back({Name, value(), ValueStart});
      skipBlanks();
      if (peek() == u')') {
        ++FPos;
        return Parsed;
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

// ---- option values ----------------------------------------------------------

[[noreturn]] void valueError(const TParsedConnection& AConnection, const TConnectionOption& AOption,
                             const QString& AExpected) {
  textError(AOption.Position,
            QStringLiteral("invalid value \"%1\" for %2 of %3, %4 expected")
                .arg(AOption.Value, AOption.Name, AConnection.Protocol, AExpected));
}

qint64 intOption(const TParsedConnection& AConnection, const QString& AName, qint64 ADefault,
                 qint64 AMin, qint64 AMax) {
  const TConnectionOption* Option = AConnection.Find(AName);
  if (!Option)
    return ADefault;
  bool Ok = false;
  const qint64 Value = Option->Value.trimmed().toLongLong(&Ok);
  if (!Ok || Value < AMin || Value > AMax)
    valueError(AConnection, *Option,
               QStringLiteral("a whole number from %1 to %2").arg(AMin).arg(AMax));
  return Value;
}

bool boolOption(const TParsedConnection& AConnection, const QString& AName, bool ADefault) {
  const TConnectionOption* Option = AConnection.Find(AName);
  if (!Option)
    return ADefault;
  const QString V = Option->Value.trimmed().toLower();
  if (V == QLatin1String("true") || V == QLatin1String("yes") || V == QLatin1String("1"))
    return true;
  if (V == QLatin1String("false") || V == QLatin1String("no") || V == QLatin1String("0"))
    return false;
  valueError(AConnection, *Option, QStringLiteral("true or false"));
}

TLogLevel levelOption(const TParsedConnection& AConnection) {
  const TConnectionOption* Option = AConnection.Find(QStringLiteral("level"));
  if (!Option)
    return TLogLevel::Debug;
  for (int L = int(TLogLevel::Debug); L <= int(TLogLevel::Control); ++L)
    if (Option->Value.trimmed().compare(LogLevelName(TLogLevel(L)), Qt::CaseInsensitive) == 0)
      return TLogLevel(L);
  valueError(AConnection, *Option, QStringLiteral("a level name"));
}

QString textOption(const TParsedConnection& AConnection, const QString& AName,
                   const QString& ADefault) {
  const TConnectionOption* Option = AConnection.Find(AName);
  if (!Option)
    return ADefault;
  if (Option->Value.trimmed().isEmpty())
    valueError(AConnection, *Option, QStringLiteral("a non-empty text"));
  return Option->Value;
}

// ---- line formats -----------------------------------------------------------

// Hands out the code points of AText, a lone surrogate as U+FFFD.
template <class TAction> void forEachCodePoint(QStringView AText, TAction AAction) {
  const qsizetype Size = AText.size();
  for (qsizetype I = 0; I < Size; ++I) {
    char32_t C = AText[I].unicode();
    if (QChar::isHighSurrogate(C) && I + 1 < Size && AText[I + 1].isLowSurrogate())
      C = QChar::surrogateToUcs4(char16_t(C), AText[++I].unicode());
    else if (QChar::isSurrogate(C))
      C = QChar::ReplacementCharacter;
    AAction(C);
  }
}

void appendUtf8(QByteArray& AOut, char32_t AChar) {
  if (AChar < 0x80) {
    AOut += char(AChar);
  } else if (AChar < 0x800) {
    AOut += char(0xC0 | (AChar >> 6));
    AOut += char(0x80 | (AChar & 0x3F));
  } else if (AChar < 0x10000) {
    AOut += char(0xE0 | (AChar >> 12));
    AOut += char(0x80 | ((AChar >> 6) & 0x3F));
    AOut += char(0x80 | (AChar & 0x3F));
  } else {
    AOut += char(0xF0 | (AChar >> 18));
    AOut += char(0x80 | ((AChar >> 12) & 0x3F));
    AOut += char(0x80 | ((AChar >> 6) & 0x3F));
    AOut += char(0x80 | (AChar & 0x3F));
  }
}

void appendJsonString(QByteArray& AOut, QStringView AText) {
  static constexpr char Hex[] = "0123456789abcdef";
  AOut += '"';
  forEachCodePoint(AText, [&AOut](char32_t C) {
    switch (C) {
    case U'"':
      AOut += "\\\"";
      break;
    case U'\\':
      AOut += "\\\\";
      break;
    case U'\n':
      AOut += "\\n";
      break;
    case U'\r':
      AOut += "\\r";
      break;
    case U'\t':
      AOut += "\\t";
      break;
    default:
      if (C < 0x20) {
        const char Escape[] = {'\\', 'u', '0', '0', Hex[C >> 4], Hex[C & 0xF]};
        AOut.append(Escape, sizeof Escape);
      } else {
        appendUtf8(AOut, C);
      }
    }
  });
  AOut += '"';
}

// One field of a text line: kept on one line and free of control characters.
void appendTextField(QByteArray& AOut, QStringView AText) {
  forEachCodePoint(AText, [&AOut](char32_t C) {
    switch (C) {
    case U'\\':
      AOut += "\\\\";
      break;
    case U'\n':
      AOut += "\\n";
      break;
    case U'\r':
      AOut += "\\r";
      break;
    case U'\t':
      AOut += "\\t";
      break;
    default:
      appendUtf8(AOut, C < 0x20 ? U' ' : C);
    }
  });
}

// "2026-12-10<separator>06:06:35.123", and "+01:00" with AOffset. A record
// without a time is stamped now rather than written with an empty one.
void appendTime(QByteArray& AOut, const QDateTime& ATime, char ASeparator, bool AOffset) {
  const QDateTime Time = ATime.isValid() ? ATime : QDateTime::currentDateTime();
  const QDate Date = Time.date();
  const QTime Clock = Time.time();
  char Buffer[128];
  int Length = std::snprintf(Buffer, sizeof Buffer, "%04d-%02d-%02d%c%02d:%02d:%02d.%03d",
                             Date.year(), Date.month(), Date.day(), ASeparator, Clock.hour(),
                             Clock.minute(), Clock.second(), Clock.msec());
  if (AOffset && Length > 0 && Length < int(sizeof Buffer)) {
    const int Offset = Time.offsetFromUtc();
    const int Minutes = std::abs(Offset) / 60;
    Length += std::snprintf(Buffer + Length, sizeof Buffer - size_t(Length), "%c%02d:%02d",
                            Offset < 0 ? '-' : '+', Minutes / 60, Minutes % 60);
  }
  if (Length > 0)
    AOut.append(Buffer, std::min(Length, int(sizeof Buffer) - 1));
}

// ---- connections ------------------------------------------------------------

spdlog::details::log_msg messageOf(const QByteArray& ALine) {
  return spdlog::details::log_msg(
      spdlog::string_view_t(), spdlog::level::info,
      spdlog::string_view_t(ALine.constData(), static_cast<size_t>(ALine.size())));
}

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

const TConnectionOption* TParsedConnection::Find(const QString& AName) const {
  for (auto I = Options.rbegin(); I != Options.rend(); ++I)
    if (I->Name == AName)
      return &*I;
  return nullptr;
}

QString TParsedConnection::Option(const QString& AName, const QString& ADefault) const {
  const TConnectionOption* Found = Find(AName);
  return Found ? Found->Value : ADefault;
}

std::vector<TParsedConnection> ParseConnectionText(const QString& AText) {
  return TParser(AText).Run();
}

TConnectionSettings ReadConnectionSettings(const TParsedConnection& AConnection) {
  using TKind = TConnectionSettings::TKind;
  TConnectionSettings Result;
  Result.Level = levelOption(AConnection);
  Result.Reconnect = boolOption(AConnection, QStringLiteral("reconnect"), false);
  const QString& P = AConnection.Protocol;
  if (P == QLatin1String("file") || P == QLatin1String("text")) {
    Result.Kind = P == QLatin1String("file") ? TKind::File : TKind::Text;
    if (!AConnection.Find(QStringLiteral("filename")))
      textError(AConnection.Position, QStringLiteral("option filename of %1 is missing").arg(P));
    Result.FileName = textOption(AConnection, QStringLiteral("filename"), {});
    Result.MaxBytes =
        intOption(AConnection, QStringLiteral("maxsize"), 0, 0, qint64(1) << 30) * 1024;
    Result.MaxParts = int(intOption(AConnection, QStringLiteral("maxparts"), 5, 1, 1000));
    Result.Append = boolOption(AConnection, QStringLiteral("append"), false);
  } else if (P == QLatin1String("tcp")) {
    Result.Kind = TKind::Tcp;
    Result.Host = textOption(AConnection, QStringLiteral("host"), Result.Host).trimmed();
    Result.Port =
        intOption(AConnection, QStringLiteral("port"), 4228, 0, std::numeric_limits<int>::max());
    Result.TimeoutMs = int(intOption(AConnection, QStringLiteral("timeout"), 2000, 1, 600000));
  } else if (P == QLatin1String("pipe")) {
    Result.Kind = TKind::Pipe;
    Result.PipeName = textOption(AConnection, QStringLiteral("pipename"), Result.PipeName);
    if (Result.PipeName.contains(u'/'))
      valueError(AConnection, *AConnection.Find(QStringLiteral("pipename")),
                 QStringLiteral("a name without \"/\""));
  } else {
    Result.Kind = TKind::Mem;
    Result.MaxBytes = intOption(AConnection, QStringLiteral("maxsize"), 2048, 0, 1 << 20) * 1024;
  }
  return Result;
}

std::unique_ptr<TLogConnection> CreateConnection(const TConnectionSettings& ASettings) {
  using TKind = TConnectionSettings::TKind;
  switch (ASettings.Kind) {
  case TKind::File:
  case TKind::Text:
    return std::make_unique<TSinkConnection>(
        std::make_shared<TFileSink>(ASettings.FileName, ASettings.MaxBytes, ASettings.MaxParts,
                                    ASettings.Append, ASettings.Reconnect),
        ASettings.Level, ASettings.Kind == TKind::Text);
  case TKind::Mem: {
    auto Sink = std::make_shared<TMemorySink>(ASettings.MaxBytes);
    TMemorySink* Memory = Sink.get();
    return std::make_unique<TSinkConnection>(std::move(Sink), ASettings.Level, false, Memory);
  }
  case TKind::Tcp:
  case TKind::Pipe:
    break;
  }
  TStreamTarget Target;
  Target.Grace = ASettings.Grace;
  if (ASettings.Kind == TKind::Tcp) {
    Target.Host = ASettings.Host;
    Target.Port = ASettings.Port;
    Target.TimeoutMs = ASettings.TimeoutMs;
  } else {
    Target.Local = true;
    Target.Host = PipeSocketPath(ASettings.PipeName);
  }
  return std::make_unique<TSinkConnection>(
      std::make_shared<TStreamSink>(std::move(Target), ASettings.Reconnect), ASettings.Level,
      false);
}

QByteArray FormatJsonLine(const TLogRecord& ARecord) {
  QByteArray Out;
  Out.reserve(160 + (ARecord.Session.size() + ARecord.Title.size() + ARecord.Data.size()) * 3 / 2);
  Out += "{\"time\":\"";
  appendTime(Out, ARecord.Time, 'T', true);
  Out += "\",\"level\":";
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
  QByteArray Out;
  Out.reserve(64 + (ARecord.Session.size() + ARecord.Title.size() + ARecord.Data.size()) * 3 / 2);
  appendTime(Out, ARecord.Time, ' ', false);
  Out += ' ';
  appendTextField(Out, LogLevelName(ARecord.Level));
  Out += ' ';
  appendTextField(Out, ARecord.Session);
  Out += " [";
  appendTextField(Out, LogEntryKindName(ARecord.Kind));
  Out += "] ";
  appendTextField(Out, ARecord.Title);
  if (!ARecord.Data.isEmpty()) {
    Out += " | ";
    appendTextField(Out, ARecord.Data);
  }
  return Out;
}

QString PipeSocketPath(const QString& APipeName) {
  return LocalStreamEndpoint(APipeName);
}
