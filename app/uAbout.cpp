#include "app/uAbout.h"

#include "app/uFormDesign.h"

#include <functional>
#include <utility>

#include <QFile>
#include <QFont>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>

#include "app/uDialogs.h"
#include "app/uJpeg.h"

#ifndef VELLICOR_VERSION
#define VELLICOR_VERSION ""
#endif
#ifndef VELLICOR_LEGAL_NOTICE
#define VELLICOR_LEGAL_NOTICE ""
#endif

// Resources compiled into a static library are only linked in when something
// refers to them; Q_INIT_RESOURCE is that reference (and must not sit inside a
// namespace).
static void EnsureAboutResources() {
  static const bool Done = [] {
    Q_INIT_RESOURCE(vellicor_app);
    return true;
  }();
  (void)Done;
}

namespace {

// A label that reacts to a click of the left button, like a link.
class TClickLabel : public QLabel {
public:
  using QLabel::QLabel;
  std::function<void()> OnClick;

protected:
  void mouseReleaseEvent(QMouseEvent* Event) override {
    if (Event->button() == Qt::LeftButton && rect().contains(Event->position().toPoint()) && OnClick)
      OnClick();
    QLabel::mouseReleaseEvent(Event);
  }
};

QLabel* PlaceLabel(QWidget* Parent, const char* Name, const QString& Text, int Left, int Top) {
  auto* Label = new QLabel(Text, Parent);
  Label->setObjectName(QString::fromLatin1(Name));
  Label->move(Left, Top);
  Label->adjustSize();
  return Label;
}

}  // namespace

QByteArray AboutPictureData() {
  EnsureAboutResources();
  QFile File(QStringLiteral(":/vellicor/about.jpg"));
  if (!File.open(QIODevice::ReadOnly)) return {};
  return File.readAll();
}

QPixmap ProgramIcon() {
  EnsureAboutResources();
  return QPixmap(QStringLiteral(":/vellicor/vellicor.xpm"));
}

TWexaAboutForm::TWexaAboutForm(QWidget* Parent)
    : QDialog(Parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
  EnsureAboutResources();
  setObjectName(QStringLiteral("WexaAboutForm"));
  setWindowTitle(QStringLiteral("About"));
  setFont(DesignFont());
  QPalette White = palette();
  White.setColor(QPalette::Window, Qt::white);
  setPalette(White);
  setAutoFillBackground(true);
  BuildLayout();
  setFixedSize(442, 249);
  move(400, 316);
}

void TWexaAboutForm::BuildLayout() {
  // The picture first, so that the Ok button, which overlaps it, stays on top.
  Image1 = new QLabel(this);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setGeometry(-24, 160, 400, 94);
  Image1->setScaledContents(true);
  Image1->setPixmap(QPixmap::fromImage(DecodeJpeg(AboutPictureData())));

  auto* Icon = new TClickLabel(this);
  Icon->OnClick = [this] { Image2Click(); };
  Image2 = Icon;
  Image2->setObjectName(QStringLiteral("Image2"));
  Image2->setGeometry(16, 16, 65, 73);
  Image2->setAlignment(Qt::AlignCenter);
  Image2->setCursor(Qt::PointingHandCursor);
  Image2->setPixmap(ProgramIcon());

  Label1 = PlaceLabel(this, "Label1", QString(), 120, 16);
  Label1->resize(317, Label1->height());

  RzLabel3 = new QLabel(this);
  RzLabel3->setObjectName(QStringLiteral("RzLabel3"));
  RzLabel3->setGeometry(120, 36, 317, 61);
  RzLabel3->setWordWrap(true);
  RzLabel3->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  PlaceLabel(this, "RzLabel2", QStringLiteral("Version"), 16, 101);
  PlaceLabel(this, "VersionInfo", QStringLiteral(VELLICOR_VERSION), 68, 100);
  PlaceLabel(this, "NoticeCaption", QStringLiteral("Notice"), 16, 125);
  // One line of 209 pixels between its caption and the e-mail row: the
  // notice is kept short enough to fit.
  QLabel* Notice = PlaceLabel(this, "NoticeInfo", QStringLiteral(VELLICOR_LEGAL_NOTICE), 92, 124);
  Notice->resize(209, Notice->height());

  QLabel* Email = PlaceLabel(this, "Label2", QStringLiteral("Email"), 16, 152);
  QFont Bold = Email->font();
  Bold.setBold(true);
  Email->setFont(Bold);
  Email->adjustSize();
  Email->setCursor(Qt::PointingHandCursor);

  auto* Link = new TClickLabel(this);
  Link->OnClick = [this] { RzURLLabel1Click(); };
  RzURLLabel1 = Link;
  RzURLLabel1->setObjectName(QStringLiteral("RzURLLabel1"));
  RzURLLabel1->move(68, 152);
  RzURLLabel1->setCursor(Qt::PointingHandCursor);
  QFont Underlined = RzURLLabel1->font();
  Underlined.setUnderline(true);
  RzURLLabel1->setFont(Underlined);
  QPalette LinkPalette = RzURLLabel1->palette();
  LinkPalette.setColor(QPalette::WindowText, LinkPalette.color(QPalette::Link));
  RzURLLabel1->setPalette(LinkPalette);

  Button1 = new QPushButton(QStringLiteral("Ok"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(360, 208, 75, 25);
  Button1->setDefault(true);
  connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
}

void TWexaAboutForm::SetProgramName(const QString& Name) {
  FProgramName = Name;
  Label1->setText(Name);
}

void TWexaAboutForm::SetDescription(const QString& Text) {
  FDescription = Text;
  RzLabel3->setText(Text);
}

void TWexaAboutForm::SetEmail(const QString& Address) {
  // The blank after the colon is part of the rule: "mailto:x" gets the prefix.
  FEmailTarget = Address.toUpper().contains(QStringLiteral("MAILTO: "))
                     ? Address
                     : QStringLiteral("mailto: ") + Address;
  RzURLLabel1->setText(Address);
  RzURLLabel1->adjustSize();
}

void TWexaAboutForm::SetWebAddress(const QString& Address) {
  FWebTarget = Address.contains(QStringLiteral("http://"), Qt::CaseSensitive)
                   ? Address
                   : QStringLiteral("http://") + Address;
  Image2->setToolTip(FWebTarget);
}

void TWexaAboutForm::Image2Click() {
  // A failing desktop handler is not worth a message.
  if (!FWebTarget.isEmpty()) Dialogs().OpenUrl(QUrl(FWebTarget));
}

void TWexaAboutForm::RzURLLabel1Click() {
  const QString Target = FEmailTarget.isEmpty() ? RzURLLabel1->text() : FEmailTarget;
  if (!Dialogs().OpenUrl(QUrl(Target))) return;
  QPalette Visited = RzURLLabel1->palette();
  Visited.setColor(QPalette::WindowText, Visited.color(QPalette::LinkVisited));
  RzURLLabel1->setPalette(Visited);
}
