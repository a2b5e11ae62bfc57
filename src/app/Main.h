#pragma once
// The program's one window: header with two logos, the information tree, a
// picture below it and a footer with the maker's line, the web address and
// the connection icon. Everything is gathered in Init, before it is shown.

#include "app/KelvaneData.h"
#include "app/KelvaneDataDataTemplate.h"
#include "app/KelvaneFunctions.h"
#include "common/Exceptions.h"

#include <QLabel>
#include <QWidget>

#include <optional>

class QAction;
class QFrame;
class QMenu;
class QTreeView;

KELVANE_DECLARE_EXCEPTION(EResNotFound, Exception)
KELVANE_DECLARE_EXCEPTION(EInvalidGraphic, Exception)

// The web-address panel: reports hover and click to the window.
class TUrlPanel : public QLabel {
  Q_OBJECT
public:
  using QLabel::QLabel;
Q_SIGNALS:
  void MouseEnter();
  void MouseLeave();
  void Click();

protected:
  void enterEvent(QEnterEvent* AEvent) override;
  void leaveEvent(QEvent* AEvent) override;
  void mouseReleaseEvent(QMouseEvent* AEvent) override;
};

// A raised line along the top edge of its rectangle.
class TBevel : public QWidget {
  Q_OBJECT
public:
  using QWidget::QWidget;

protected:
  void paintEvent(QPaintEvent* AEvent) override;
};

class TfrmKelvane : public QWidget {
  Q_OBJECT
public:
  // AGatherer fills the group list in Init; the program's own by default.
  explicit TfrmKelvane(TGatherer AGatherer = GatherInformation, QWidget* AParent = nullptr);
  ~TfrmKelvane() override;

  void Init();
  bool Connected() const { return FConnected; }
  const TObjectList<TKelvaneData>& GatheredInformation() const { return *FGatheredInformation; }
  // The export text of the group list, as "Copy to clipboard" gives it.
  QString ExportText() const;

private:
  void FormCreate();
  void LoadLogo(QLabel* AImage, const QString& AFileName, const QString& AResourceName);
  void LoadImageFromResources(QLabel* AImage, const QString& AResourceName);
  void ShowConnectionState();
  void BindTree();
  void actCopyToClipboardExecute();
  void pnlURLMouseEnter();
  void pnlURLMouseLeave();
  void pnlURLClick();

  TGatherer FGatherer;
  IList<TKelvaneData> FGatheredInformation;
  bool FConnected = false;

  QWidget* pnlHeader = nullptr;
  QLabel* imgLeftHeader = nullptr;
  QLabel* imgRightHeader = nullptr;
  TBevel* Bevel1 = nullptr;
  QTreeView* tvInformation = nullptr;
  QLabel* Image2 = nullptr;
  QFrame* pnlFooter = nullptr;
  QLabel* pnlCopyright = nullptr;
  TUrlPanel* pnlURL = nullptr;
  QLabel* imgConnectionState = nullptr;
  QMenu* PopupMenu1 = nullptr;
  QAction* actCopyToClipboard = nullptr;
  TKelvaneTreeModel* tvpKelvane = nullptr;
};

// Runs AForm's Init. An error escaping it is logged and its message handed
// back; the window must then not be shown and the program must not end as
// if it had succeeded.
std::optional<QString> TryInit(TfrmKelvane& AForm);

// The application font: Tahoma 8 pt where installed, else the desktop's
// sans-serif at 8 pt.
QFont KelvaneFont();
