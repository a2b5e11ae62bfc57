#pragma once
// Text rules shared by the layers: trimming (every character up to code 32
// counts as blank, NUL included), case-insensitive comparison, and the
// comma-text form of string lists.

#include <QString>
#include <QStringList>

#include <cstddef>

QString Trim(const QString& S);
QString TrimLeft(const QString& S);
QString TrimRight(const QString& S);

// Case-insensitive equality and ordering of whole texts.
bool SameText(const QString& A, const QString& B);
int CompareText(const QString& A, const QString& B);
// A hash that agrees with SameText (texts it calls equal hash alike), so
// that a hashed look-up finds what a search with SameText would find.
std::size_t SameTextHash(QStringView AText);
struct TSameTextHash {
  std::size_t operator()(const QString& AText) const { return SameTextHash(AText); }
};
struct TSameText {
  bool operator()(const QString& A, const QString& B) const { return SameText(A, B); }
};

// Comma text of a list: items joined by ","; an item holding a character up
// to code 32, a '"' or a ',' is enclosed in '"' with inner '"' doubled. A list
// of one empty item is "\"\"". The text ends at the first NUL of an item.
QString CommaText(const QStringList& AItems);

// The inverse: items are separated by ',' and by blanks outside quotes; a
// '"' starts a quoted item in which '""' stands for '"'; a trailing ',' adds
// one empty item. The text is read up to its first NUL.
QStringList SplitCommaText(const QString& AText);

// Removes one pair of enclosing quotes (both ' or both ") when the text is
// longer than one character; otherwise the text unchanged.
QString RemoveEnclosingQuotes(const QString& AText);

// Digits and an optional sign only; no blanks, no hexadecimal.
bool TryStrToInt(const QString& S, int& AValue);
int StrToIntDef(const QString& S, int ADefault);

// True for a C0 control (code 0 to 31), DEL (127) or a C1 control (128 to
// 159): characters that start, split or colour a line on a terminal.
bool IsControlCharacter(QChar C);
// Each control character replaced by U+FFFD: a value shown or exported can
// then neither add nor split a line, nor send a terminal sequence.
QString ReplaceControlCharacters(const QString& AText);
// Each control character written as \t, \n, \r or \xHH (C1 too), for
// messages that must still tell exactly which name they mean.
QString EscapeControlCharacters(const QString& AText);
