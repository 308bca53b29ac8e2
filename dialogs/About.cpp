#include "dialogs/About.h"

#include "dialogs/ApplicationTitle.h"
#include "dialogs/ProgramIcon.h"
#include "platform/DesktopOpener.h"

#include <QApplication>
#include <QFrame>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <memory>
#include <utility>

namespace {

QFont boldFont(const QFont& base, int pixelSize = 0, bool underline = false)
{
    QFont font = base;
    font.setBold(true);
    font.setUnderline(underline);
    if (pixelSize > 0)
        font.setPixelSize(pixelSize);
    return font;
}

void setTextColour(QLabel* label, const QColor& colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, QRect geometry)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(geometry);
    return label;
}

} // namespace

TAboutBox1::TAboutBox1(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint)
    , OpenUrl(kaptivus::platform::openWithDesktop)
{
    setObjectName(QStringLiteral("AboutBox1"));
    setWindowTitle(QStringLiteral("A propos de Kaptivus v5.10"));
    setFixedSize(348, 332);
    buildPanel();
    buildLinks();

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(137, 296, 75, 25);
    OKButton->setDefault(true);
    OKButton->setAutoDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &TAboutBox1::OKButtonClick);
    OKButton->setFocus();

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - QPoint(width() / 2, height() / 2));
}

void TAboutBox1::buildPanel()
{
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(8, 8, 332, 280);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setGeometry(8, 8, 109, 129);
    ProgramIcon->setScaledContents(true);
    ProgramIcon->setPixmap(kaptivus::dialogs::ProgramPicture(QSize(109, 129)));

    Version = makeLabel(Panel1, "Version", QStringLiteral("Version v5.10 complète"), QRect(125, 20, 199, 20));
    Version->setFont(boldFont(font()));
    setTextColour(Version, Qt::red);
    Label3 = makeLabel(Panel1, "Label3", QStringLiteral("Utilitaire de capture d'écran"), QRect(125, 48, 199, 40));
    Label3->setWordWrap(true);

    // The name in its large type needs the panel's whole width, under the picture.
    ProductName = makeLabel(Panel1, "ProductName", kaptivus::dialogs::ApplicationTitle(), QRect(4, 140, 324, 44));
    ProductName->setFont(boldFont(font(), 32, true));
    ProductName->setAlignment(Qt::AlignCenter);
    setTextColour(ProductName, Qt::red);

    Label4 = makeLabel(Panel1, "Label4",
                       QStringLiteral("Captures du bureau, d'une fenêtre, d'une zone ou d'un objet, "
                                      "à imprimer, enregistrer ou copier."),
                       QRect(10, 188, 312, 34));
    Label4->setWordWrap(true);
}

void TAboutBox1::buildLinks()
{
    const QColor blue(0, 0, 255);
    Label1 = makeLabel(Panel1, "Label1", QStringLiteral("E-Mail "), QRect());
    Label2 = makeLabel(Panel1, "Label2", QStringLiteral("Page d'accueil"), QRect());
    Label7 = new TClickLabel(QString::fromLatin1(EMailAddress), Panel1);
    Label12 = new TClickLabel(QString::fromLatin1(HomePage), Panel1);
    Label7->setObjectName(QStringLiteral("Label7"));
    Label12->setObjectName(QStringLiteral("Label12"));
    Label7->setToolTip(QStringLiteral("Pour m'envoyer un e-mail"));
    Label12->setToolTip(QStringLiteral("Visitez ma page d'accueil"));

    // Captions in one column, each link right of it, as wide as the panel allows.
    const QFont bold = boldFont(font());
    const QFontMetrics metrics(bold);
    const int captionWidth =
        std::max(metrics.horizontalAdvance(Label1->text()), metrics.horizontalAdvance(Label2->text())) + 2;
    const int linkLeft = 10 + captionWidth + 6;
    const int linkWidth = Panel1->width() - 6 - linkLeft;
    int top = 228;
    for (auto [caption, link] : {std::pair<QLabel*, TClickLabel*>{Label1, Label7}, {Label2, Label12}}) {
        caption->setFont(bold);
        caption->setGeometry(10, top, captionWidth, 20);
        link->setTextFormat(Qt::PlainText);
        link->setGeometry(linkLeft, top, linkWidth, 20);
        top += 24;
    }
    for (TClickLabel* link : {Label7, Label12}) {
        link->setFont(boldFont(font(), 0, true));
        setTextColour(link, blue);
        link->setCursor(Qt::PointingHandCursor);
    }
    connect(Label7, &TClickLabel::clicked, this, &TAboutBox1::Label7Click);
    connect(Label12, &TClickLabel::clicked, this, &TAboutBox1::Label12Click);
}

void TAboutBox1::OKButtonClick()
{
    done(1);
}

void TAboutBox1::Label7Click()
{
    openLink(QUrl(QStringLiteral("mailto:") + QString::fromLatin1(EMailAddress)), QStringLiteral("Could not Send E-Mail"));
}

void TAboutBox1::Label12Click()
{
    openLink(QUrl(QString::fromLatin1(HomePage)), QStringLiteral("Could not find the URL"));
}

// The opener's verdict comes when it exits, so the box stays usable meanwhile;
// the message shows also when the box has been closed since (then on its own).
void TAboutBox1::openLink(const QUrl& url, const QString& failure)
{
    QPointer<TAboutBox1> self(this);
    auto report = [self, failure](bool ok) {
        if (ok) return;
        QApplication::beep();
        QMessageBox box(QMessageBox::NoIcon, kaptivus::dialogs::ApplicationTitle(), failure, QMessageBox::Ok,
                        self.data());
        box.setObjectName(QStringLiteral("AboutFailureMessage"));
        box.setTextFormat(Qt::PlainText);
        box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
        box.exec();
    };
    if (OpenUrl)
        OpenUrl(url, report);
    else
        report(false);
}

void ShowAboutBox(QWidget* parent)
{
    auto box = std::make_unique<TAboutBox1>(parent);
    box->exec();
}
