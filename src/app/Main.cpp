#include "app/Main.h"

#include "app/Maker.h"
#include "logging/MethodLog.h"
#include "logging/MorvelDebug.h"
#include "platform/Files.h"

#include <QAction>
#include <QBuffer>
#include <QClipboard>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHeaderView>
#include <QImageReader>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QTreeView>
#include <QUrl>

namespace {
constexpr int ClientWidth = 370;
constexpr int ClientHeight = 467;

// The footer's panels have the widths of the original design; a desktop font
// wider than Tahoma would cut their text, so it shrinks a little instead.
void fitText(QLabel* ALabel) {
  QFont Font = ALabel->font();
  while (QFontMetricsF(Font).horizontalAdvance(ALabel->text()) > ALabel->width() - 2 &&
         Font.pointSizeF() > 6)
    Font.setPointSizeF(Font.pointSizeF() - 0.5);
  ALabel->setFont(Font);
}

// A logo is shown in a 157 x 70 area: anything far larger is a mistake or an
// attack, and decoding it would cost start-up time and memory.
constexpr qint64 MaxLogoBytes = 16 * 1024 * 1024;
constexpr int MaxLogoSide = 4096;

QImage decode(QImageReader& AReader, const QString& AName) {
  const QSize Declared = AReader.size();
  if (Declared.width() > MaxLogoSide || Declared.height() > MaxLogoSide)
    throw EInvalidGraphic(
        QStringLiteral("Cannot decode the picture \"%1\": %2 x %3 pixels, more than %4 a side")
            .arg(AName)
            .arg(Declared.width())
            .arg(Declared.height())
            .arg(MaxLogoSide));
  QImage Image = AReader.read();
  if (Image.isNull())
    throw EInvalidGraphic(
        QStringLiteral("Cannot decode the picture \"%1\": %2").arg(AName, AReader.errorString()));
  return Image;
}
} // namespace

// ---- small components ------------------------------------------------------

void TUrlPanel::enterEvent(QEnterEvent* AEvent) {
  QLabel::enterEvent(AEvent);
  Q_EMIT MouseEnter();
}

void TUrlPanel::leaveEvent(QEvent* AEvent) {
  QLabel::leaveEvent(AEvent);
  Q_EMIT MouseLeave();
}

void TUrlPanel::mouseReleaseEvent(QMouseEvent* AEvent) {
  QLabel::mouseReleaseEvent(AEvent);
  if (AEvent->button() == Qt::LeftButton && rect().contains(AEvent->position().toPoint()))
    Q_EMIT Click();
}

void TBevel::paintEvent(QPaintEvent*) {
  QPainter Painter(this);
  Painter.setPen(palette().color(QPalette::Mid));
  Painter.drawLine(0, 0, width() - 1, 0);
  Painter.setPen(palette().color(QPalette::Light));
  Painter.drawLine(0, 1, width() - 1, 1);
}

QFont KelvaneFont() {
  QFont Font = QFontDatabase::hasFamily(QStringLiteral("Tahoma"))
                   ? QFont(QStringLiteral("Tahoma"))
                   : QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  Font.setPointSize(8);
  return Font;
}

// ---- the window -------------------------------------------------------------

TfrmKelvane::TfrmKelvane(TGatherer AGatherer, QWidget* AParent)
    : QWidget(AParent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint),
      FGatherer(std::move(AGatherer)) {
  FormCreate();
}

TfrmKelvane::~TfrmKelvane() {
  // The view lets go of the list before the list goes.
  tvInformation->setModel(nullptr);
  tvpKelvane->SetItemsSource(nullptr, nullptr);
}

