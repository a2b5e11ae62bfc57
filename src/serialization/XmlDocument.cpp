#include "serialization/XmlDocument.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

// ---- nodes -----------------------------------------------------------------

TXmlNode::TXmlNode(TKind AKind, QString AName, QString AValue, TXmlNode* AParent)
    : FKind(AKind), FName(std::move(AName)), FValue(std::move(AValue)), FParent(AParent) {}

TXmlNode::~TXmlNode() {
  // Deep trees are taken apart level by level rather than by recursion.
  std::vector<std::unique_ptr<TXmlNode>> Pending = std::move(FChildren);
  while (!Pending.empty()) {
    std::unique_ptr<TXmlNode> Node = std::move(Pending.back());
    Pending.pop_back();
    for (auto& Child : Node->FChildren)
      Pending.push_back(std::move(Child));
    Node->FChildren.clear();
  }
}

TXmlNode* TXmlNode::AddElement(const QString& AName) {
  FChildren.push_back(std::make_unique<TXmlNode>(nkElement, AName, QString(), this));
  return FChildren.back().get();
}

TXmlNode* TXmlNode::AddText(const QString& AText) {
  FChildren.push_back(std::make_unique<TXmlNode>(nkText, QString(), AText, this));
  return FChildren.back().get();
}

TXmlNode* TXmlNode::AddAttribute(const QString& AName, const QString& AValue) {
  auto Position = FChildren.begin();
  while (Position != FChildren.end() && (*Position)->Kind() == nkAttribute)
    ++Position;
  return FChildren.insert(Position, std::make_unique<TXmlNode>(nkAttribute, AName, AValue, this))
      ->get();
}

TXmlNode* TXmlNode::FindChild(const QString& AName) const {
  for (const auto& Child : FChildren)
    if (Child->Kind() != nkText && Child->Name().compare(AName, Qt::CaseInsensitive) == 0)
      return Child.get();
  return nullptr;
}

TXmlNode* TXmlNode::FindAttribute(const QString& AName) const {
  for (const auto& Child : FChildren) {
    if (Child->Kind() != nkAttribute)
      break;
    if (Child->Name().compare(AName, Qt::CaseInsensitive) == 0)
      return Child.get();
  }
  return nullptr;
}

