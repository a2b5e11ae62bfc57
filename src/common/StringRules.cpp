#include "StringRules.h"

#include <algorithm>
#include <cstdint>

namespace {
bool isBlank(QChar C) {
  return C.unicode() <= 32;
}
} // namespace

QString Trim(const QString& S) {
  qsizetype First = 0;
  qsizetype Last = S.size() - 1;
  while (First <= Last && isBlank(S[First]))
    ++First;
  while (Last >= First && isBlank(S[Last]))
    --Last;
  return S.mid(First, Last - First + 1);
}

QString TrimLeft(const QString& S) {
  qsizetype First = 0;
  while (First < S.size() && isBlank(S[First]))
    ++First;
  return S.mid(First);
}

QString TrimRight(const QString& S) {
  qsizetype Last = S.size() - 1;
  while (Last >= 0 && isBlank(S[Last]))
    --Last;
  return S.left(Last + 1);
}

bool SameText(const QString& A, const QString& B) {
  return A.compare(B, Qt::CaseInsensitive) == 0;
}

int CompareText(const QString& A, const QString& B) {
  return A.compare(B, Qt::CaseInsensitive);
}

std::size_t SameTextHash(QStringView AText) {
  // Folded unit by unit as the case-insensitive comparison folds: a low
  // surrogate after a high one stands for the whole code point.
  std::uint64_t Hash = 14695981039346656037ull;
  char16_t Last = 0;
  for (const QChar Unit : AText) {
    char32_t Code = Unit.unicode();
    if (Code < 0x80) {
      // Folding leaves ASCII as it is but for the capitals.
      if (Code >= u'A' && Code <= u'Z')
        Code += u'a' - u'A';
    } else {
      if (QChar::isLowSurrogate(Code) && QChar::isHighSurrogate(Last))
        Code = QChar::surrogateToUcs4(Last, char16_t(Code));
      Code = QChar::toCaseFolded(Code);
    }
    Last = Unit.unicode();
    Hash = (Hash ^ Code) * 1099511628211ull;
  }
  return std::size_t(Hash ^ (Hash >> 32));
}

QString CommaText(const QStringList& AItems) {
  if (AItems.size() == 1 && AItems.first().isEmpty())
    return QStringLiteral("\"\"");
  QString Result;
  for (qsizetype I = 0; I < AItems.size(); ++I) {
    const QString& Item = AItems[I];
    bool NeedsQuotes = false;
    for (QChar C : Item) {
      if (C.unicode() == 0)
        break;
      if (isBlank(C) || C == u'"' || C == u',') {
        NeedsQuotes = true;
        break;
      }
    }
    if (I > 0)
      Result += u',';
    if (NeedsQuotes) {
      QString Quoted = Item;
      Quoted.replace(u'"', QStringLiteral("\"\""));
      Result += u'"' + Quoted + u'"';
    } else {
      Result += Item;
    }
  }
  return Result;
}

QStringList SplitCommaText(const QString& AText) {
  const qsizetype End = [&] {
    const qsizetype Nul = AText.indexOf(QChar(0));
    return Nul < 0 ? AText.size() : Nul;
  }();
  auto at = [&](qsizetype P) { return P < End ? AText[P] : QChar(0); };
  auto skipBlanks = [&](qsizetype& P) {
    while (P < End && isBlank(AText[P]))
      ++P;
  };

  QStringList Items;
  qsizetype P = 0;
  skipBlanks(P);
  while (P < End) {
    QString Item;
    if (AText[P] == u'"') {
      ++P;
      while (P < End) {
        if (AText[P] == u'"') {
          if (at(P + 1) == u'"') {
            Item += u'"';
            P += 2;
            continue;
          }
          ++P;
          break;
        }
        Item += AText[P++];
      }
    } else {
      const qsizetype Start = P;
      while (P < End && !isBlank(AText[P]) && AText[P] != u',')
        ++P;
      Item = AText.mid(Start, P - Start);
    }
    Items << Item;
    skipBlanks(P);
    if (at(P) == u',') {
      if (P + 1 >= End)
        Items << QString();
      ++P;
      skipBlanks(P);
    }
  }
  return Items;
}

QString RemoveEnclosingQuotes(const QString& AText) {
  if (AText.size() > 1) {
    const QChar First = AText.front();
    if ((First == u'"' || First == u'\'') && AText.back() == First)
      return AText.mid(1, AText.size() - 2);
  }
  return AText;
}

bool TryStrToInt(const QString& S, int& AValue) {
  if (S.isEmpty() || isBlank(S.front()) || isBlank(S.back()))
    return false;
  bool Ok = false;
  const int Value = S.toInt(&Ok, 10);
  if (Ok)
    AValue = Value;
  return Ok;
}

int StrToIntDef(const QString& S, int ADefault) {
  int Value = ADefault;
  return TryStrToInt(S, Value) ? Value : ADefault;
}

bool IsControlCharacter(QChar C) {
  const char16_t Code = C.unicode();
  return Code < 0x20 || (Code >= 0x7F && Code <= 0x9F);
}

QString ReplaceControlCharacters(const QString& AText) {
  QString Result = AText;
  for (QChar& C : Result)
    if (IsControlCharacter(C))
      C = QChar::ReplacementCharacter;
  return Result;
}

QString EscapeControlCharacters(const QString& AText) {
  if (std::none_of(AText.begin(), AText.end(), IsControlCharacter))
    return AText;
  QString Result;
  Result.reserve(AText.size() + 8);
  for (const QChar C : AText) {
    if (!IsControlCharacter(C))
      Result += C;
    else if (C == u'\t')
      Result += QLatin1String("\\t");
    else if (C == u'\n')
      Result += QLatin1String("\\n");
    else if (C == u'\r')
      Result += QLatin1String("\\r");
    else
      Result += QStringLiteral("\\x%1").arg(C.unicode(), 2, 16, QLatin1Char('0'));
  }
  return Result;
}
