#include "gui/AboutDialog.h"
#include "application/AboutText.h"
#include "gui/MainWindow.h"
#include "support/FakeWindow.h"
#include "sysinfo/SystemSummary.h"

#include <QAction>
#include <QApplication>
#include <QDebug>
#include <QDesktopServices>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Takes the links the box asks the desktop to open.
class LinkCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
    Q_INVOKABLE void open(const QUrl &url) { opened << url; }
};

QString labelText(QWidget *box, const char *name)
{
    const auto *l = box->findChild<QLabel *>(QString::fromLatin1(name));
    return l ? l->text() : QStringLiteral("<no label %1>").arg(QLatin1String(name));
}

void click(QWidget *w)
{
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), w->mapToGlobal(QPointF(2, 2)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
}

// What the box draws: labels, rules and the button, without the banner
// that holds some of them; where, in the box's coordinates.
QMap<QWidget *, QRect> controls(QWidget *box)
{
    QMap<QWidget *, QRect> drawn;
    for (QWidget *w : box->findChildren<QWidget *>())
        if (w->isVisibleTo(box) && w->findChildren<QWidget *>(Qt::FindDirectChildrenOnly).isEmpty())
            drawn.insert(w, QRect(w->mapTo(box, QPoint(0, 0)), w->size()));
    return drawn;
}

std::string describe(QWidget *w, const QRect &where)
{
    QString text;
    QDebug(&text) << w << where;
    return text.toStdString();
}

} // namespace

TEST(AboutBox, TheCommandShowsTheMachineAndClosesWithOK)
{
    FakePlatform platform;
    FakeWindowServices ui;
    StartedWindow w(platform.platform(), ui.services());
    QMap<QString, QString> seen;
    bool modal = false;
    // The box runs its own loop; look at it from there and press OK.
    QTimer::singleShot(0, [&] {
        QWidget *box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        modal = qobject_cast<TdlgAbout *>(box) != nullptr;
        for (const char *name : {"lproduct", "lVer", "lOS", "lCPU", "lMem", "lDesc"})
            seen[QString::fromLatin1(name)] = labelText(box, name);
        box->findChild<QPushButton *>("btnOK")->click();
    });
    w.findChild<QAction *>("mmAbout")->trigger();
    EXPECT_TRUE(modal);
    // The test program carries no version record: the empty labels.
    EXPECT_EQ(seen["lproduct"], "");
    EXPECT_EQ(seen["lVer"], "Version 0.0 [Build: 0] - ");
    EXPECT_EQ(seen["lDesc"], "Application Description");
    EXPECT_EQ(seen["lOS"], "OS: " + systemSummary().OSName);
    EXPECT_EQ(seen["lMem"], memoryLine(systemSummary().TotalPhysMem));
    EXPECT_TRUE(seen["lCPU"].startsWith("CPU: ") && seen["lCPU"].endsWith(" Mhz")) << seen["lCPU"].toStdString();
    EXPECT_TRUE(w.findChildren<TdlgAbout *>().isEmpty()); // freed when closed
    EXPECT_TRUE(ui.prompts.errors.isEmpty());
}

TEST(AboutBox, LinksOpenWithTheDesktopsHandlers)
{
    LinkCatcher catcher;
    QDesktopServices::setUrlHandler("mailto", &catcher, "open");
    QDesktopServices::setUrlHandler("https", &catcher, "open");
    TdlgAbout box;
    AboutTexts texts;
    texts.copyright = "Copyright 2025 Korvell";
    box.setTexts(texts);
    auto *copyright = box.findChild<QLabel *>("lCopy");
    ASSERT_NE(copyright, nullptr);
    EXPECT_EQ(labelText(&box, "lCopy1"), texts.copyright);

    QEvent enter(QEvent::Enter), leave(QEvent::Leave);
    QApplication::sendEvent(copyright, &enter);
    EXPECT_TRUE(copyright->font().underline());
    QApplication::sendEvent(copyright, &leave);
    EXPECT_FALSE(copyright->font().underline());

    click(copyright);
    click(box.findChild<QLabel *>("Image1"));
    EXPECT_EQ(catcher.opened, QList<QUrl>({TdlgAbout::mailLink(), TdlgAbout::webLink()}));
    EXPECT_EQ(TdlgAbout::mailLink().scheme(), "mailto");
    QDesktopServices::unsetUrlHandler("mailto");
    QDesktopServices::unsetUrlHandler("https");
}

// A larger font (the user's, or a HiDPI screen's) grows the box: no line is
// clipped, no control lies on another, and the box is no larger than its
// lines need: less than a line's height beyond them.
TEST(AboutBox, EveryLineFitsAndNothingOverlapsAtEveryFontSize)
{
    const AboutTexts texts{"Lumeo",
                           "Korvell Network scanning tool",
                           "Version 5.0 [Build: 300] - Win 9x, Me, NT4, 2K, XP compatible",
                           "Copyright \u00A9 2003-2025 Korvell",
                           "This program is provided as it is, without warranty of any kind.",
                           "OS: Linux 6.18.44-fc-v1374 (Debian GNU/Linux 12 (bookworm))",
                           "CPU: AMD EPYC 7B13 64-Core Processor - 2600 Mhz",
                           "Memory: 24,683,752 KB"};
    for (const qreal scale : {1.0, 1.5, 2.0}) {
        SCOPED_TRACE(testing::Message() << "font scale " << scale);
        TdlgAbout box;
        QFont bigger = box.font();
        bigger.setPointSizeF(bigger.pointSizeF() * scale);
        box.setFont(bigger);
        box.setTexts(texts);
        box.show();
        const QMap<QWidget *, QRect> drawn = controls(&box);
        ASSERT_GE(drawn.size(), 14); // eleven labels, two rules and the button at least
        int textRight = 0, bottom = 0;
        for (auto it = drawn.begin(); it != drawn.end(); ++it) {
            EXPECT_TRUE(box.rect().contains(*it)) << describe(it.key(), *it);
            for (auto other = std::next(it); other != drawn.end(); ++other)
                EXPECT_FALSE(it->intersects(*other))
                    << describe(it.key(), *it) << " / " << describe(other.key(), *other);
            if (const auto *l = qobject_cast<QLabel *>(it.key()); l && !l->text().isEmpty()) {
                // The text's extent as the label's font draws it in the label's room.
                const int flags = int(l->alignment()) | (l->wordWrap() ? int(Qt::TextWordWrap) : 0);
                const QRect extent = QFontMetrics(l->font()).boundingRect(l->contentsRect(), flags, l->text());
                EXPECT_TRUE(l->contentsRect().contains(extent)) << describe(it.key(), *it);
                textRight = std::max(textRight, it->left() + extent.right());
            }
            bottom = std::max(bottom, it->bottom());
        }
        // The picture stays in the banner's right corner, the button below the
        // last line in the box's.
        EXPECT_EQ(drawn.value(box.findChild<QLabel *>("Image1")).right(), box.rect().right());
        const QRect ok = drawn.value(box.findChild<QPushButton *>("btnOK"));
        EXPECT_EQ(ok.bottom(), bottom);
        const int line = QFontMetrics(bigger).height();
        EXPECT_LT(box.width() - ok.right(), line);
        EXPECT_LT(box.height() - bottom, line);
        EXPECT_LT(box.width() - textRight, line);
    }
}

#include "AboutDialogTest.moc"
