// The main window's components at their fixed places, with a few boxes and
// labels stretching to the right edge of their pane, and the window's outer size.
#include <algorithm>
#include <array>
#include <vector>

#include <QAction>
#include <QEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QMargins>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QWindow>

#include "app/uMain.h"
#include "edf/uEDFLayout.h"

namespace {

// The window's size and minimum height are those of its frame, title bar and
// borders included. Qt sizes the inside only, and the platform tells the
// frame's thickness once the window exists (some desktops only after it
// shows), so the inside shrinks by whatever frame appears, whenever it does.
class TOuterSize : public QObject {
public:
  TOuterSize(QWidget& Window, int MinimumOuterHeight)
      : QObject(&Window), FWindow(Window), FMinimumOuterHeight(MinimumOuterHeight) {
    Window.installEventFilter(this);
  }

protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override {
    if (Watched == &FWindow && (Event->type() == QEvent::Show || Event->type() == QEvent::Move))
      FitFrame();
    return QObject::eventFilter(Watched, Event);
  }

private:
  void FitFrame() {
    const QWindow* Handle = FWindow.windowHandle();
    if (!Handle) return;
    const QMargins Frame = Handle->frameMargins();
    if (Frame == FFrame) return;
    const int Wider = Frame.left() + Frame.right() - FFrame.left() - FFrame.right();
    const int Taller = Frame.top() + Frame.bottom() - FFrame.top() - FFrame.bottom();
    FFrame = Frame;
    FWindow.setMinimumHeight(std::max(0, FMinimumOuterHeight - Frame.top() - Frame.bottom()));
    FWindow.resize(FWindow.width() - Wider, FWindow.height() - Taller);
  }

  QWidget& FWindow;
  int FMinimumOuterHeight;
  QMargins FFrame;  // the frame the inside was last fitted to
};

// A group box whose children sit at fixed places. Some keep their distance to
// the right edge when the pane is resized; some labels take the size of their
// text (the remark labels, whose background should cover the text only).
class TDesignPane : public QGroupBox {
public:
  TDesignPane(const QString& Title, int DesignWidth, QWidget* Parent)
      : QGroupBox(Title, Parent), FDesignWidth(DesignWidth) {}

  void Stretch(QWidget* Child) { FStretching.push_back({Child, FDesignWidth - Child->geometry().right() - 1}); }
  void AutoSize(QLabel* Label) { FAutoSized.push_back(Label); }

protected:
  void resizeEvent(QResizeEvent* Event) override {
    QGroupBox::resizeEvent(Event);
    Arrange();
  }
  bool event(QEvent* Event) override {
    // A child label whose text changed asks its visible parent for a new
    // layout; texts changed while hidden are fitted on the next show.
    if (Event->type() == QEvent::LayoutRequest || Event->type() == QEvent::Show) Arrange();
    return QGroupBox::event(Event);
  }

private:
  void Arrange() {
    for (const TStretching& S : FStretching)
      S.Child->resize(std::max(0, width() - S.Child->x() - S.RightMargin), S.Child->height());
    // An empty label takes no room, so its background does not show either.
    for (QLabel* Label : FAutoSized)
      Label->resize(Label->text().isEmpty() ? QSize(0, Label->sizeHint().height()) : Label->sizeHint());
  }