void TfrmKelvane::FormCreate() {
  setObjectName(QStringLiteral("frmKelvane"));
  FGatheredInformation = MakeList<TKelvaneData>();

  setWindowTitle(QStringLiteral("Kelvane 4"));
  setWindowIcon(QIcon(QStringLiteral(":/images/kelvane.png")));
  setFixedSize(ClientWidth, ClientHeight);
  move(0, 0);
  setFont(KelvaneFont());
  QPalette White = palette();
  White.setColor(QPalette::Window, Qt::white);
  White.setColor(QPalette::Base, Qt::white);
  White.setColor(QPalette::WindowText, Qt::black);
  White.setColor(QPalette::Text, Qt::black);
  setPalette(White);
  setAutoFillBackground(true);

  pnlHeader = new QWidget(this);
  pnlHeader->setObjectName(QStringLiteral("pnlHeader"));
  pnlHeader->setGeometry(0, 0, ClientWidth, 97);
  imgLeftHeader = new QLabel(pnlHeader);
  imgLeftHeader->setObjectName(QStringLiteral("imgLeftHeader"));
  imgLeftHeader->setGeometry(18, 0, 157, 70);
  imgLeftHeader->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  imgRightHeader = new QLabel(pnlHeader);
  imgRightHeader->setObjectName(QStringLiteral("imgRightHeader"));
  imgRightHeader->setGeometry(282, 0, 70, 70);
  imgRightHeader->setScaledContents(true);
  Bevel1 = new TBevel(pnlHeader);
  Bevel1->setObjectName(QStringLiteral("Bevel1"));
  Bevel1->setGeometry(14, 78, 342, 50);
  Bevel1->setAttribute(Qt::WA_TransparentForMouseEvents);

  Image2 = new QLabel(this);
  Image2->setObjectName(QStringLiteral("Image2"));
  Image2->setGeometry(0, ClientHeight - 20 - 141, ClientWidth, 141);
  Image2->setScaledContents(true);
  Image2->setPixmap(QPixmap(QStringLiteral(":/images/bottom.png")));

  pnlFooter = new QFrame(this);
  pnlFooter->setObjectName(QStringLiteral("pnlFooter"));
  pnlFooter->setGeometry(0, ClientHeight - 20, ClientWidth, 20);
  pnlFooter->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  pnlCopyright = new QLabel(MakerCopyright, pnlFooter);
  pnlCopyright->setObjectName(QStringLiteral("pnlCopyright"));
  pnlCopyright->setGeometry(0, 0, 177, 19);
  pnlCopyright->setAlignment(Qt::AlignCenter);
  pnlURL = new TUrlPanel(MakerWebCaption, pnlFooter);
  pnlURL->setObjectName(QStringLiteral("pnlURL"));
  pnlURL->setGeometry(178, 0, 79, 19);
  pnlURL->setAlignment(Qt::AlignCenter);
  fitText(pnlCopyright);
  fitText(pnlURL);
  imgConnectionState = new QLabel(pnlFooter);
  imgConnectionState->setObjectName(QStringLiteral("imgConnectionState"));
  imgConnectionState->setGeometry(350, 2, 16, 16);
  imgConnectionState->setScaledContents(true);

  tvInformation = new QTreeView(this);
  tvInformation->setObjectName(QStringLiteral("tvInformation"));
  tvInformation->setGeometry(14, 88, 342, 273);
  tvInformation->setFrameShape(QFrame::NoFrame);
  tvInformation->setHeaderHidden(true);
  tvInformation->setIndentation(14);
  tvInformation->setSelectionBehavior(QAbstractItemView::SelectItems);
  tvInformation->setAllColumnsShowFocus(false);
  tvInformation->setDragEnabled(false);
  tvInformation->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tvInformation->setContextMenuPolicy(Qt::CustomContextMenu);
  // The tree reaches into the header and over the picture; it stays in front.
  tvInformation->raise();

  tvpKelvane = new TKelvaneTreeModel(this);
  tvpKelvane->setObjectName(QStringLiteral("tvpKelvane"));
  tvInformation->setModel(tvpKelvane);
  tvInformation->header()->setStretchLastSection(true);
  tvInformation->header()->resizeSection(0, 175);

  actCopyToClipboard = new QAction(QStringLiteral("Copy to clipboard"), this);
  actCopyToClipboard->setObjectName(QStringLiteral("actCopyToClipboard"));
  connect(actCopyToClipboard, &QAction::triggered, this, &TfrmKelvane::actCopyToClipboardExecute);
  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  PopupMenu1->addAction(actCopyToClipboard);
  connect(tvInformation, &QWidget::customContextMenuRequested, this, [this](const QPoint& APos) {
    PopupMenu1->popup(tvInformation->viewport()->mapToGlobal(APos));
  });

  connect(pnlURL, &TUrlPanel::MouseEnter, this, &TfrmKelvane::pnlURLMouseEnter);
  connect(pnlURL, &TUrlPanel::MouseLeave, this, &TfrmKelvane::pnlURLMouseLeave);
  connect(pnlURL, &TUrlPanel::Click, this, &TfrmKelvane::pnlURLClick);
}

