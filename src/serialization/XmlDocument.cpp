#include "serialization/XmlDocument.h"

#include "platform/AtomicFile.h"
#include "platform/Files.h"

#include <QBuffer>
#include <QScopeGuard>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include <algorithm>
#include <utility>

// ---- nodes -----------------------------------------------------------------

namespace {
// Case folding maps each UTF-16 unit to one unit, so names of different
// lengths never match; checking that first keeps look-ups in wide records
// cheap.
// ASCII names, all of this system's, are compared here; anything else goes
// to Qt's full case folding.
bool sameName(const QString& A, const QString& B) {
  if (A.size() != B.size())
    return false;
  const QChar* P = A.constData();
  const QChar* Q = B.constData();
  for (qsizetype I = 0; I < A.size(); ++I) {
    const char16_t X = P[I].unicode(), Y = Q[I].unicode();
    if (X == Y)
      continue;
    if ((X | Y) >= 0x80)
      return A.compare(B, Qt::CaseInsensitive) == 0;
    const char16_t Lower = X | 0x20;
    if (Lower != (Y | 0x20) || Lower < u'a' || Lower > u'z')
      return false;
  }
  return true;
}
} // namespace

void TXmlNodeDeleter::operator()(TXmlNode* ANode) const noexcept {
  std::pmr::memory_resource* Resource = ANode->FResource;
  ANode->~TXmlNode();
  Resource->deallocate(ANode, sizeof(TXmlNode), alignof(TXmlNode));
}

TXmlNodePtr TXmlNode::Create(std::pmr::memory_resource* AResource, TKind AKind, QString AName,
                             QString AValue, TXmlNode* AParent) {
  void* Memory = AResource->allocate(sizeof(TXmlNode), alignof(TXmlNode));
  try {
    return TXmlNodePtr(
        new (Memory) TXmlNode(AResource, AKind, std::move(AName), std::move(AValue), AParent));
  } catch (...) {
    AResource->deallocate(Memory, sizeof(TXmlNode), alignof(TXmlNode));
    throw;
  }
}

TXmlNode::TXmlNode(std::pmr::memory_resource* AResource, TKind AKind, QString AName, QString AValue,
                   TXmlNode* AParent)
    : FResource(AResource), FKind(AKind), FName(std::move(AName)), FValue(std::move(AValue)),
      FParent(AParent), FChildren(AResource) {}

TXmlNode::~TXmlNode() {
  // Deep trees are taken apart level by level rather than by recursion.
  std::vector<TXmlNodePtr> Pending;
  for (auto& Child : FChildren)
    if (!Child->FChildren.empty())
      Pending.push_back(std::move(Child));
  FChildren.clear();
  while (!Pending.empty()) {
    TXmlNodePtr Node = std::move(Pending.back());
    Pending.pop_back();
    // Leaves go with their parent; only nodes with children of their own
    // need a turn here.
    for (auto& Child : Node->FChildren)
      if (!Child->FChildren.empty())
        Pending.push_back(std::move(Child));
    Node->FChildren.clear();
  }
}

TXmlNode* TXmlNode::AddElement(const QString& AName) {
  return AddElement(AName, FResource);
}

TXmlNode* TXmlNode::AddElement(const QString& AName, std::pmr::memory_resource* AResource) {
  FChildren.push_back(Create(AResource, nkElement, AName, QString(), this));
  return FChildren.back().get();
}

TXmlNode* TXmlNode::AddText(const QString& AText) {
  FChildren.push_back(Create(FResource, nkText, QString(), AText, this));
  return FChildren.back().get();
}

TXmlNode* TXmlNode::AddAttribute(const QString& AName, const QString& AValue) {
  auto Position = FChildren.begin();
  while (Position != FChildren.end() && (*Position)->Kind() == nkAttribute)
    ++Position;
  return FChildren.insert(Position, Create(FResource, nkAttribute, AName, AValue, this))->get();
}

TXmlNode* TXmlNode::FindChild(const QString& AName) const {
  for (const auto& Child : FChildren)
    if (Child->Kind() != nkText && sameName(Child->Name(), AName))
      return Child.get();
  return nullptr;
}

TXmlNode* TXmlNode::FindAttribute(const QString& AName) const {
  for (const auto& Child : FChildren) {
    if (Child->Kind() != nkAttribute)
      break;
    if (sameName(Child->Name(), AName))
      return Child.get();
  }
  return nullptr;
}

