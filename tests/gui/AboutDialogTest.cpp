#include "gui/AboutDialog.h"
#include "application/AboutText.h"
#include "gui/MainWindow.h"
#include "support/FakeWindow.h"
#include "sysinfo/SystemSummary.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
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

#include "AboutDialogTest.moc"
