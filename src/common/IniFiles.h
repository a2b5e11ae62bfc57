#pragma once
// An INI file read once into memory: sections and keys found without
// regard to letter case (QSettings compares keys exactly on Linux and reads
// "%" escapes and "/" as groups, neither of which such files mean).
//
// "[section]" starts a section; "key=value" lines belong to it, key and
// value trimmed of blanks; lines starting with ";" or "#" are comments. The
// text is UTF-8 (byte-order mark optional) or UTF-16 LE with its mark.
// Input above MaxIniBytes is not read; the first of a repeated key counts.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

inline constexpr qint64 MaxIniBytes = 1024 * 1024;

class TMemIniFile {
public:
  void LoadFromBytes(const QByteArray& AData);
  QString ReadString(const QString& ASection, const QString& AIdent, const QString& ADefault) const;
  bool SectionExists(const QString& ASection) const;
  QStringList Sections() const;

private:
  struct TSection {
    QString Name;
    std::vector<std::pair<QString, QString>> Values;
  };
  const TSection* section(const QString& AName) const;

  std::vector<TSection> FSections;
};