std::vector<TXmlNode*> TXmlNode::ChildElements(const QString& AName) const {
  std::vector<TXmlNode*> Result;
  for (const auto& Child : FChildren)
    if (Child->Kind() == nkElement && (AName.isEmpty() || sameName(Child->Name(), AName)))
      Result.push_back(Child.get());
  return Result;
}

bool TXmlNode::HasChildElements() const {
  for (const auto& Child : FChildren)
    if (Child->Kind() == nkElement)
      return true;
  return false;
}

QString TXmlNode::Text() const {
  QString Result;
  for (const auto& Child : FChildren)
    if (Child->Kind() == nkText)
      Result += Child->Value();
  return Result;
}

void TXmlNode::SetText(const QString& AText) {
  std::erase_if(FChildren, [](const auto& Child) { return Child->Kind() == nkText; });
  if (!AText.isEmpty())
    AddText(AText);
}

void TXmlNode::RemoveChild(const TXmlNode* AChild) {
  std::erase_if(FChildren, [&](const auto& Child) { return Child.get() == AChild; });
}

bool TXmlNode::IsAncestorOf(const TXmlNode* ANode) const {
  for (const TXmlNode* Node = ANode; Node; Node = Node->Parent())
    if (Node == this)
      return true;
  return false;
}

// ---- writing -----------------------------------------------------------------

