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
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWindow>

#include <initializer_list>
#include <utility>

namespace {

const QColor kBannerColour(98, 134, 225);
// The banner's fonts, relative to the box's own: a large product name and
// a small copyright line.
constexpr qreal kProductScale = 1.75;
constexpr qreal kBannerCopyScale = 0.85;
constexpr int kIconSize = 32;
// The room around the texts, in line heights of the box's font, so that a
// larger font gets more of it: the banner's insets, the gaps between the
// icon and the product name and between them and the copyright line, the
// box's edges (where the rules end), the lines' further indent (on the right
// they may run on to the rules' end), the room between the lines and the
// room above and below a rule.
constexpr qreal kBannerInset = 0.5;
constexpr qreal kIconGap = 0.4;
constexpr qreal kTitleGap = 0.75;
constexpr qreal kBelowBannerCopy = 0.2;
constexpr qreal kEdge = 0.75;
constexpr qreal kTextIndent = 1.25;
constexpr qreal kLineGap = 0.25;
constexpr qreal kRuleGap = 0.5;

QLabel *label(QWidget *parent, const char *name)
{
    auto *l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    return l;
}

QFrame *rule(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QFont scaledFont(QFont f, qreal factor)
{
    if (f.pointSizeF() > 0)
        f.setPointSizeF(f.pointSizeF() * factor);
    else
        f.setPixelSize(qMax(1, qRound(f.pixelSize() * factor)));
    return f;
}

// Lines of text set in from the rules, close together as one block.
QVBoxLayout *textBlock(std::initializer_list<QWidget *> lines)
{
    auto *block = new QVBoxLayout;
    for (QWidget *line : lines)
        block->addWidget(line);
    return block;
}

// The web link's picture: a small network of three stations and the
// company's name, in the banner's white. A picture, not text: it keeps its
// size when the font grows, and is drawn at the screen's pixel density.
QPixmap linkPicture(qreal pixelRatio)
{
    const QSize size(80, 50);
    QPixmap picture(size * pixelRatio);
    picture.setDevicePixelRatio(pixelRatio);
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
    QFont name(QStringLiteral("Tahoma"));
    name.setPixelSize(13);
    name.setBold(true);
    p.setFont(name);
    p.drawText(QRect(0, 26, size.width(), 20), Qt::AlignCenter, QStringLiteral("Korvell"));
    return picture;
}

} // namespace

TdlgAbout::TdlgAbout(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgAbout"));
    setWindowTitle(QStringLiteral("About..."));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    auto *banner = new QWidget(this);
    banner->setObjectName(QStringLiteral("banner"));
    banner->setAutoFillBackground(true);
    QPalette bannerColours = banner->palette();
    bannerColours.setColor(QPalette::Window, kBannerColour);
    bannerColours.setColor(QPalette::WindowText, Qt::white);
    banner->setPalette(bannerColours);

    Icon = label(banner, "Icon");
    Icon->setFixedSize(kIconSize, kIconSize);
    lproduct = label(banner, "lproduct");
    lCopy = label(banner, "lCopy");
    lCopy->setCursor(Qt::PointingHandCursor);
    lCopy->installEventFilter(this);
    Image1 = label(banner, "Image1");
    Image1->setPixmap(linkPicture(devicePixelRatioF()));
    Image1->setCursor(Qt::PointingHandCursor);
    Image1->installEventFilter(this);

    // The icon and the product name side by side at the top, the copyright
    // line at the bottom left, the picture flush in the lower right corner.
    m_title = new QHBoxLayout;
    m_title->addWidget(Icon);
    m_title->addWidget(lproduct);
    m_bannerCopy = new QVBoxLayout;
    m_bannerCopy->addWidget(lCopy);
    m_banner = new QGridLayout(banner);
    m_banner->addLayout(m_title, 0, 0, Qt::AlignHCenter | Qt::AlignTop);
    m_banner->addLayout(m_bannerCopy, 1, 0, Qt::AlignLeft | Qt::AlignBottom);
    m_banner->addWidget(Image1, 0, 1, 2, 1, Qt::AlignRight | Qt::AlignBottom);
    m_banner->setRowStretch(1, 1);

    lDesc = label(this, "lDesc");
    lDesc->setText(QStringLiteral("Application Description"));
    lVer = label(this, "lVer");
    lVer->installEventFilter(this); // the box is dragged by its version line
    lCopy1 = label(this, "lCopy1");
    lComment = label(this, "lComment");
    lComment->setWordWrap(true);
    lComment->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette navy = lComment->palette();
    navy.setColor(QPalette::WindowText, QColor(0, 0, 128));
    lComment->setPalette(navy);
    lOS = label(this, "lOS");
    lCPU = label(this, "lCPU");
    lMem = label(this, "lMem");

    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK);

    m_textBlocks = {textBlock({lDesc, lVer, lCopy1}), textBlock({lComment}), textBlock({lOS, lCPU, lMem})};
    m_body = new QVBoxLayout;
    m_body->setSpacing(0);
    m_body->addLayout(m_textBlocks[0]);
    m_body->addWidget(rule(this));
    m_body->addLayout(m_textBlocks[1]);
    m_body->addWidget(rule(this));
    m_body->addLayout(m_textBlocks[2]);
    m_body->addLayout(buttons);

    auto *all = new QVBoxLayout(this);
    all->setContentsMargins(0, 0, 0, 0);
    all->setSpacing(0);
    all->addWidget(banner);
    all->addWidget(rule(this));
    all->addLayout(m_body);
    // The box takes the size its lines need, and keeps it.
    all->setSizeConstraint(QLayout::SetFixedSize);

    applyFontSizes();
    FormCreate();
}

void TdlgAbout::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange)
        applyFontSizes();
    QDialog::changeEvent(event);
}

void TdlgAbout::applyFontSizes()
{
    QFont product = scaledFont(font(), kProductScale);
    product.setBold(true);
    lproduct->setFont(product);
    QFont copy = scaledFont(font(), kBannerCopyScale);
    copy.setUnderline(lCopy->font().underline()); // the mouse may be over it
    lCopy->setFont(copy);

    const qreal line = fontMetrics().height();
    const auto room = [line](qreal lines) { return qRound(lines * line); };
    m_banner->setContentsMargins(room(kBannerInset), room(kBannerInset), 0, 0);
    m_banner->setHorizontalSpacing(room(kBannerInset));
    m_banner->setVerticalSpacing(room(kTitleGap));
    m_title->setSpacing(room(kIconGap));
    m_bannerCopy->setContentsMargins(0, 0, 0, room(kBelowBannerCopy));
    m_body->setContentsMargins(room(kEdge), room(kRuleGap), room(kEdge), room(kEdge));
    for (QBoxLayout *block : std::as_const(m_textBlocks)) {
        block->setContentsMargins(room(kTextIndent), room(kRuleGap), 0, room(kRuleGap));
        block->setSpacing(room(kLineGap));
    }
}

void TdlgAbout::FormCreate()
{
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull())
        icon = Pictures::commandPictures().value(Pictures::picPing);
    Icon->setPixmap(icon.pixmap(QSize(kIconSize, kIconSize), devicePixelRatioF()));
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
