#include "common/IniFiles.h"

#include <QStringDecoder>

void TMemIniFile::LoadFromBytes(const QByteArray& AData) {
  FSections.clear();
  FSectionIndex.clear();
  if (AData.size() > MaxIniBytes)
    return;
  QString Text;
  if (AData.startsWith("\xFF\xFE"))
    Text = QStringDecoder(QStringDecoder::Utf16LE)(AData.mid(2));
  else
    Text = QString::fromUtf8(AData.startsWith("\xEF\xBB\xBF") ? AData.mid(3) : AData);
  TSection* Current = nullptr;
  for (const QString& RawLine : Text.split(u'\n')) {
    const QString Line = RawLine.trimmed();
    if (Line.isEmpty() || Line.startsWith(u';') || Line.startsWith(u'#'))
      continue;
    if (Line.startsWith(u'[') && Line.endsWith(u']')) {
      const QString Name = Line.mid(1, Line.size() - 2).trimmed();
      // A repeated section adds to the first of its name.
      const QString Folded = Name.toCaseFolded();
      auto Slot = FSectionIndex.constFind(Folded);
      if (Slot == FSectionIndex.constEnd()) {
        Slot = FSectionIndex.insert(Folded, qsizetype(FSections.size()));
        FSections.push_back({Name, {}});
      }
      Current = &FSections[*Slot];
      continue;
    }
    const qsizetype Equals = Line.indexOf(u'=');
    if (!Current || Equals <= 0)
      continue;
    const QString Key = Line.left(Equals).trimmed().toCaseFolded();
    if (!Current->Values.contains(Key))
      Current->Values.insert(Key, Line.mid(Equals + 1).trimmed());
  }
}

const TMemIniFile::TSection* TMemIniFile::section(const QString& AName) const {
  const auto It = FSectionIndex.constFind(AName.toCaseFolded());
  return It == FSectionIndex.constEnd() ? nullptr : &FSections[*It];
}

QString TMemIniFile::ReadString(const QString& ASection, const QString& AIdent,
                                const QString& ADefault) const {
  if (const TSection* Section = section(ASection))
    if (const auto It = Section->Values.constFind(AIdent.toCaseFolded());
        It != Section->Values.constEnd())
      return *It;
  return ADefault;
}

bool TMemIniFile::SectionExists(const QString& ASection) const {
  return section(ASection) != nullptr;
}

QStringList TMemIniFile::Sections() const {
  QStringList Names;
  for (const TSection& Section : FSections)
    Names << Section.Name;
  return Names;
}
