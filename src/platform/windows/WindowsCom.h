#pragma once
// Owners for what COM hands out (interface pointers, BSTRs, VARIANTs) and
// for COM on the calling thread, so that no error path leaks one or leaves
// the thread's COM initialised once too often.

#include "platform/windows/WindowsErrorText.h"

#include <ole2.h>
#include <oleauto.h>

#include <QString>

#include <utility>

// An interface pointer released with its owner.
template <class T> class TComPtr {
public:
  TComPtr() = default;
  ~TComPtr() { Reset(); }
  TComPtr(const TComPtr&) = delete;
  TComPtr& operator=(const TComPtr&) = delete;
  TComPtr(TComPtr&& AOther) noexcept : FPointer(std::exchange(AOther.FPointer, nullptr)) {}
  TComPtr& operator=(TComPtr&& AOther) noexcept {
    if (this != &AOther) {
      Reset();
      FPointer = std::exchange(AOther.FPointer, nullptr);
    }
    return *this;
  }

  T* Get() const noexcept { return FPointer; }
  T* operator->() const noexcept { return FPointer; }
  explicit operator bool() const noexcept { return FPointer != nullptr; }
  // For an out parameter: whatever was held is released first.
  T** Put() noexcept {
    Reset();
    return &FPointer;
  }
  void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }
  void Reset() noexcept {
    if (FPointer)
      std::exchange(FPointer, nullptr)->Release();
  }

private:
  T* FPointer = nullptr;
};

// A BSTR freed with its owner. A null BSTR is COM's empty text.
class TBstr {
public:
  TBstr() = default;
  // Embedded NULs stay: a BSTR carries its length.
  explicit TBstr(const QString& AText)
      : FText(::SysAllocStringLen(reinterpret_cast<const OLECHAR*>(AText.utf16()),
                                  UINT(AText.size()))) {}
  ~TBstr() { ::SysFreeString(FText); }
  TBstr(const TBstr&) = delete;
  TBstr& operator=(const TBstr&) = delete;

  BSTR Get() const noexcept { return FText; }
  BSTR* Put() noexcept {
    ::SysFreeString(std::exchange(FText, nullptr));
    return &FText;
  }
  QString Text() const {
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(FText),
                              qsizetype(::SysStringLen(FText)));
  }

private:
  BSTR FText = nullptr;
};

// A VARIANT cleared with its owner (which frees its BSTR, array or interface).
class TVariant {
public:
  TVariant() noexcept { ::VariantInit(&FValue); }
  ~TVariant() { ::VariantClear(&FValue); }
  TVariant(const TVariant&) = delete;
  TVariant& operator=(const TVariant&) = delete;

  const VARIANT& Get() const noexcept { return FValue; }
  VARIANT* Put() noexcept {
    ::VariantClear(&FValue);
    return &FValue;
  }

private:
  VARIANT FValue;
};

// COM on the calling thread for the owner's lifetime. A thread that already
// runs in the other apartment model keeps it (COM is usable there too) and
// is not uninitialised by us; every initialisation that succeeded, the
// repeated one (S_FALSE) included, is balanced by one CoUninitialize on the
// same thread.
class TComApartment {
public:
  // Raises EOleException when COM cannot be initialised at all.
  explicit TComApartment(DWORD AModel = COINIT_APARTMENTTHREADED);
  ~TComApartment();
  TComApartment(const TComApartment&) = delete;
  TComApartment& operator=(const TComApartment&) = delete;

  DWORD Thread() const noexcept { return FThread; }

private:
  bool FInitialized = false;
  DWORD FThread = 0;
};

// The EOleException for a failed COM or WMI call: the code, a text for it
// and the call (ASource) that gave it.
[[noreturn]] void RaiseOleError(HRESULT ACode, const QString& ASource);
inline void CheckOle(HRESULT ACode, const QString& ASource) {
  if (FAILED(ACode))
    RaiseOleError(ACode, ASource);
}
