#include "platform/Registry.h"

#include <QtEndian>

namespace {
QByteArray utf16Bytes(const QString& S) {
  QByteArray Bytes;
  Bytes.reserve((S.size() + 1) * 2);
  for (QChar C : S) {
    Bytes.append(static_cast<char>(C.unicode() & 0xFF));
    Bytes.append(static_cast<char>(C.unicode() >> 8));
  }
  return Bytes;
}

QString fromUtf16Bytes(const QByteArray& ABytes) {
  QString Result;
  Result.reserve(ABytes.size() / 2);
  for (qsizetype I = 0; I + 1 < ABytes.size(); I += 2)
    Result += QChar(static_cast<char16_t>(uchar(ABytes[I]) | (uchar(ABytes[I + 1]) << 8)));
  return Result;
}
} // namespace

TRegValue TRegValue::String(const QString& S, DWORD AType) {
  return {AType, utf16Bytes(S) + QByteArray(2, '\0')};
}

TRegValue TRegValue::Dword(std::uint32_t V) {
  QByteArray Bytes(4, '\0');
  qToLittleEndian(V, Bytes.data());
  return {REG_DWORD, Bytes};
}

TRegValue TRegValue::Qword(std::uint64_t V) {
  QByteArray Bytes(8, '\0');
  qToLittleEndian(V, Bytes.data());
  return {REG_QWORD, Bytes};
}

TRegValue TRegValue::Binary(const QByteArray& B, DWORD AType) {
  return {AType, B};
}

TRegValue TRegValue::MultiString(const QStringList& L) {
  QByteArray Bytes;
  for (const QString& S : L)
    Bytes += utf16Bytes(S) + QByteArray(2, '\0');
  Bytes += QByteArray(2, '\0');
  return {REG_MULTI_SZ, Bytes};
}

QString TRegValue::AsString() const {
  QString S = fromUtf16Bytes(Data);
  const qsizetype Nul = S.indexOf(QChar(0));
  return Nul < 0 ? S : S.left(Nul);
}

QStringList TRegValue::AsMultiString() const {
  QStringList Result;
  const QString S = fromUtf16Bytes(Data);
  qsizetype Start = 0;
  while (Start < S.size()) {
    const qsizetype Nul = S.indexOf(QChar(0), Start);
    const QString Item = S.mid(Start, (Nul < 0 ? S.size() : Nul) - Start);
    // An empty string ends the list.
    if (Item.isEmpty())
      break;
    Result << Item;
    if (Nul < 0)
      break;
    Start = Nul + 1;
  }
  return Result;
}

bool TRegValue::AsDword(std::uint32_t& V) const {
  if (Data.size() < 4)
    return false;
  V = qFromLittleEndian<std::uint32_t>(Data.constData());
  return true;
}

bool TRegValue::AsQword(std::uint64_t& V) const {
  if (Data.size() < 8)
    return false;
  V = qFromLittleEndian<std::uint64_t>(Data.constData());
  return true;
}
