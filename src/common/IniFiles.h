#pragma once
// An INI file read once into memory: sections and keys found without
// regard to letter case (QSettings compares keys exactly on Linux and reads
// "%" escapes and "/" as groups, neither of which such files mean).
//
// "[section]" starts a section; "key=value" lines belong to it, key and
// value trimmed of blanks; lines starting with ";" or "#" are comments. The
// text is UTF-8 (byte-order mark optional) or UTF-16 LE with its mark.
// Input above MaxIniBytes is not read; the first of a repeated key counts.
// Sections and keys are found through hashes of their case-folded names, so
// a file of many thousand sections loads in time proportional to its size.

#include <QByteArray>
#include <QHash>
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
    QHash<QString, QString> Values; // case-folded key → value
  };
  const TSection* section(const QString& AName) const;

  std::vector<TSection> FSections;         // in file order
  QHash<QString, qsizetype> FSectionIndex; // case-folded name → position
};
