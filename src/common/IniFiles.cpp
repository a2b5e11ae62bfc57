#include "common/IniFiles.h"

#include <QStringDecoder>

void TMemIniFile::LoadFromBytes(const QByteArray& AData) {
  FSections.clear();
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
      Current = const_cast<TSection*>(section(Name));
      if (!Current) {
        FSections.push_back({Name, {}});
        Current = &FSections.back();
      }
      continue;
    }
    const qsizetype Equals = Line.indexOf(u'=');
    if (!Current || Equals <= 0)
      continue;
    Current->Values.emplace_back(Line.left(Equals).trimmed(), Line.mid(Equals + 1).trimmed());
  }
}

const TMemIniFile::TSection* TMemIniFile::section(const QString& AName) const {
  for (const TSection& Section : FSections)
    if (Section.Name.compare(AName, Qt::CaseInsensitive) == 0)
      return &Section;
  return nullptr;
}

QString TMemIniFile::ReadString(const QString& ASection, const QString& AIdent,
                                const QString& ADefault) const {
  if (const TSection* Section = section(ASection))
    for (const auto& [Key, Value] : Section->Values)
      if (Key.compare(AIdent, Qt::CaseInsensitive) == 0)
        return Value;
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
