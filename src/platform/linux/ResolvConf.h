#pragma once
// The one reader of resolv.conf texts, with the C library's rules: lines
// with "#" or ";" in the first column are comments, and so is the rest of a
// line from a word that begins with one; the last "search" or "domain" line
// decides the search list ("domain" gives a list of one), and the local
// domain is its first entry; only name servers whose address parses count,
// a zone suffix dropped, at most as many as the resolver asks (MaxNameServers).

#include <QByteArray>
#include <QString>
#include <QStringList>

struct TResolverConfig {
  static constexpr int MaxNameServers = 3;
  static constexpr int MaxSearchDomains = 32;

  QStringList NameServers; // IPv4 dotted quads and IPv6 texts, as written
  QStringList Search;
  QString Domain;

  // Only the local stub of systemd-resolved is listed: the servers it asks
  // are in its own file.
  bool IsResolvedStub() const;
  bool operator==(const TResolverConfig&) const = default;
};

TResolverConfig ParseResolverConfig(const QByteArray& AText);