namespace {

// The document is written straight as UTF-8 into one buffer that grows by
// doubling; its size is trimmed once at the end.
class TUtf8Out {
public:
  TUtf8Out& operator+=(QStringView AText) {
    char* End = FEncoder.appendToBuffer(room(3 * AText.size()), AText);
    FSize = End - FBytes.constData();
    return *this;
  }
  TUtf8Out& operator+=(const QString& AText) { return *this += QStringView(AText); }
  TUtf8Out& operator+=(QLatin1String AText) { // ASCII only
    std::memcpy(room(AText.size()), AText.data(), std::size_t(AText.size()));
    FSize += AText.size();
    return *this;
  }
  TUtf8Out& operator+=(char AChar) { // ASCII only
    *room(1) = AChar;
    ++FSize;
    return *this;
  }
  void Tabs(int ACount) {
    std::memset(room(ACount), '\t', std::size_t(ACount));
    FSize += ACount;
  }
  QByteArray Take() {
    FBytes.truncate(FSize);
    return std::move(FBytes);
  }

private:
  char* room(qsizetype ACount) {
    if (FSize + ACount > FBytes.size())
      FBytes.resize(std::max(2 * FBytes.size(), FSize + ACount + 4096));
    return FBytes.data() + FSize;
  }
  QByteArray FBytes;
  qsizetype FSize = 0;
  QStringEncoder FEncoder{QStringEncoder::Utf8};
};

bool needsEscape(char16_t C) {
  return C < 0x20 || C == u'&' || C == u'<' || C == u'>' || C == u'"' || C == u'\'' ||
         (C >= 0xD800 && C <= 0xDFFF) || C >= 0xFFFE;
}

// Appends AText with the five entities, CR LF for every line break, U+FFFD
// for what XML 1.0 cannot carry (control characters, lone surrogates,
// U+FFFE, U+FFFF). Most texts need none of it and are appended whole.
void appendEscaped(TUtf8Out& AOut, QStringView AText) {
  if (std::none_of(AText.begin(), AText.end(), [](QChar C) { return needsEscape(C.unicode()); })) {
    AOut += AText;
    return;
  }
  qsizetype Run = 0; // start of the characters not yet written
  for (qsizetype I = 0; I < AText.size(); ++I) {
    const QChar C = AText[I];
    if (!needsEscape(C.unicode()))
      continue;
    if (C.isHighSurrogate() && I + 1 < AText.size() && AText[I + 1].isLowSurrogate()) {
      ++I;
      continue;
    }
    AOut += AText.sliced(Run, I - Run);
    Run = I + 1;
    switch (C.unicode()) {
    case u'&':
      AOut += QLatin1String("&amp;");
      break;
    case u'<':
      AOut += QLatin1String("&lt;");
      break;
    case u'>':
      AOut += QLatin1String("&gt;");
      break;
    case u'"':
      AOut += QLatin1String("&quot;");
      break;
    case u'\'':
      AOut += QLatin1String("&apos;");
      break;
    case u'\r':
      AOut += QLatin1String("\r\n");
      if (I + 1 < AText.size() && AText[I + 1] == u'\n')
        Run = ++I + 1;
      break;
    case u'\n':
      AOut += QLatin1String("\r\n");
      break;
    default:
      // Tabs pass; control characters, lone surrogates, U+FFFE and U+FFFF
      // do not.
      if (C.unicode() == u'\t')
        AOut += '\t';
      else
        AOut += QStringView(u"\uFFFD");
    }
  }
  AOut += AText.sliced(Run);
}

void appendAttribute(TUtf8Out& AOut, const QString& AName, const QString& AValue) {
  AOut += ' ';
  AOut += AName;
  AOut += QLatin1String("=\"");
  appendEscaped(AOut, AValue);
  AOut += '"';
}

void writeAttributes(TUtf8Out& AOut, const std::vector<std::pair<QString, QString>>& AAttributes) {
  for (const auto& [Name, Value] : AAttributes)
    appendAttribute(AOut, Name, Value);
}

void writeStartTag(TUtf8Out& AOut, const TXmlNode& AElement, bool AEmpty) {
  AOut += '<';
  AOut += AElement.Name();
  for (const auto& Child : AElement.Children()) {
    if (Child->Kind() != TXmlNode::nkAttribute)
      break;
    appendAttribute(AOut, Child->Name(), Child->Value());
  }
  AOut += AEmpty ? QLatin1String("/>") : QLatin1String(">");
}

bool hasContent(const TXmlNode& AElement) {
  for (const auto& Child : AElement.Children())
    if (Child->Kind() == TXmlNode::nkElement ||
        (Child->Kind() == TXmlNode::nkText && !Child->Value().isEmpty()))
      return true;
  return false;
}

// Iterative, so a deep tree cannot exhaust the stack.
void writeElement(TUtf8Out& AOut, const TXmlNode& ARoot, TXmlFormatType AFormat, int ADepth = 0) {
  struct TFrame {
    const TXmlNode* Node;
    std::size_t Next;
    int Depth;
  };
  const bool Readable = AFormat == xfReadable;
  std::vector<TFrame> Stack;
  auto open = [&](const TXmlNode& ANode, int ADepth) {
    if (Readable)
      AOut.Tabs(ADepth);
    const bool Empty = !hasContent(ANode);
    writeStartTag(AOut, ANode, Empty);
    if (Empty) {
      if (Readable)
        AOut += QLatin1String("\r\n");
      return;
    }
    if (Readable && !ANode.HasChildElements()) {
      // A value: start tag, text, end tag on one line.
      for (const auto& Child : ANode.Children())
        if (Child->Kind() == TXmlNode::nkText)
          appendEscaped(AOut, Child->Value());
      AOut += QLatin1String("</");
      AOut += ANode.Name();
      AOut += QLatin1String(">\r\n");
      return;
    }
    if (Readable)
      AOut += QLatin1String("\r\n");
    Stack.push_back({&ANode, 0, ADepth});
  };
  open(ARoot, ADepth);
  while (!Stack.empty()) {
    TFrame& Frame = Stack.back();
    const auto& Children = Frame.Node->Children();
    if (Frame.Next >= Children.size()) {
      if (Readable)
        AOut.Tabs(Frame.Depth);
      AOut += QLatin1String("</");
      AOut += Frame.Node->Name();
      AOut += '>';
      if (Readable)
        AOut += QLatin1String("\r\n");
      Stack.pop_back();
      continue;
    }
    const TXmlNode& Child = *Children[Frame.Next++];
    if (Child.Kind() == TXmlNode::nkElement) {
      open(Child, Frame.Depth + 1);
    } else if (Child.Kind() == TXmlNode::nkText && !Readable) {
      appendEscaped(AOut, Child.Value());
    }
    // In the readable layout the whitespace the layout adds replaces any
    // text between elements.
  }
}

} // namespace

TXmlDocument::TXmlDocument() {
  Clear();
}

void TXmlDocument::Clear() {
  FDeclaration = {{QStringLiteral("version"), QStringLiteral("1.0")},
                  {QStringLiteral("encoding"), QStringLiteral("utf-8")}};
  FStyleSheet.reset();
  FRoot.reset();
  FArena = std::make_unique<std::pmr::monotonic_buffer_resource>(16 * 1024);
  FProlog.clear();
  FEpilog.clear();
}

