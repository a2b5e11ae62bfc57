#include "FuzzMain.h"

#include "inventory/IPAddressHelpers.h"

// The text helpers read address texts the adapter queries give; the input
// up to its first line break is the address list, the rest the mask list.
KELVANE_FUZZ_TARGET({
  const QString Text = QString::fromUtf8(Input);
  const qsizetype Break = Text.indexOf(u'\n');
  const QString Addresses = Break < 0 ? Text : Text.left(Break);
  const QString Masks = Break < 0 ? QString() : Text.mid(Break + 1);
  (void)BytesToHexString(Input);
  (void)GetIPVersion(Text);
  (void)FirstIPv4ToFilledZero(Text);
  (void)IsLinkLocalIPv6(Text);
  (void)GetNetworkAddress(Addresses, Masks);
})
