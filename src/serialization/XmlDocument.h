#pragma once
// The XML document engine under the serializer: an element tree whose
// attributes stay in insertion order ahead of the child elements and texts,
// the declaration and a style-sheet instruction, parsing on QXmlStreamReader
// and a writer of its own for the three layouts:
//   xfCompact  - the declaration line, then no added whitespace at all;
//   xfReadable - every element on a line of its own, one TAB per depth, an
//                element holding text only on one line, CR LF line ends;
//   xfPreserve - whitespace exactly as loaded, none added.
// The declaration is always followed by CR LF. Texts are written with the
// five entities, line breaks as CR LF, and characters XML 1.0 forbids as
// U+FFFD, so a file written is always a file that reads back.
//
// Loading resolves no external entity, bounds entity expansion and nesting
// depth, and refuses input above MaxXmlBytes and markup that would take the
// reader far longer than its size: an element of more than MaxXmlAttributes
// attributes, a DTD's attribute-list declarations and parameter entities,
// more than MaxXmlEntityReferences references to declared entities. Files
// are replaced atomically (a fresh file in the same folder, flushed, renamed
// over the path), so a link planted at the path is replaced, never followed.

#include "common/Exceptions.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <memory_resource>
#include <optional>
#include <utility>
#include <vector>

KELVANE_DECLARE_EXCEPTION(EXmlError, Exception)

enum TXmlFormatType { xfCompact, xfReadable, xfPreserve };

inline constexpr qint64 MaxXmlBytes = 64 * 1024 * 1024;
inline constexpr int MaxXmlDepth = 256;
inline constexpr qsizetype MaxXmlAttributes = 64;
inline constexpr qsizetype MaxXmlEntityReferences = 256;

class TXmlNode;
// Gives a node's memory back to where it came from.
struct TXmlNodeDeleter {
  void operator()(TXmlNode* ANode) const noexcept;
};
using TXmlNodePtr = std::unique_ptr<TXmlNode, TXmlNodeDeleter>;

class TXmlNode {
public:
  enum TKind { nkElement, nkAttribute, nkText };

  // Nodes and their child lists are made from AResource, their document's
  // memory, which hands it out in large blocks: a loaded file of many
  // records lies together in memory instead of scattered over the heap.
  static TXmlNodePtr Create(std::pmr::memory_resource* AResource, TKind AKind, QString AName,
                            QString AValue = {}, TXmlNode* AParent = nullptr);
  TXmlNode(std::pmr::memory_resource* AResource, TKind AKind, QString AName, QString AValue,
           TXmlNode* AParent);
  ~TXmlNode();
  TXmlNode(const TXmlNode&) = delete;
  TXmlNode& operator=(const TXmlNode&) = delete;

  TKind Kind() const { return FKind; }
  const QString& Name() const { return FName; }
  // An attribute's value or a text's content; empty for an element.
  const QString& Value() const { return FValue; }
  void SetValue(const QString& AValue) { FValue = AValue; }
  TXmlNode* Parent() const { return FParent; }
  // Attributes first (in insertion order), then elements and texts.
  const std::pmr::vector<TXmlNodePtr>& Children() const { return FChildren; }

  TXmlNode* AddElement(const QString& AName);
  // The element and its descendants take their memory from AResource.
  TXmlNode* AddElement(const QString& AName, std::pmr::memory_resource* AResource);
  TXmlNode* AddText(const QString& AText);
  TXmlNode* AddAttribute(const QString& AName, const QString& AValue);
  // The first child (attributes included) whose name equals AName without
  // regard to case; null when there is none.
  TXmlNode* FindChild(const QString& AName) const;
  TXmlNode* FindAttribute(const QString& AName) const;
  std::vector<TXmlNode*> ChildElements(const QString& AName = {}) const;
  bool HasChildElements() const;
  // The texts of the node's children joined.
  QString Text() const;
  void SetText(const QString& AText);
  void RemoveChild(const TXmlNode* AChild);
  bool IsAncestorOf(const TXmlNode* ANode) const;

private:
  friend struct TXmlNodeDeleter;
  std::pmr::memory_resource* FResource;
  TKind FKind;
  QString FName;
  QString FValue;
  TXmlNode* FParent;
  std::pmr::vector<TXmlNodePtr> FChildren;
};

class TXmlDocument {
public:
  TXmlDocument();

  TXmlFormatType Format() const { return FFormat; }
  void SetFormat(TXmlFormatType AFormat) { FFormat = AFormat; }

  // version="1.0" encoding="utf-8" unless a load or a caller changed them.
  std::vector<std::pair<QString, QString>>& Declaration() { return FDeclaration; }
  // The attributes of <?xml-stylesheet ...?>; nullopt when the document has none.
  std::optional<std::vector<std::pair<QString, QString>>>& StyleSheet() { return FStyleSheet; }

  TXmlNode* Root() const { return FRoot.get(); }
  TXmlNode* CreateRoot(const QString& AName);
  bool Contains(const TXmlNode* ANode) const;
  void Clear();

  QByteArray ToBytes() const;
  QString ToString() const { return QString::fromUtf8(ToBytes()); }
  // The root element alone, compact, without the declaration.
  QString RootXml() const;
  // Raises EXmlError naming ASource, and line and column for parse errors.
  void LoadFromBytes(const QByteArray& AData, const QString& ASource = QStringLiteral("(string)"));
  void LoadFromFile(const QString& AFileName);
  // Loads AFileName with the checks and errors of LoadFromFile, but one
  // element below the root at a time: while APart runs, the document holds
  // the root (its name and attributes) and one of its child elements, or
  // the root alone when it has none; that element's tree is gone before the
  // next one is read. Memory holds the file and one element's tree instead
  // of the tree of the whole file. A parse error anywhere raises, also
  // after parts were handed out.
  void LoadFromFileInParts(const QString& AFileName, const std::function<void()>& APart);
  void SaveToFile(const QString& AFileName) const;
  // Writes AFileName as SaveToFile would write a document whose root,
  // named ARootName, holds the elements that the calls of APart add below
  // it, in that order, but one part at a time: APart adds the next part (one
  // or more elements; anything else it adds below the root is not written)
  // and answers false, having added nothing, when there is no more. Each
  // part is written and gone before APart runs again, so memory holds the
  // text and one part's tree instead of the tree of the whole file. The
  // tree the document held is dropped first (the declaration, style sheet
  // and layout stay), and the root alone is left afterwards.
  void SaveToFileInParts(const QString& AFileName, const QString& ARootName,
                         const std::function<bool()>& APart);

private:
  void load(const QByteArray& AData, const QString& ASource, const std::function<void()>* APart);

  TXmlFormatType FFormat = xfCompact;
  std::vector<std::pair<QString, QString>> FDeclaration;
  std::optional<std::vector<std::pair<QString, QString>>> FStyleSheet;
  // Declared ahead of the root, so the root goes first.
  std::unique_ptr<std::pmr::monotonic_buffer_resource> FArena;
  TXmlNodePtr FRoot;
  // Whitespace read before the root (after the style sheet) and after it;
  // written back only in the preserving layout.
  QString FProlog;
  QString FEpilog;
};
