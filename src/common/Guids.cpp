#include "common/Guids.h"

#include <atomic>
#include <mutex>

namespace {
std::mutex SourceLock;
TGuidSource Source;
} // namespace

QString GuidToString(const QUuid& AGuid) {
  return AGuid.toString(QUuid::WithBraces).toUpper();
}

QString CreateGuidString() {
  TGuidSource Current;
  {
    std::lock_guard Lock(SourceLock);
    Current = Source;
  }
  return GuidToString(Current ? Current() : QUuid::createUuid());
}

TGuidSource ReplaceGuidSource(TGuidSource ASource) {
  std::lock_guard Lock(SourceLock);
  return std::exchange(Source, std::move(ASource));
}

TScopedCountingGuids::TScopedCountingGuids()
    : FPrevious(ReplaceGuidSource([Next = std::make_shared<std::atomic<uint>>(0)] {
        return QUuid(++*Next, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
      })) {}

TScopedCountingGuids::~TScopedCountingGuids() {
  ReplaceGuidSource(std::move(FPrevious));
}
