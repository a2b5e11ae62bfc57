#pragma once
// What a WMI property's VARIANT becomes in the port: the VARIANT type says
// what is stored, the CIM type what it means. WMI hands uint16 and uint32 as
// VT_I4 and both 64-bit types as decimal text (VT_BSTR), so there the CIM
// type decides; datetimes and references stay the text WMI gives (DMTF form
// "yyyymmddHHMMSS.mmmmmmsUUU" for a datetime).

#include "platform/Wmi.h"
#include "platform/windows/WindowsCom.h"

#include <wbemidl.h>

// Null and empty VARIANTs give an invalid QVariant; texts QString (an empty
// BSTR, null or not, the empty text); Booleans bool; numbers the width and
// signedness of their CIM type, except that 8-bit values come as 16-bit ones
// (Qt takes an 8-bit value for a character: 200 would read as "È"), char16
// as its code unit (quint16, the number WMI's scripting gives); reals
// float/double; one-dimensional SAFEARRAYs of these a QVariantList (an empty
// array an empty list). Raises EOleException(DISP_E_BADVARTYPE) for a
// VARIANT type the port has no value for (objects, currency, by-reference
// values, arrays of arrays or of more dimensions) and
// EOleException(DISP_E_TYPEMISMATCH) for 64-bit text that is no number of
// its type.
QVariant WmiValue(const VARIANT& AValue, CIMTYPE ACimType);

// Sets the property on AObject unless its value has no form in the port; such
// a property is left out (false), so a report reading it finds it missing, as
// a property whose reading failed, while the object's other properties stay.
bool AddWmiProperty(TWmiObject& AObject, const QString& AName, const VARIANT& AValue,
                    CIMTYPE ACimType);
