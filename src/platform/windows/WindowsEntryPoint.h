#pragma once
// Entry points that some Windows versions lack, looked up by name in a module
// the process has already loaded (never loaded for the purpose).

#include "platform/windows/WindowsErrorText.h"

// Null when the module is not loaded or does not export AName.
template <class TFunction> TFunction EntryPoint(const wchar_t* AModule, const char* AName) {
  const HMODULE Module = ::GetModuleHandleW(AModule);
  if (!Module)
    return nullptr;
  // A cast through void (*)() is the one the compiler accepts between
  // function types that differ.
  return reinterpret_cast<TFunction>(reinterpret_cast<void (*)()>(::GetProcAddress(Module, AName)));
}