TXmlNode* TXmlDocument::CreateRoot(const QString& AName) {
  FRoot = TXmlNode::Create(FArena.get(), TXmlNode::nkElement, AName);
  return FRoot.get();
}

bool TXmlDocument::Contains(const TXmlNode* ANode) const {
  return FRoot && FRoot->IsAncestorOf(ANode);
}

namespace {
// Everything ahead of the root element.
void writeProlog(TUtf8Out& AOut, const std::vector<std::pair<QString, QString>>& ADeclaration,
                 const std::optional<std::vector<std::pair<QString, QString>>>& AStyleSheet,
                 TXmlFormatType AFormat, const QString& AProlog) {
  AOut += QLatin1String("<?xml");
  writeAttributes(AOut, ADeclaration);
  AOut += QLatin1String("?>\r\n");
  if (AStyleSheet) {
    AOut += QLatin1String("<?xml-stylesheet");
    writeAttributes(AOut, *AStyleSheet);
    AOut += QLatin1String("?>");
    if (AFormat == xfReadable)
      AOut += QLatin1String("\r\n");
  }
  if (AFormat == xfPreserve)
    AOut += AProlog;
}
} // namespace

QByteArray TXmlDocument::ToBytes() const {
  TUtf8Out Out;
  writeProlog(Out, FDeclaration, FStyleSheet, FFormat, FProlog);
  if (FRoot)
    writeElement(Out, *FRoot, FFormat);
  if (FFormat == xfPreserve)
    Out += FEpilog;
  return Out.Take();
}

void TXmlDocument::SaveToFileInParts(const QString& AFileName, const QString& ARootName,
                                     const std::function<bool()>& APart) {
  FRoot.reset();
  FArena = std::make_unique<std::pmr::monotonic_buffer_resource>(16 * 1024);
  const bool Readable = FFormat == xfReadable;
  TUtf8Out Out;
  writeProlog(Out, FDeclaration, FStyleSheet, FFormat, FProlog);
  // A part's nodes go back to this pool once written, and the next part is
  // made from them: memory holds one part's tree, not the file's.
  std::pmr::unsynchronized_pool_resource PartMemory(FArena.get());
  FRoot = TXmlNode::Create(&PartMemory, TXmlNode::nkElement, ARootName);
  auto DropRoot = qScopeGuard([&] { FRoot.reset(); });
  bool Opened = false;
  std::vector<const TXmlNode*> Written;
  while (APart()) {
    Written.clear();
    for (const auto& Child : FRoot->Children())
      if (Child->Kind() == TXmlNode::nkElement)
        Written.push_back(Child.get());
    for (const TXmlNode* Child : Written) {
      if (!Opened) {
        writeStartTag(Out, *FRoot, false);
        if (Readable)
          Out += QLatin1String("\r\n");
        Opened = true;
      }
      writeElement(Out, *Child, FFormat, 1);
      FRoot->RemoveChild(Child);
    }
  }
  if (Opened) {
    Out += QLatin1String("</");
    Out += FRoot->Name();
    Out += '>';
    if (Readable)
      Out += QLatin1String("\r\n");
  } else {
    writeElement(Out, *FRoot, FFormat);
  }
  if (FFormat == xfPreserve)
    Out += FEpilog;
  // The root stays, with its attributes, in the document's own memory.
  TXmlNodePtr Root = TXmlNode::Create(FArena.get(), TXmlNode::nkElement, ARootName);
  for (const auto& Child : FRoot->Children())
    if (Child->Kind() == TXmlNode::nkAttribute)
      Root->AddAttribute(Child->Name(), Child->Value());
  FRoot = std::move(Root);
  DropRoot.dismiss();
  if (const std::optional<QString> Failure = WriteFileAtomically(AFileName, Out.Take()))
    throw EXmlError(QStringLiteral("%1: cannot be written: %2").arg(AFileName, *Failure));
}

QString TXmlDocument::RootXml() const {
  TUtf8Out Out;
  if (FRoot)
    writeElement(Out, *FRoot, xfCompact);
  return QString::fromUtf8(Out.Take());
}

// ---- reading -----------------------------------------------------------------