  struct TStretching {
    QWidget* Child;
    int RightMargin;
  };
  int FDesignWidth;
  std::vector<TStretching> FStretching;
  std::vector<QLabel*> FAutoSized;
};

// The panes' widths in the layout, to which the right margins refer.
constexpr int FilePaneWidth = 456;
constexpr int SignalPaneWidth = 329;
constexpr int SplitterBarWidth = 7;

constexpr int FirstRowTop = 20;
constexpr int RowStep = 32;
constexpr int BoxHeight = 21;
constexpr int NarrowBoxWidth = 121;

// The box of one field row; the caption comes from the field table.
struct TRowDesign {
  int Width;  // 0: the narrow width
  bool Stretches;
};

// The long text fields get wide boxes that grow with their pane.
constexpr std::array<TRowDesign, EDFFieldCount> FileRows = {{
    {0, false}, {291, true}, {291, true}, {0, false}, {0, false},
    {0, false}, {291, true}, {0, false}, {0, false}, {0, false}}};
constexpr std::array<TRowDesign, EDFFieldCount> SignalRows = {{
    {0, false}, {194, true}, {194, true}, {0, false}, {0, false},
    {0, false}, {0, false}, {194, true}, {0, false}, {194, true}}};

// A row of caption and read-only box per field; FirstNumber numbers the
// boxes "RzEdit%d" in header order.
void PlaceRows(TDesignPane* Pane, const std::array<TEDFFieldDesc, EDFFieldCount>& Fields,
               const std::array<TRowDesign, EDFFieldCount>& Rows, int FirstNumber, int BoxLeft,
               std::array<QLineEdit*, EDFFieldCount>& Boxes) {
  for (int K = 0; K < EDFFieldCount; ++K) {
    const int Top = FirstRowTop + K * RowStep;
    auto* Box = new QLineEdit(Pane);
    Box->setObjectName(QStringLiteral("RzEdit%1").arg(FirstNumber + K));
    Box->setReadOnly(true);  // selectable and copyable, not changeable
    Box->setGeometry(BoxLeft, Top, Rows[static_cast<size_t>(K)].Width ? Rows[static_cast<size_t>(K)].Width : NarrowBoxWidth, BoxHeight);
    if (Rows[static_cast<size_t>(K)].Stretches) Pane->Stretch(Box);
    Boxes[static_cast<size_t>(K)] = Box;

    auto* Caption = new QLabel(QString::fromLatin1(Fields[static_cast<size_t>(K)].Caption), Pane);
    Caption->setObjectName(QStringLiteral("LabelFor") + Box->objectName());
    Caption->setBuddy(Box);
    Caption->move(9, Top + 4);
    Caption->adjustSize();
  }
}

QLabel* BoldLabel(QWidget* Parent, const char* Name, int Left, int Top) {
  auto* Label = new QLabel(Parent);
  Label->setObjectName(QString::fromLatin1(Name));
  QFont Bold = Label->font();
  Bold.setBold(true);
  Label->setFont(Bold);
  Label->move(Left, Top);
  return Label;
}

}  // namespace

void TForm1::BuildMenus() {
  menuBar()->setObjectName(QStringLiteral("MainMenu1"));

  File1 = menuBar()->addMenu(QStringLiteral("&File"));
  File1->setObjectName(QStringLiteral("File1"));
  Open1 = File1->addAction(QStringLiteral("&Open..."));
  Open1->setObjectName(QStringLiteral("Open1"));
  Saverepairedcopy1 = File1->addAction(QStringLiteral("Save &repaired copy..."));
  Saverepairedcopy1->setObjectName(QStringLiteral("Saverepairedcopy1"));
  Saverepairedcopy1->setEnabled(false);
  N1 = File1->addSeparator();
  N1->setObjectName(QStringLiteral("N1"));
  Exit1 = File1->addAction(QStringLiteral("E&xit"));
  Exit1->setObjectName(QStringLiteral("Exit1"));

  Tools1 = menuBar()->addMenu(QStringLiteral("&Tools"));
  Tools1->setObjectName(QStringLiteral("Tools1"));
  Checkdigitalminmaxvalues1 = Tools1->addAction(QStringLiteral("Check digital min/max values"));
  Checkdigitalminmaxvalues1->setObjectName(QStringLiteral("Checkdigitalminmaxvalues1"));
  CheckEDFconformance1 = Tools1->addAction(QStringLiteral("Check EDF+ conformance"));
  CheckEDFconformance1->setObjectName(QStringLiteral("CheckEDFconformance1"));
  Checksignalquality1 = Tools1->addAction(QStringLiteral("Check signal quality"));
  Checksignalquality1->setObjectName(QStringLiteral("Checksignalquality1"));
  SetToolsEnabled(false);

  Help1 = menuBar()->addMenu(QStringLiteral("&Help"));
  Help1->setObjectName(QStringLiteral("Help1"));
  About1 = Help1->addAction(QStringLiteral("&About"));
  About1->setObjectName(QStringLiteral("About1"));

  connect(Open1, &QAction::triggered, this, &TForm1::Open1Click);
  connect(File1, &QMenu::aboutToShow, this, &TForm1::UpdateRepairEnabled);
  connect(Saverepairedcopy1, &QAction::triggered, this, &TForm1::Saverepairedcopy1Click);
  connect(Exit1, &QAction::triggered, this, &TForm1::Exit1Click);
  connect(Checkdigitalminmaxvalues1, &QAction::triggered, this,
          &TForm1::Checkdigitalminmaxvalues1Click);
  connect(CheckEDFconformance1, &QAction::triggered, this, &TForm1::CheckEDFconformance1Click);
  connect(Checksignalquality1, &QAction::triggered, this, &TForm1::Checksignalquality1Click);
  connect(About1, &QAction::triggered, this, &TForm1::About1Click);
}

