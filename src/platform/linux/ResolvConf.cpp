#include "platform/linux/ResolvConf.h"

#include <arpa/inet.h>

namespace {
bool isComment(const QByteArray& AWord) {
  return AWord.startsWith('#') || AWord.startsWith(';');
}

// A domain as it may appear in a search list: one printable word.
QString domainText(const QByteArray& AWord) {
  QString Result = QString::fromUtf8(AWord.left(255));
  for (QChar& C : Result)
    if (C.unicode() < 0x20 || C.unicode() == 0x7F)
      C = u' ';
  return Result;
}

bool isAddress(const QByteArray& AText) {
  unsigned char Buffer[16];
  return inet_pton(AF_INET, AText.constData(), Buffer) == 1 ||
         inet_pton(AF_INET6, AText.constData(), Buffer) == 1;
}
} // namespace

bool TResolverConfig::IsResolvedStub() const {
  return NameServers == QStringList{QStringLiteral("127.0.0.53")};
}

TResolverConfig ParseResolverConfig(const QByteArray& AText) {
  TResolverConfig Config;
  for (const QByteArray& Line : AText.split('\n')) {
    if (isComment(Line))
      continue;
    QList<QByteArray> Words = Line.simplified().split(' ');
    for (qsizetype I = 1; I < Words.size(); ++I)
      if (isComment(Words[I])) {
        Words.resize(I);
        break;
      }
    if (Words.size() < 2)
      continue;
    if (Words[0] == "nameserver") {
      if (Config.NameServers.size() >= TResolverConfig::MaxNameServers)
        continue;
      QByteArray Server = Words[1];
      // A zone suffix is not part of the address Windows shows.
      if (const qsizetype Zone = Server.indexOf('%'); Zone >= 0)
        Server.truncate(Zone);
      if (isAddress(Server))
        Config.NameServers << QString::fromLatin1(Server);
    } else if (Words[0] == "domain") {
      Config.Search = {domainText(Words[1])};
    } else if (Words[0] == "search") {
      Config.Search.clear();
      for (qsizetype I = 1; I < Words.size() && I <= TResolverConfig::MaxSearchDomains; ++I)
        Config.Search << domainText(Words[I]);
    }
  }
  Config.Domain = Config.Search.value(0);
  return Config;
}