namespace {
std::vector<std::pair<QString, QString>> pseudoAttributes(const QString& AData) {
  // name="value" pairs of a processing instruction, in order.
  std::vector<std::pair<QString, QString>> Result;
  qsizetype P = 0;
  while (P < AData.size()) {
    while (P < AData.size() && AData[P].isSpace())
      ++P;
    const qsizetype Eq = AData.indexOf(u'=', P);
    if (Eq < 0)
      break;
    const QString Name = AData.mid(P, Eq - P).trimmed();
    qsizetype Q = Eq + 1;
    while (Q < AData.size() && AData[Q].isSpace())
      ++Q;
    if (Q >= AData.size() || (AData[Q] != u'"' && AData[Q] != u'\''))
      break;
    const qsizetype Close = AData.indexOf(AData[Q], Q + 1);
    if (Close < 0)
      break;
    Result.emplace_back(Name, AData.mid(Q + 1, Close - Q - 1));
    P = Close + 1;
  }
  return Result;
}

// The reader turns CR LF into LF; files are written with CR LF.
QString withCrLf(QStringView AText) {
  QString Value = AText.toString();
  if (Value.contains(u'\n'))
    Value.replace(u'\n', QLatin1String("\r\n"));
  return Value;
}

// Element names and the whitespace between elements repeat from record to
// record; sharing one string per distinct text saves most of the
// allocations of a load. A collision only costs a string of its own.
class TTextPool {
public:
  const QString& Name(QStringView AName) { return get(AName, FNames, false); }
  const QString& Whitespace(QStringView AText) { return get(AText, FWhitespace, true); }

private:
  static constexpr std::size_t SlotCount = 512;
  struct TSlot {
    QString Raw;
    QString Value;
  };
  using TSlots = std::vector<TSlot>;
  static const QString& get(QStringView AText, TSlots& ASlots, bool ACrLf) {
    TSlot& Slot = ASlots[qHash(AText) & (SlotCount - 1)];
    if (Slot.Raw.isNull() || Slot.Raw != AText) {
      Slot.Raw = AText.toString();
      Slot.Value = ACrLf ? withCrLf(AText) : Slot.Raw;
    }
    return Slot.Value;
  }
  TSlots FNames = TSlots(SlotCount);
  TSlots FWhitespace = TSlots(SlotCount);
};

// Checked in blocks cut at character boundaries, so invalid UTF-8 is an
// error of its own rather than silently replaced, without a decoded copy
// of the whole input.
bool isValidUtf8(const QByteArray& AData) {
  constexpr qsizetype Block = 64 * 1024;
  std::vector<QChar> Buffer(Block);
  for (qsizetype Start = 0; Start < AData.size();) {
    qsizetype End = std::min(Start + Block, AData.size());
    for (int Back = 0; Back < 3 && End < AData.size() && (uchar(AData[End]) & 0xC0) == 0x80; ++Back)
      --End;
    QStringDecoder Decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    Decoder.appendToBuffer(Buffer.data(), QByteArrayView(AData).sliced(Start, End - Start));
    if (Decoder.hasError())
      return false;
    Start = End;
  }
  return true;
}

[[noreturn]] void positionError(const QString& ASource, qint64 ALine, qint64 AColumn,
                                const QString& AWhat) {
  throw EXmlError(
      QStringLiteral("%1: line %2, column %3: %4").arg(ASource).arg(ALine).arg(AColumn).arg(AWhat));
}

[[noreturn]] void parseError(const QString& ASource, const QXmlStreamReader& AReader,
                             const QString& AWhat) {
  positionError(ASource, AReader.lineNumber(), AReader.columnNumber(), AWhat);
}

// Markup that would cost the reader far more than its size, found in one
// pass before the reader starts. The reader compares each attribute of an
// element with every other one, and each attribute-list declaration of a DTD
// with those before it (whose defaults then join every element); parameter
// entities could declare such lists out of sight of this pass; every
// reference to a declared entity may expand to the expansion limit. None of
// these has a use in our files. The pass need only agree with the reader on
// well-formed text: where the text is not, the reader stops there anyway.
class TMarkupScan {
public:
  explicit TMarkupScan(QByteArrayView AData) : FData(AData) {}