std::vector<TXmlNode*> TXmlNode::ChildElements(const QString& AName) const {
  std::vector<TXmlNode*> Result;
  for (const auto& Child : FChildren)
    if (Child->Kind() == nkElement &&
        (AName.isEmpty() || Child->Name().compare(AName, Qt::CaseInsensitive) == 0))
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

bool allowedInXml(char32_t C) {
  return C == 0x9 || C == 0xA || C == 0xD || (C >= 0x20 && C <= 0xD7FF) ||
         (C >= 0xE000 && C <= 0xFFFD) || (C >= 0x10000 && C <= 0x10FFFF);
}

// The five entities, CR LF for every line break, U+FFFD for what XML 1.0
// cannot carry (control characters, lone surrogates, U+FFFE, U+FFFF).
QString escaped(const QString& AText) {
  QString Out;
  Out.reserve(AText.size() + 16);
  for (qsizetype I = 0; I < AText.size(); ++I) {
    const QChar C = AText[I];
    char32_t Code = C.unicode();
    if (C.isHighSurrogate() && I + 1 < AText.size() && AText[I + 1].isLowSurrogate()) {
      Out += C;
      Out += AText[++I];
      continue;
    }
    if (C.isSurrogate())
      Code = 0xFFFF;
    switch (Code) {
    case u'&':
      Out += QStringLiteral("&amp;");
      break;
    case u'<':
      Out += QStringLiteral("&lt;");
      break;
    case u'>':
      Out += QStringLiteral("&gt;");
      break;
    case u'"':
      Out += QStringLiteral("&quot;");
      break;
    case u'\'':
      Out += QStringLiteral("&apos;");
      break;
    case u'\r':
      Out += QStringLiteral("\r\n");
      if (I + 1 < AText.size() && AText[I + 1] == u'\n')
        ++I;
      break;
    case u'\n':
      Out += QStringLiteral("\r\n");
      break;
    default:
      Out += allowedInXml(Code) ? C : QChar(QChar::ReplacementCharacter);
    }
  }
  return Out;
}

void writeAttributes(QString& AOut, const std::vector<std::pair<QString, QString>>& AAttributes) {
  for (const auto& [Name, Value] : AAttributes)
    AOut += u' ' + Name + QStringLiteral("=\"") + escaped(Value) + u'"';
}

void writeStartTag(QString& AOut, const TXmlNode& AElement, bool AEmpty) {
  AOut += u'<' + AElement.Name();
  for (const auto& Child : AElement.Children()) {
    if (Child->Kind() != TXmlNode::nkAttribute)
      break;
    AOut += u' ' + Child->Name() + QStringLiteral("=\"") + escaped(Child->Value()) + u'"';
  }
  AOut += AEmpty ? QStringLiteral("/>") : QStringLiteral(">");
}

bool hasContent(const TXmlNode& AElement) {
  for (const auto& Child : AElement.Children())
    if (Child->Kind() == TXmlNode::nkElement ||
        (Child->Kind() == TXmlNode::nkText && !Child->Value().isEmpty()))
      return true;
  return false;
}

// Iterative, so a deep tree cannot exhaust the stack.
void writeElement(QString& AOut, const TXmlNode& ARoot, TXmlFormatType AFormat) {
  struct TFrame {
    const TXmlNode* Node;
    std::size_t Next;
    int Depth;
  };
  const bool Readable = AFormat == xfReadable;
  std::vector<TFrame> Stack;
  auto open = [&](const TXmlNode& ANode, int ADepth) {
    if (Readable)
      AOut += QString(ADepth, u'\t');
    const bool Empty = !hasContent(ANode);
    writeStartTag(AOut, ANode, Empty);
    if (Empty) {
      if (Readable)
        AOut += QStringLiteral("\r\n");
      return;
    }
    if (Readable && !ANode.HasChildElements()) {
      // A value: start tag, text, end tag on one line.
      AOut += escaped(ANode.Text()) + QStringLiteral("</") + ANode.Name() + QStringLiteral(">\r\n");
      return;
    }
    if (Readable)
      AOut += QStringLiteral("\r\n");
    Stack.push_back({&ANode, 0, ADepth});
  };
  open(ARoot, 0);
  while (!Stack.empty()) {
    TFrame& Frame = Stack.back();
    const auto& Children = Frame.Node->Children();
    if (Frame.Next >= Children.size()) {
      if (Readable)
        AOut += QString(Frame.Depth, u'\t');
      AOut += QStringLiteral("</") + Frame.Node->Name() + u'>';
      if (Readable)
        AOut += QStringLiteral("\r\n");
      Stack.pop_back();
      continue;
    }
    const TXmlNode& Child = *Children[Frame.Next++];
    if (Child.Kind() == TXmlNode::nkElement) {
      open(Child, Frame.Depth + 1);
    } else if (Child.Kind() == TXmlNode::nkText && !Readable) {
      AOut += escaped(Child.Value());
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
  FProlog.clear();
  FEpilog.clear();
}

TXmlNode* TXmlDocument::CreateRoot(const QString& AName) {
  FRoot = std::make_unique<TXmlNode>(TXmlNode::nkElement, AName);
  return FRoot.get();
}

bool TXmlDocument::Contains(const TXmlNode* ANode) const {
  return FRoot && FRoot->IsAncestorOf(ANode);
}

QByteArray TXmlDocument::ToBytes() const {
  QString Out = QStringLiteral("<?xml");
  writeAttributes(Out, FDeclaration);
  Out += QStringLiteral("?>\r\n");
  if (FStyleSheet) {
    Out += QStringLiteral("<?xml-stylesheet");
    writeAttributes(Out, *FStyleSheet);
    Out += QStringLiteral("?>");
    if (FFormat == xfReadable)
      Out += QStringLiteral("\r\n");
  }
  if (FFormat == xfPreserve)
    Out += FProlog;
  if (FRoot)
    writeElement(Out, *FRoot, FFormat);
  if (FFormat == xfPreserve)
    Out += FEpilog;
  return Out.toUtf8();
}

QString TXmlDocument::RootXml() const {
  QString Out;
  if (FRoot)
    writeElement(Out, *FRoot, xfCompact);
  return Out;
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

[[noreturn]] void parseError(const QString& ASource, const QXmlStreamReader& AReader,
                             const QString& AWhat) {
  throw EXmlError(QStringLiteral("%1: line %2, column %3: %4")
                      .arg(ASource)
                      .arg(AReader.lineNumber())
                      .arg(AReader.columnNumber())
                      .arg(AWhat));
}
} // namespace

void TXmlDocument::LoadFromBytes(const QByteArray& AData, const QString& ASource) {
  if (AData.size() > MaxXmlBytes)
    throw EXmlError(
        QStringLiteral("%1: larger than %2 bytes, not read").arg(ASource).arg(MaxXmlBytes));
  // Decoded here, so invalid UTF-8 is an error rather than silently replaced,
  // and so offsets into the text find the whitespace around the root.
  QStringDecoder Decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString Text = Decoder(AData.startsWith("\xEF\xBB\xBF") ? AData.mid(3) : AData);
  if (Decoder.hasError())
    throw EXmlError(QStringLiteral("%1: not valid UTF-8").arg(ASource));
  Clear();
  QXmlStreamReader Reader(Text);
  Reader.setNamespaceProcessing(false);
  Reader.setEntityExpansionLimit(4096);
  std::unique_ptr<TXmlNode> Root;
  TXmlNode* Current = nullptr;
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
          const qsizetype Open = Text.indexOf(u'<', StyleSheetEnd);
          FProlog = Text.mid(StyleSheetEnd, Open - StyleSheetEnd).trimmed().isEmpty()
                        ? Text.mid(StyleSheetEnd, Open - StyleSheetEnd)
                        : QString();
        }
        Root = std::make_unique<TXmlNode>(TXmlNode::nkElement, Reader.qualifiedName().toString());
        Element = Root.get();
      } else {
        Element = Current->AddElement(Reader.qualifiedName().toString());
      }
      for (const QXmlStreamAttribute& Attribute : Reader.attributes())
        Element->AddAttribute(Attribute.qualifiedName().toString(), Attribute.value().toString());
      Current = Element;
      break;
    }
    case QXmlStreamReader::EndElement:
      --Depth;
      Current = Current ? Current->Parent() : nullptr;
      if (!Current) {
        const QString Rest = Text.mid(Reader.characterOffset());
        FEpilog = Rest.trimmed().isEmpty() ? Rest : QString();
      }
      break;
    case QXmlStreamReader::Characters:
      if (Current) {
        // The reader turns CR LF into LF; files are written with CR LF.
        QString Value = Reader.text().toString();
        Value.replace(u'\n', QStringLiteral("\r\n"));
        Current->AddText(Value);
      }
      break;
    default:
      break;
    }
  }
  if (Reader.hasError())
    parseError(ASource, Reader, Reader.errorString());
  if (!Root)
    throw EXmlError(QStringLiteral("%1: no root element").arg(ASource));
  FProlog.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
      .replace(u'\n', QStringLiteral("\r\n"));
  FEpilog.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
      .replace(u'\n', QStringLiteral("\r\n"));
  FRoot = std::move(Root);
  FFormat = xfPreserve;
}

