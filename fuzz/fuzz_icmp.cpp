#include "FuzzMain.h"

#include "platform/linux/LinuxPing.h"

#include <span>

namespace {
// The first byte says how the packet came: bit 0 from a raw socket (IPv4
// header in front), bit 1 from the host pinged rather than a stranger. The
// rest is the packet, read against an echo to 10.0.0.1, identifier 0x1234,
// sequence 1.
void readPacket(const std::uint8_t* AData, std::size_t ASize) {
  if (ASize == 0)
    return;
  TLinuxPingStatusProvider::TEchoRequest Request;
  Request.Target = 0x0A000001;
  Request.Identifier = 0x1234;
  Request.Sequence = 1;
  const std::uint32_t Source = (AData[0] & 2) ? Request.Target : 0x0A0000FE;
  (void)TLinuxPingStatusProvider::ReadReply(std::span<const unsigned char>(AData + 1, ASize - 1),
                                            (AData[0] & 1) != 0, Source, Request);
}
} // namespace

KELVANE_FUZZ_TARGET({ readPacket(AData, ASize); })