  // The offset of the first such markup and what it is; nullopt when none.
  std::optional<std::pair<qsizetype, QString>> Run() {
    while (FPos < FData.size() && !FRefused) {
      if (FData[FPos] == '&')
        reference();
      else if (FData[FPos] != '<')
        skipText();
      else
        markup();
    }
    if (!FRefused)
      return std::nullopt;
    return std::pair(FRefusedAt, *FRefused);
  }

private:
  bool at(const char* AText) const { return FData.sliced(FPos).startsWith(AText); }
  void skipPast(const char* AText) {
    const qsizetype End = FData.indexOf(QByteArrayView(AText), FPos);
    FPos = End < 0 ? FData.size() : End + qsizetype(std::strlen(AText));
  }
  // At "<"; the character after it tells most markup apart.
  void markup() {
    const char Next = FPos + 1 < FData.size() ? FData[FPos + 1] : '\0';
    if (Next == '/')
      skipPast(">");
    else if (Next == '?')
      skipPast("?>");
    else if (Next != '!')
      startTag();
    else if (at("<!--"))
      skipPast("-->");
    else if (at("<![CDATA["))
      skipPast("]]>");
    else
      declaration();
  }
  // To the next markup or reference: most of a file is text between them.
  void skipText() {
    const char* Text = FData.data();
    qsizetype P = FPos;
    while (P < FData.size() && Text[P] != '<' && Text[P] != '&')
      ++P;
    FPos = P;
  }
  // From an opening quote to after its closing one.
  void skipQuoted() {
    const qsizetype End = FData.indexOf(FData[FPos], FPos + 1);
    FPos = End < 0 ? FData.size() : End + 1;
  }
  void refuse(qsizetype AOffset, const QString& AWhat) {
    FRefusedAt = AOffset;
    FRefused = AWhat;
  }

