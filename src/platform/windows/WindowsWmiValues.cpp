#include "platform/windows/WindowsWmiValues.h"

#include <QVariantList>

#include <cstring>

namespace {

[[noreturn]] void badType(VARTYPE AType) {
  throw EOleException(
      QStringLiteral("Unsupported variant type 0x%1").arg(uint(AType), 4, 16, QLatin1Char('0')),
      DISP_E_BADVARTYPE);
}

template <class T> T read(const void* AData) {
  T Value;
  std::memcpy(&Value, AData, sizeof Value);
  return Value;
}

QString bstrText(BSTR AText) {
  if (!AText)
    return QLatin1String("");
  return QString::fromUtf16(reinterpret_cast<const char16_t*>(AText),
                            qsizetype(::SysStringLen(AText)));
}

// WMI sends 64-bit numbers as decimal text; anything else there is no
// number of the type, and passing it on as text would hide that.
QVariant number64(const QString& AText, CIMTYPE ABase) {
  bool Ok = false;
  QVariant Value = ABase == CIM_UINT64 ? QVariant::fromValue(AText.toULongLong(&Ok, 10))
                                       : QVariant::fromValue(AText.toLongLong(&Ok, 10));
  if (!Ok)
    throw EOleException(
        QStringLiteral("Not a %1-bit number: \"%2\"")
            .arg(ABase == CIM_UINT64 ? QLatin1String("unsigned 64") : QLatin1String("signed 64"))
            .arg(AText),
        DISP_E_TYPEMISMATCH);
  return Value;
}

// A 32-bit integer as its CIM type means it: uint32 and uint16 arrive as
// VT_I4, and a uint32 above 2^31 then reads negative.
QVariant integer32(qint32 AValue, CIMTYPE ABase) {
  switch (ABase) {
  case CIM_UINT32:
    return QVariant::fromValue(quint32(AValue));
  case CIM_UINT16:
  case CIM_CHAR16:
  case CIM_UINT8:
    return QVariant::fromValue(quint16(AValue));
  case CIM_SINT16:
  case CIM_SINT8:
    return QVariant::fromValue(qint16(AValue));
  default:
    return QVariant::fromValue(AValue);
  }
}

QVariant scalar(VARTYPE AType, const void* AData, CIMTYPE ABase);

QVariant array(const SAFEARRAY* AArray, VARTYPE AElementType, CIMTYPE ABase) {
  QVariantList Items;
  if (!AArray)
    return Items;
  if (::SafeArrayGetDim(const_cast<SAFEARRAY*>(AArray)) != 1)
    badType(VARTYPE(VT_ARRAY | AElementType));
  const ULONG Count = AArray->rgsabound[0].cElements;
  const ULONG Size = AArray->cbElements;
  if (Count == 0)
    return Items;
  void* Data = nullptr;
  CheckOle(::SafeArrayAccessData(const_cast<SAFEARRAY*>(AArray), &Data),
           QStringLiteral("SafeArrayAccessData"));
  // Unlocked on every way out, an unsupported element type included.
  struct TUnaccess {
    SAFEARRAY* Array;
    ~TUnaccess() { ::SafeArrayUnaccessData(Array); }
  } Unaccess{const_cast<SAFEARRAY*>(AArray)};
  Items.reserve(qsizetype(Count));
  for (ULONG I = 0; I < Count; ++I) {
    const void* Element = static_cast<const char*>(Data) + std::size_t(I) * Size;
    if (AElementType == VT_VARIANT) {
      const VARIANT* Item = static_cast<const VARIANT*>(Element);
      // Arrays inside arrays have no form in the port.
      if (V_VT(Item) & (VT_ARRAY | VT_BYREF))
        badType(V_VT(Item));
      Items << scalar(V_VT(Item), &V_UI1(Item), ABase);
    } else {
      Items << scalar(AElementType, Element, ABase);
    }
  }
  return Items;
}

// One value of AType stored at AData: a VARIANT's union, or an array element,
// which hold the same value types the same way.
QVariant scalar(VARTYPE AType, const void* AData, CIMTYPE ABase) {
  switch (AType) {
  case VT_EMPTY:
  case VT_NULL:
    return QVariant();
  case VT_BSTR: {
    const QString Text = bstrText(read<BSTR>(AData));
    return ABase == CIM_SINT64 || ABase == CIM_UINT64 ? number64(Text, ABase) : QVariant(Text);
  }
  case VT_BOOL:
    return read<VARIANT_BOOL>(AData) != VARIANT_FALSE;
  case VT_I1:
    return QVariant::fromValue(qint16(read<signed char>(AData)));
  case VT_UI1:
    return QVariant::fromValue(quint16(read<unsigned char>(AData)));
  case VT_I2:
    return integer32(read<SHORT>(AData), ABase);
  case VT_UI2:
    return QVariant::fromValue(quint16(read<USHORT>(AData)));
  case VT_I4:
  case VT_INT:
    return integer32(read<LONG>(AData), ABase);
  case VT_UI4:
  case VT_UINT:
    return QVariant::fromValue(quint32(read<ULONG>(AData)));
  case VT_I8: {
    const qint64 Value = read<LONGLONG>(AData);
    return ABase == CIM_UINT64 ? QVariant::fromValue(quint64(Value)) : QVariant::fromValue(Value);
  }
  case VT_UI8:
    return QVariant::fromValue(quint64(read<ULONGLONG>(AData)));
  case VT_R4:
    return QVariant::fromValue(read<float>(AData));
  case VT_R8:
    return QVariant::fromValue(read<double>(AData));
  default:
    badType(AType);
  }
}

} // namespace

QVariant WmiValue(const VARIANT& AValue, CIMTYPE ACimType) {
  const VARTYPE Type = V_VT(&AValue);
  const CIMTYPE Base = ACimType & ~CIM_FLAG_ARRAY;
  if (Type & VT_BYREF)
    badType(Type);
  if (Type & VT_ARRAY)
    return array(V_ARRAY(&AValue), VARTYPE(Type & ~VT_ARRAY), Base);
  return scalar(Type, &V_UI1(&AValue), Base);
}

bool AddWmiProperty(TWmiObject& AObject, const QString& AName, const VARIANT& AValue,
                    CIMTYPE ACimType) {
  QVariant Value;
  try {
    Value = WmiValue(AValue, ACimType);
  } catch (const EOleException&) {
    return false;
  }
  AObject.Set(AName, int(ACimType), Value);
  return true;
}
