#include "FuzzMain.h"

#include "platform/linux/LinuxSnapshot.h"

// A snapshot that is read back is saved again: whatever the reader accepts,
// the whole machine it describes must be usable.
KELVANE_FUZZ_TARGET({
  QString Error;
  if (const std::shared_ptr<TLinuxFacts> Facts = SnapshotFromJson(Input, Error))
    (void)SnapshotToJson(Facts->All());
})