void TfrmKelvane::Init() {
  TMethodLog Log(lvDebug, this, QStringLiteral("Init"));
  FConnected = false;
  LoadLogo(imgLeftHeader, QStringLiteral("logo_left.png"), QStringLiteral("logo_left"));
  LoadLogo(imgRightHeader, QStringLiteral("logo_right.png"), QStringLiteral("logo_right"));
  if (FGatherer)
    FGatherer(*FGatheredInformation, FConnected);
  BindTree();
  tvInformation->selectionModel()->clearSelection();
  tvInformation->setCurrentIndex(QModelIndex());
  ShowConnectionState();
}

void TfrmKelvane::LoadLogo(QLabel* AImage, const QString& AFileName, const QString& AResourceName) {
  const QString Path = QDir(QCoreApplication::applicationDirPath()).filePath(AFileName);
  // Only a regular file: reading a FIFO or device of that name could block
  // start-up for ever. A file replaced between a check and the read could
  // not be told, so the bytes are taken once and decoded from memory.
  if (AFileName.contains(QChar(0)))
    return LoadImageFromResources(AImage, AResourceName);
  TFileContent Content = ReadBoundedFile(Path, MaxLogoBytes);
  if (Content.Ok() || Content.Status == TFileContent::fcTooLarge ||
      Content.Status == TFileContent::fcFailed) {
    try {
      if (!Content.Ok())
        throw EInvalidGraphic(
            QStringLiteral("Cannot decode the picture \"%1\": %2").arg(Path, Content.Reason));
      QBuffer Bytes(&Content.Data);
      Bytes.open(QIODevice::ReadOnly);
      QImageReader Reader(&Bytes);
      AImage->setPixmap(QPixmap::fromImage(decode(Reader, Path)));
      return;
    } catch (...) {
      GetLogger()->LogException(QString());
    }
  }
  LoadImageFromResources(AImage, AResourceName);
}

void TfrmKelvane::LoadImageFromResources(QLabel* AImage, const QString& AResourceName) {
  TMethodLog Log(lvDebug, this, QStringLiteral("LoadImageFromResources"));
  const QString Path =
      QStringLiteral(":/images/") + AResourceName.toLower() + QStringLiteral(".png");
  QImageReader Reader(Path, "png");
  if (!Reader.device() || !QFileInfo::exists(Path))
    throw EResNotFound(QStringLiteral("Resource %1 not found").arg(AResourceName));
  AImage->setPixmap(QPixmap::fromImage(decode(Reader, AResourceName)));
}

void TfrmKelvane::ShowConnectionState() {
  imgConnectionState->setToolTip(FConnected ? QStringLiteral("Network connected")
                                            : QStringLiteral("Network disconnected"));
  LoadImageFromResources(imgConnectionState,
                         FConnected ? QStringLiteral("connected") : QStringLiteral("disconnected"));
}

void TfrmKelvane::BindTree() {
  tvpKelvane->SetItemsSource(FGatheredInformation.get(),
                             std::make_shared<TKelvaneDataDataTemplate>());
  tvInformation->header()->resizeSection(0, 175);
  if (!FGatheredInformation->IsEmpty())
    tvInformation->expand(tvpKelvane->index(0, 0));
}

QString TfrmKelvane::ExportText() const {
  return KelvaneExportText(*FGatheredInformation);
}

void TfrmKelvane::actCopyToClipboardExecute() {
  QGuiApplication::clipboard()->setText(ExportText());
}

void TfrmKelvane::pnlURLMouseEnter() {
  QPalette Palette = pnlURL->palette();
  Palette.setColor(QPalette::WindowText, QColor(0x00, 0x00, 0xFF));
  pnlURL->setPalette(Palette);
  QFont Font = pnlURL->font();
  Font.setUnderline(true);
  pnlURL->setFont(Font);
  pnlURL->setCursor(Qt::PointingHandCursor);
}

void TfrmKelvane::pnlURLMouseLeave() {
  QPalette Palette = pnlURL->palette();
  Palette.setColor(QPalette::WindowText, Qt::black);
  pnlURL->setPalette(Palette);
  QFont Font = pnlURL->font();
  Font.setUnderline(false);
  pnlURL->setFont(Font);
  pnlURL->unsetCursor();
}

std::optional<QString> TryInit(TfrmKelvane& AForm) {
  try {
    AForm.Init();
    return std::nullopt;
  } catch (...) {
    GetLogger()->LogException(QString());
    return DescribeCurrentException().Message;
  }
}

void TfrmKelvane::pnlURLClick() {
  QDesktopServices::openUrl(QUrl(MakerWebAddress));
}
