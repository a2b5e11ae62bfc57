#include "Format.h"

#include "Exceptions.h"

#include <QLocale>

#include <cmath>

namespace {

[[noreturn]] void invalidFormat(const QString& AFormat) {
  throw EConvertError(
      QStringLiteral("Format '%1' invalid or incompatible with argument").arg(AFormat));
}

[[noreturn]] void missingArgument(const QString& AFormat) {
  throw EConvertError(QStringLiteral("No argument for format '%1'").arg(AFormat));
}

bool isIntegral(const QVariant& V) {
  switch (V.metaType().id()) {
  case QMetaType::Int:
  case QMetaType::UInt:
  case QMetaType::LongLong:
  case QMetaType::ULongLong:
  case QMetaType::Long:
  case QMetaType::ULong:
  case QMetaType::Short:
  case QMetaType::UShort:
  case QMetaType::Char:
  case QMetaType::SChar:
  case QMetaType::UChar:
    return true;
  default:
    return false;
  }
}

bool isFloat(const QVariant& V) {
  const int Id = V.metaType().id();
  return Id == QMetaType::Double || Id == QMetaType::Float;
}

bool isText(const QVariant& V) {
  const int Id = V.metaType().id();
  return Id == QMetaType::QString || Id == QMetaType::QChar || Id == QMetaType::QByteArray ||
         Id == QMetaType::Char16;
}

// Thousands separators for the n and m types, "." for decimals whatever the
// locale, so log texts read the same everywhere.
QString groupThousands(const QString& ADigits) {
  QString Result;
  const qsizetype Dot = ADigits.indexOf(u'.');
  QString Whole = Dot < 0 ? ADigits : ADigits.left(Dot);
  const QString Rest = Dot < 0 ? QString() : ADigits.mid(Dot);
  QString Sign;
  if (Whole.startsWith(u'-')) {
    Sign = QStringLiteral("-");
    Whole.remove(0, 1);
  }
  for (qsizetype I = 0; I < Whole.size(); ++I) {
    if (I > 0 && (Whole.size() - I) % 3 == 0)
      Result += u',';
    Result += Whole[I];
  }
  return Sign + Result + Rest;
}

} // namespace

QString Format(const QString& AFormat, const QVariantList& AArgs) {
  QString Result;
  qsizetype ArgIndex = 0;
  const qsizetype N = AFormat.size();
  qsizetype P = 0;

  auto nextArg = [&]() -> const QVariant& {
    if (ArgIndex >= AArgs.size())
      missingArgument(AFormat);
    return AArgs[ArgIndex++];
  };
  auto readNumber = [&](int& AValue) -> bool {
    if (P < N && AFormat[P] == u'*') {
      const QVariant& V = nextArg();
      if (!isIntegral(V))
        invalidFormat(AFormat);
      AValue = V.toInt();
      ++P;
      return true;
    }
    const qsizetype Start = P;
    while (P < N && AFormat[P].isDigit() && AFormat[P].unicode() < 128)
      ++P;
    if (P == Start)
      return false;
    bool Ok = false;
    AValue = AFormat.mid(Start, P - Start).toInt(&Ok);
    if (!Ok)
      invalidFormat(AFormat);
    return true;
  };

  while (P < N) {
    const QChar C = AFormat[P++];
    if (C != u'%') {
      Result += C;
      continue;
    }
    if (P >= N)
      invalidFormat(AFormat);
    if (AFormat[P] == u'%') {
      Result += u'%';
      ++P;
      continue;
    }

    int Width = -1;
    int Precision = -1;
    bool LeftAlign = false;
    int Number = 0;
    if (readNumber(Number)) {
      if (P < N && AFormat[P] == u':') {
        ++P;
        if (Number < 0)
          invalidFormat(AFormat);
        ArgIndex = Number;
      } else {
        Width = Number;
      }
    }
    if (Width < 0) {
      if (P < N && AFormat[P] == u'-') {
        LeftAlign = true;
        ++P;
      }
      if (readNumber(Number))
        Width = Number;
    }
    if (P < N && AFormat[P] == u'.') {
      ++P;
      if (!readNumber(Precision))
        Precision = 0;
    }
    if (P >= N)
      invalidFormat(AFormat);
    const QChar Type = AFormat[P++].toLower();
    const QVariant& Arg = nextArg();

    QString Text;
    switch (Type.unicode()) {
    case u'd':
    case u'u': {
      if (!isIntegral(Arg))
        invalidFormat(AFormat);
      const int Id = Arg.metaType().id();
      const bool Unsigned = Id == QMetaType::UInt || Id == QMetaType::ULongLong ||
                            Id == QMetaType::ULong || Id == QMetaType::UShort ||
                            Id == QMetaType::UChar;
      const qlonglong Signed = Arg.toLongLong();
      bool Negative = !Unsigned && Signed < 0;
      QString Digits;
      if (Unsigned)
        Digits = QString::number(Arg.toULongLong());
      else if (Negative && Type == u'u') {
        Digits = QString::number(static_cast<quint32>(Signed));
        Negative = false;
      } else
        Digits = QString::number(Negative ? 0ULL - static_cast<qulonglong>(Signed)
                                          : static_cast<qulonglong>(Signed));
      if (Precision > 0 && Digits.size() < Precision)
        Digits = QString(Precision - Digits.size(), u'0') + Digits;
      Text = (Negative ? QStringLiteral("-") : QString()) + Digits;
      break;
    }
    case u'x': {
      if (!isIntegral(Arg))
        invalidFormat(AFormat);
      const qlonglong V = Arg.toLongLong();
      const bool Wide =
          Arg.metaType().id() == QMetaType::LongLong || Arg.metaType().id() == QMetaType::ULongLong;
      Text = Wide ? QString::number(static_cast<qulonglong>(V), 16)
                  : QString::number(static_cast<quint32>(V), 16);
      Text = Text.toUpper();
      if (Precision > 0 && Text.size() < Precision)
        Text = QString(Precision - Text.size(), u'0') + Text;
      break;
    }
    case u'e':
    case u'f':
    case u'g':
    case u'n':
    case u'm': {
      if (!isFloat(Arg) && !isIntegral(Arg))
        invalidFormat(AFormat);
      const double V = Arg.toDouble();
      const QLocale C = QLocale::c();
      if (Type == u'e') {
        Text = C.toString(V, 'E', Precision < 0 ? 14 : qMax(0, Precision - 1));
      } else if (Type == u'g') {
        Text = C.toString(V, 'g', Precision < 0 ? 15 : Precision).toUpper();
      } else {
        const int Decimals = Precision < 0 ? 2 : Precision;
        Text = C.toString(V, 'f', Decimals);
        if (Type != u'f')
          Text = groupThousands(Text);
      }
      break;
    }
    case u'p': {
      if (!isIntegral(Arg))
        invalidFormat(AFormat);
      Text = QStringLiteral("%1").arg(Arg.toULongLong(), 16, 16, QChar(u'0')).toUpper();
      break;
    }
    case u's': {
      if (!isText(Arg))
        invalidFormat(AFormat);
      Text = Arg.toString();
      if (Precision >= 0 && Text.size() > Precision)
        Text.truncate(Precision);
      break;
    }
    default:
      invalidFormat(AFormat);
    }

    if (Width > 0 && Text.size() < Width) {
      const QString Pad(Width - Text.size(), u' ');
      Text = LeftAlign ? Text + Pad : Pad + Text;
    }
    Result += Text;
  }
  return Result;
}
