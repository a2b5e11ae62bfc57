#include "platform/Platform.h"

#include <atomic>

namespace {
std::atomic<Platform*> Installed{nullptr};
} // namespace

Platform& Platform::current() {
  if (Platform* P = Installed.load(std::memory_order_acquire))
    return *P;
  return DefaultPlatform();
}

ScopedPlatform::ScopedPlatform(Platform& APlatform)
    : FPrevious(Installed.exchange(&APlatform, std::memory_order_acq_rel)) {}

ScopedPlatform::~ScopedPlatform() {
  Installed.store(FPrevious, std::memory_order_release);
}
