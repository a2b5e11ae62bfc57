#pragma once
// One fuzz target per parser of untrusted input. Each target feeds the
// bytes to the parser as the program would meet them and lets every
// exception the parser documents pass; a crash, a hang, a leak or undefined
// behaviour is what the fuzzer looks for.

#include "common/Exceptions.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

#define KELVANE_FUZZ_TARGET(Body)                                                                  \
  extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {            \
    const QByteArray Input(reinterpret_cast<const char*>(AData), qsizetype(ASize));                \
    try {                                                                                          \
      Body                                                                                         \
    } catch (const Exception&) {                                                                   \
    }                                                                                              \
    return 0;                                                                                      \
  }
