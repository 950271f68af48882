#include "gui/AboutDialog.h"

#include "application/AboutText.h"
#include "gui/Pictures.h"
#include "sysinfo/CPU.h"
#include "sysinfo/SystemSummary.h"
#include "sysinfo/VersionInfo.h"

#include <QApplication>
#include <QColor>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFont>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QWindow>

namespace {

constexpr int kClientWidth = 412;
constexpr int kClientHeight = 326;
constexpr int kBannerHeight = 73;
const QColor kBannerColour(98, 134, 225);

QLabel *label(QWidget *parent, const char *name, const QRect &where)
{
    auto *l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(where);
    return l;
}

QFrame *rule(QWidget *parent, const QRect &where)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(where);
    return line;
}

QFont pixelFont(int pixels, bool bold)
{
    QFont f(QStringLiteral("Tahoma"));
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

// The web link's picture: a small network of three stations and the
// company's name, in the banner's white.
QPixmap linkPicture()
{
    QPixmap picture(80, 50);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::white, 1.5));
    const QPointF hub(40, 14), left(14, 8), right(66, 8);
    p.drawLine(left, hub);
    p.drawLine(hub, right);
    p.setBrush(Qt::white);
    for (const QPointF &station : {left, hub, right})
        p.drawEllipse(station, 4, 4);
    p.setFont(pixelFont(13, true));
    p.drawText(QRect(0, 26, 80, 20), Qt::AlignCenter, QStringLiteral("Korvell"));
    return picture;
}

} // namespace

TdlgAbout::TdlgAbout(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgAbout"));
    setWindowTitle(QStringLiteral("About..."));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(8);
    setFont(font);

    auto *banner = new QWidget(this);
    banner->setObjectName(QStringLiteral("banner"));
    banner->setGeometry(0, 0, kClientWidth, kBannerHeight);
    banner->setAutoFillBackground(true);
    QPalette bannerColours = banner->palette();
    bannerColours.setColor(QPalette::Window, kBannerColour);
    bannerColours.setColor(QPalette::WindowText, Qt::white);
    banner->setPalette(bannerColours);

    Icon = label(banner, "Icon", QRect(87, 8, 32, 32));
    lproduct = label(banner, "lproduct", QRect(125, 13, 200, 26));
    lproduct->setFont(pixelFont(19, true));
    lCopy = label(banner, "lCopy", QRect(7, 56, 320, 14));
    lCopy->setFont(pixelFont(9, false));
    lCopy->setCursor(Qt::PointingHandCursor);
    lCopy->installEventFilter(this);
    Image1 = label(banner, "Image1", QRect(332, 25, 80, 50));
    Image1->setPixmap(linkPicture());
    Image1->setCursor(Qt::PointingHandCursor);
    Image1->installEventFilter(this);

    auto *lower = new QWidget(this);
    lower->setGeometry(0, kBannerHeight, kClientWidth, kClientHeight - kBannerHeight);
    rule(lower, QRect(0, 0, kClientWidth, 2));
    const int textWidth = kClientWidth - 30 - 10;
    lDesc = label(lower, "lDesc", QRect(30, 19, textWidth, 16));
    lDesc->setText(QStringLiteral("Application Description"));
    lVer = label(lower, "lVer", QRect(30, 37, textWidth, 16));
    lVer->installEventFilter(this); // the box is dragged by its version line
    lCopy1 = label(lower, "lCopy1", QRect(30, 56, textWidth, 16));
    rule(lower, QRect(11, 80, 390, 2));
    lComment = label(lower, "lComment", QRect(30, 90, 355, 52));
    lComment->setWordWrap(true);
    lComment->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette navy = lComment->palette();
    navy.setColor(QPalette::WindowText, QColor(0, 0, 128));
    lComment->setPalette(navy);
    rule(lower, QRect(11, 156, 390, 2));
    lOS = label(lower, "lOS", QRect(30, 164, textWidth, 16));
    lCPU = label(lower, "lCPU", QRect(30, 182, textWidth, 16));
    lMem = label(lower, "lMem", QRect(30, 200, textWidth, 16));

    btnOK = new QPushButton(QStringLiteral("OK"), lower);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setGeometry(329, 217, 75, 25);
    btnOK->setDefault(true);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    FormCreate();
}

void TdlgAbout::FormCreate()
{
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull())
        icon = Pictures::commandPictures().value(Pictures::picPing);
    Icon->setPixmap(icon.pixmap(32, 32));
}

void TdlgAbout::setTexts(const AboutTexts &texts)
{
    lproduct->setText(texts.product);
    lDesc->setText(texts.description);
    lCopy->setText(texts.copyright);
    lCopy1->setText(texts.copyright);
    lVer->setText(texts.version);
    lComment->setText(texts.notice);
    lOS->setText(texts.os);
    lCPU->setText(texts.cpu);
    lMem->setText(texts.memory);
}

QUrl TdlgAbout::mailLink() { return QUrl(QStringLiteral("mailto:lumeo@korvell.example?subject=Lumeo")); }

QUrl TdlgAbout::webLink() { return QUrl(QStringLiteral("https://korvell.example/lumeo/")); }

bool TdlgAbout::eventFilter(QObject *watched, QEvent *event)
{
    const bool leftPress =
        event->type() == QEvent::MouseButtonPress && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton;
    if (watched == lCopy) {
        if (event->type() == QEvent::Enter)
            RxLabelEnter();
        else if (event->type() == QEvent::Leave)
            RxLabelLeave();
        else if (leftPress)
            cmEmail();
    } else if (watched == Image1 && leftPress) {
        Image1Click();
    } else if (watched == lVer && leftPress) {
        cmMoveForm();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TdlgAbout::RxLabelEnter()
{
    QFont f = lCopy->font();
    f.setUnderline(true);
    lCopy->setFont(f);
}

void TdlgAbout::RxLabelLeave()
{
    QFont f = lCopy->font();
    f.setUnderline(false);
    lCopy->setFont(f);
}

void TdlgAbout::cmEmail() { QDesktopServices::openUrl(mailLink()); }

void TdlgAbout::Image1Click() { QDesktopServices::openUrl(webLink()); }

void TdlgAbout::cmMoveForm()
{
    // The window manager moves the box as if its caption were dragged.
    if (QWindow *window = windowHandle())
        window->startSystemMove();
}

void ShowAbout(QWidget *owner)
{
    TdlgAbout dialog(owner);
    TVersionInfo version;
    GetVersionInfo(QCoreApplication::applicationFilePath(), version);
    TCPU cpu;
    cpu.GetInfo(); // measures the clock: a few milliseconds at most
    dialog.setTexts(aboutTexts(version, cpu, systemSummary()));
    dialog.exec();
}