void TForm1::BuildPanes() {
  RzStatusBar1 = statusBar();
  RzStatusBar1->setObjectName(QStringLiteral("RzStatusBar1"));
  RzStatusBar1->setFixedHeight(21);

  RzSplitter1 = new QSplitter(Qt::Horizontal, this);
  RzSplitter1->setObjectName(QStringLiteral("RzSplitter1"));
  RzSplitter1->setHandleWidth(SplitterBarWidth);
  RzSplitter1->setChildrenCollapsible(false);
  setCentralWidget(RzSplitter1);

  auto* FilePane = new TDesignPane(QStringLiteral("FileHeader"), FilePaneWidth, RzSplitter1);
  RzGroupBox2 = FilePane;
  RzGroupBox2->setObjectName(QStringLiteral("RzGroupBox2"));
  PlaceRows(FilePane, EDFGeneralFields, FileRows, 11, 152, FFileHeaderBoxes);
  RzLabel24 = BoldLabel(FilePane, "RzLabel24", 288, 248);
  FilePane->AutoSize(RzLabel24);
  RzLabel23 = BoldLabel(FilePane, "RzLabel23", 288, 280);
  FilePane->AutoSize(RzLabel23);
  RzLabel22 = BoldLabel(FilePane, "RzLabel22", 12, 344);
  FilePane->AutoSize(RzLabel22);
  RzLabel21 = new TBlinkLabel(FilePane);
  RzLabel21->setObjectName(QStringLiteral("RzLabel21"));
  QFont Bold = RzLabel21->font();
  Bold.setBold(true);
  RzLabel21->setFont(Bold);
  RzLabel21->setWordWrap(true);
  RzLabel21->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  RzLabel21->setGeometry(12, 368, 429, 35);
  RzLabel21->setText(QStringLiteral("No file selected"));
  FilePane->Stretch(RzLabel21);

  auto* SignalPane = new TDesignPane(QStringLiteral("Signal Header"), SignalPaneWidth, RzSplitter1);
  RzGroupBox1 = SignalPane;
  RzGroupBox1->setObjectName(QStringLiteral("RzGroupBox1"));
  PlaceRows(SignalPane, EDFSignalFields, SignalRows, 1, 124, FSignalHeaderBoxes);
  for (QLineEdit* Box : FSignalHeaderBoxes) SetBoxColour(Box, ColorInactiveCaptionText());
  RzLabel25 = BoldLabel(SignalPane, "RzLabel25", 8, 348);
  RzLabel25->setAlignment(Qt::AlignCenter);
  RzLabel25->resize(313, 16);
  SignalPane->Stretch(RzLabel25);
  RzButton1 = new QPushButton(QStringLiteral("Previous"), SignalPane);
  RzButton1->setObjectName(QStringLiteral("RzButton1"));
  RzButton1->setGeometry(88, 375, 75, 25);
  RzButton1->setEnabled(false);
  RzButton2 = new QPushButton(QStringLiteral("Next"), SignalPane);
  RzButton2->setObjectName(QStringLiteral("RzButton2"));
  RzButton2->setGeometry(236, 375, 75, 25);
  RzButton2->setEnabled(false);
  connect(RzButton1, &QPushButton::clicked, this, &TForm1::RzButton1Click);
  connect(RzButton2, &QPushButton::clicked, this, &TForm1::RzButton2Click);

  RzSplitter1->setSizes({FilePaneWidth, width() - FilePaneWidth - SplitterBarWidth});
  // The file pane keeps its width when the window's size changes (also when
  // the frame is taken off the inside); the signal pane takes the difference.
  RzSplitter1->setStretchFactor(1, 1);
  // The minimum height set with the window's size is an outer one as well.
  new TOuterSize(*this, minimumHeight());
}