void TXmlDocument::LoadFromFile(const QString& AFileName) {
  QFile File(AFileName);
  // Only a regular file: a FIFO or device of that name could block for ever.
  if (!QFileInfo(AFileName).isFile() || !File.open(QIODevice::ReadOnly))
    throw EXmlError(QStringLiteral("%1: cannot be opened").arg(AFileName));
  if (File.size() > MaxXmlBytes)
    throw EXmlError(
        QStringLiteral("%1: larger than %2 bytes, not read").arg(AFileName).arg(MaxXmlBytes));
  LoadFromBytes(File.read(MaxXmlBytes + 1), AFileName);
}

void TXmlDocument::SaveToFile(const QString& AFileName) const {
  const QByteArray Data = ToBytes();
  const QByteArray Target = QFile::encodeName(AFileName);
  QByteArray Temporary = QFile::encodeName(QFileInfo(AFileName).absolutePath()) + "/." +
                         QFile::encodeName(QFileInfo(AFileName).fileName()) + ".XXXXXX";
  const int Fd = ::mkostemp(Temporary.data(), O_CLOEXEC);
  if (Fd < 0)
    throw EXmlError(QStringLiteral("%1: cannot be written: %2")
                        .arg(AFileName, QString::fromLocal8Bit(std::strerror(errno))));
  const char* P = Data.constData();
  qsizetype Left = Data.size();
  bool Ok = true;
  while (Left > 0) {
    const ssize_t Written = ::write(Fd, P, static_cast<size_t>(Left));
    if (Written < 0 && errno == EINTR)
      continue;
    if (Written <= 0) {
      Ok = false;
      break;
    }
    P += Written;
    Left -= Written;
  }
  const int Error = errno;
  Ok = Ok && ::fsync(Fd) == 0;
  Ok = ::close(Fd) == 0 && Ok;
  // rename(2) replaces whatever stands at the path, a planted link included.
  if (!Ok || ::rename(Temporary.constData(), Target.constData()) != 0) {
    const int Failure = Ok ? errno : Error;
    ::unlink(Temporary.constData());
    throw EXmlError(QStringLiteral("%1: cannot be written: %2")
                        .arg(AFileName, QString::fromLocal8Bit(std::strerror(Failure))));
  }
}