  // At "&": counts a reference that is neither a character reference nor
  // one of the five predefined entities.
  void reference() {
    static constexpr const char* Predefined[] = {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"};
    const bool Declared =
        !at("&#") && std::none_of(std::begin(Predefined), std::end(Predefined),
                                  [this](const char* AName) { return at(AName); });
    if (Declared && ++FReferences > MaxXmlEntityReferences)
      refuse(FPos, QStringLiteral("more than %1 references to declared entities")
                       .arg(MaxXmlEntityReferences));
    ++FPos;
  }

  // From "<!" to the end of the declaration: a DOCTYPE with its internal
  // subset, whose attribute-list declarations and parameter entities are refused.
  void declaration() {
    FPos += 2;
    bool InSubset = false;
    while (FPos < FData.size()) {
      const char C = FData[FPos];
      if (C == '"' || C == '\'') {
        skipQuoted();
      } else if (InSubset && C == '<') {
        if (at("<!ATTLIST"))
          return refuse(FPos, QStringLiteral("attribute-list declarations are not allowed"));
        if (at("<!ENTITY") && parameterEntity())
          return refuse(FPos, QStringLiteral("parameter entities are not allowed"));
        if (at("<!--"))
          skipPast("-->");
        else if (at("<?"))
          skipPast("?>");
        else
          skipDeclaration();
      } else {
        ++FPos;
        if (C == '[')
          InSubset = true;
        else if (C == ']')
          InSubset = false;
        else if (C == '>' && !InSubset)
          return;
      }
    }
  }
  // At "<!ENTITY": whether a "%" follows the blanks after it.
  bool parameterEntity() const {
    qsizetype P = FPos + 8;
    while (P < FData.size() &&
           (FData[P] == ' ' || FData[P] == '\t' || FData[P] == '\r' || FData[P] == '\n'))
      ++P;
    return P < FData.size() && FData[P] == '%';
  }
  void skipDeclaration() {
    for (++FPos; FPos < FData.size() && FData[FPos] != '>';)
      if (FData[FPos] == '"' || FData[FPos] == '\'')
        skipQuoted();
      else
        ++FPos;
    ++FPos;
  }

  // From "<" to after the tag's ">", counting its attributes (one "=" each
  // outside the quoted values) and the references in their values.
  void startTag() {
    const qsizetype Start = FPos;
    qsizetype Attributes = 0;
    for (++FPos; FPos < FData.size() && !FRefused;) {
      const char C = FData[FPos];
      if (C == '>') {
        ++FPos;
        return;
      }
      if (C == '"' || C == '\'') {
        const qsizetype End = FData.indexOf(C, FPos + 1);
        const qsizetype Stop = End < 0 ? FData.size() : End;
        for (++FPos; FPos < Stop && !FRefused;)
          if (FData[FPos] == '&')
            reference();
          else
            ++FPos;
        FPos = Stop + 1;
        continue;
      }
      if (C == '=' && ++Attributes > MaxXmlAttributes)
        refuse(Start,
               QStringLiteral("an element with more than %1 attributes").arg(MaxXmlAttributes));
      ++FPos;
    }
  }

  QByteArrayView FData;
  qsizetype FPos = 0;
  qsizetype FReferences = 0;
  std::optional<QString> FRefused;
  qsizetype FRefusedAt = 0;
};

// Line (from 1) and column (characters from 0) of a byte offset of UTF-8 text.
std::pair<qint64, qint64> lineAndColumn(QByteArrayView AData, qsizetype AOffset) {
  const QByteArrayView Before = AData.first(AOffset);
  const qsizetype LineStart = Before.lastIndexOf('\n') + 1;
  qint64 Column = 0;
  for (char C : Before.sliced(LineStart))
    Column += (uchar(C) & 0xC0) != 0x80;
  return {Before.count('\n') + 1, Column};
}
} // namespace

void TXmlDocument::LoadFromBytes(const QByteArray& AData, const QString& ASource) {
  load(AData, ASource, nullptr);
}

void TXmlDocument::load(const QByteArray& AData, const QString& ASource,
                        const std::function<void()>* APart) {
  if (AData.size() > MaxXmlBytes)
    throw EXmlError(
        QStringLiteral("%1: larger than %2 bytes, not read").arg(ASource).arg(MaxXmlBytes));
  const QByteArray Data = AData.startsWith("\xEF\xBB\xBF") ? AData.mid(3) : AData;
  if (!isValidUtf8(Data))
    throw EXmlError(QStringLiteral("%1: not valid UTF-8").arg(ASource));
  if (const auto Costly = TMarkupScan(Data).Run()) {
    const auto [Line, Column] = lineAndColumn(Data, Costly->first);
    positionError(ASource, Line, Column, Costly->second);
  }
  Clear();
  // Read through a device, the reader decodes the text a block at a time
  // instead of holding all of it as UTF-16 beside the bytes.
  QBuffer Device;
  Device.setData(Data);
  Device.open(QIODevice::ReadOnly);
  QXmlStreamReader Reader(&Device);
  Reader.setNamespaceProcessing(false);
  Reader.setEntityExpansionLimit(4096);
  TXmlNodePtr Root;
  TXmlNode* RootNode = nullptr;
  TXmlNode* Current = nullptr;
  // Read in parts, each element below the root comes from memory of its own,
  // given back as a whole once the part is handled.
  std::optional<std::pmr::monotonic_buffer_resource> PartMemory;
  if (APart)
    PartMemory.emplace();
  bool PartHandedOut = false;
  // A load that fails leaves nothing: a part's nodes must go before the
  // memory they live in.
  bool Loaded = false;
  const auto DropFailed = qScopeGuard([&] {
    if (APart && !Loaded)
      Clear();
  });
  TTextPool Pool;
  bool MarkupAfterRoot = false;
  int Depth = 0;
  qint64 StyleSheetEnd = -1;
  while (!Reader.atEnd()) {
    switch (Reader.readNext()) {
    case QXmlStreamReader::StartDocument:
      FDeclaration.clear();
      FDeclaration.emplace_back(QStringLiteral("version"), Reader.documentVersion().toString());
      if (!Reader.documentEncoding().isEmpty())
        FDeclaration.emplace_back(QStringLiteral("encoding"), Reader.documentEncoding().toString());
      if (Reader.isStandaloneDocument())
        FDeclaration.emplace_back(QStringLiteral("standalone"), QStringLiteral("yes"));
      break;
    case QXmlStreamReader::DTD:
      for (const QXmlStreamEntityDeclaration& Entity : Reader.entityDeclarations())
        if (!Entity.systemId().isEmpty() || !Entity.publicId().isEmpty())
          parseError(ASource, Reader,
                     QStringLiteral("the external entity \"%1\" is not allowed")
                         .arg(Entity.name().toString()));
      break;
    case QXmlStreamReader::ProcessingInstruction:
      MarkupAfterRoot = MarkupAfterRoot || (Root && !Current);
      if (!Root && Reader.processingInstructionTarget() == QLatin1String("xml-stylesheet")) {
        FStyleSheet = pseudoAttributes(Reader.processingInstructionData().toString());
        StyleSheetEnd = Reader.characterOffset();
      }
      break;
    case QXmlStreamReader::EntityReference:
      parseError(ASource, Reader,
                 QStringLiteral("the entity \"%1\" is not resolved").arg(Reader.name().toString()));
    case QXmlStreamReader::StartElement: {
      if (++Depth > MaxXmlDepth)
        parseError(ASource, Reader,
                   QStringLiteral("elements nested deeper than %1").arg(MaxXmlDepth));
      TXmlNode* Element = nullptr;
      if (!Current) {
        if (StyleSheetEnd >= 0) {
          // Offsets count characters; only this rare case needs the text.
          const QString Text = QString::fromUtf8(Data);
          const qsizetype Open = Text.indexOf(u'<', StyleSheetEnd);
          FProlog = Text.mid(StyleSheetEnd, Open - StyleSheetEnd).trimmed().isEmpty()
                        ? Text.mid(StyleSheetEnd, Open - StyleSheetEnd)
                        : QString();
        }
        Root =
            TXmlNode::Create(FArena.get(), TXmlNode::nkElement, Pool.Name(Reader.qualifiedName()));
        Element = RootNode = Root.get();
        if (APart)
          FRoot = std::move(Root);
      } else if (APart && Current == RootNode) {
        Element = Current->AddElement(Pool.Name(Reader.qualifiedName()), &*PartMemory);
      } else {
        Element = Current->AddElement(Pool.Name(Reader.qualifiedName()));
      }
      // Looped over as const: a mutable loop would copy the reader's list.
      const QXmlStreamAttributes Attributes = Reader.attributes();
      for (const QXmlStreamAttribute& Attribute : Attributes)
        Element->AddAttribute(Pool.Name(Attribute.qualifiedName()), Attribute.value().toString());
      Current = Element;
      break;
    }
    case QXmlStreamReader::EndElement: {
      --Depth;
      TXmlNode* const Closed = Current;
      Current = Current ? Current->Parent() : nullptr;
      if (APart && Current && Current == RootNode) {
        (*APart)();
        PartHandedOut = true;
        RootNode->RemoveChild(Closed);
        PartMemory->release();
      }
      break;
    }
    case QXmlStreamReader::Comment:
      MarkupAfterRoot = MarkupAfterRoot || (Root && !Current);
      break;
    case QXmlStreamReader::Characters:
      // Between the parts only whitespace can stand, and no part needs it.
      if (Current && !(APart && Current == RootNode))
        Current->AddText(Reader.isWhitespace() ? Pool.Whitespace(Reader.text())
                                               : withCrLf(Reader.text()));
      break;
    default:
      break;
    }
  }
  if (Reader.hasError())
    parseError(ASource, Reader, Reader.errorString());
  if (!RootNode)
    throw EXmlError(QStringLiteral("%1: no root element").arg(ASource));
  if (APart) {
    if (!PartHandedOut)
      (*APart)();
    FFormat = xfPreserve;
    Loaded = true;
    return;
  }
  // The reader reports no whitespace outside the root: what follows the
  // root's end tag, when it is whitespace only, is the text after the last
  // markup.
  if (!MarkupAfterRoot)
    FEpilog = QString::fromLatin1(Data.mid(Data.lastIndexOf('>') + 1));
  FProlog.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
      .replace(u'\n', QStringLiteral("\r\n"));
  FEpilog.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
      .replace(u'\n', QStringLiteral("\r\n"));
  FRoot = std::move(Root);
  FFormat = xfPreserve;
}

namespace {
QByteArray readXmlFile(const QString& AFileName) {
  // Only a regular file: a FIFO or device of that name could block for ever.
  TFileContent Content = ReadBoundedFile(AFileName, MaxXmlBytes);
  if (Content.Status == TFileContent::fcTooLarge)
    throw EXmlError(
        QStringLiteral("%1: larger than %2 bytes, not read").arg(AFileName).arg(MaxXmlBytes));
  if (!Content.Ok())
    throw EXmlError(QStringLiteral("%1: cannot be opened: %2").arg(AFileName, Content.Reason));
  return std::move(Content.Data);
}
} // namespace

void TXmlDocument::LoadFromFile(const QString& AFileName) {
  load(readXmlFile(AFileName), AFileName, nullptr);
}

void TXmlDocument::LoadFromFileInParts(const QString& AFileName,
                                       const std::function<void()>& APart) {
  load(readXmlFile(AFileName), AFileName, &APart);
}

void TXmlDocument::SaveToFile(const QString& AFileName) const {
  if (const std::optional<QString> Failure = WriteFileAtomically(AFileName, ToBytes()))
    throw EXmlError(QStringLiteral("%1: cannot be written: %2").arg(AFileName, *Failure));
}
