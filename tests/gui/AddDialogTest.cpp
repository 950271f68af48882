#include "gui/AddDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class AddDialog : public ::testing::Test {
protected:
    TformAdd dialog;

    template <typename W>
    W *child(const char *name) const
    {
        W *w = dialog.findChild<W *>(QString::fromLatin1(name));
        EXPECT_TRUE(w) << name;
        return w;
    }
    QLineEdit *edit(const char *name) const { return child<QLineEdit>(name); }
    QCheckBox *lookupBox() const { return child<QCheckBox>("cbxDNS"); }
    QPushButton *ok() const { return child<QPushButton>("bbOK"); }
    // The colour the address box is drawn with, away from its frame.
    QColor drawnBackground() const
    {
        QLineEdit *ip = edit("eIP");
        const QImage img = ip->grab().toImage();
        return img.pixelColor(img.width() / 2, img.height() / 2);
    }
};

// Answers the modal dialog that is about to run: fills it in, then presses a key.
void answerNextDialog(const QString &address, Qt::Key key)
{
    QTimer::singleShot(0, [address, key] {
        QWidget *modal = QApplication::activeModalWidget();
        ASSERT_TRUE(modal);
        auto *ip = modal->findChild<QLineEdit *>("eIP");
        ip->setText(address);
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(modal->findChild<QLineEdit *>("eWKSTA"), &press);
        if (modal->isVisible()) { // the key did not close it: leave all the same
            ADD_FAILURE() << "the key left the dialog open";
            static_cast<QDialog *>(modal)->reject();
        }
    });
}

} // namespace

TEST_F(AddDialog, LaidOutWithItsCaptionsAndTabOrder)
{
    EXPECT_EQ(dialog.windowTitle(), "Add workstation");
    EXPECT_EQ(child<QGroupBox>("GroupBox1")->title(), " Enter either host name or IP address ");
    EXPECT_EQ(child<QLabel>("Label1")->text(), "Workstation");
    EXPECT_EQ(child<QLabel>("Label2")->text(), "IP Address");
    EXPECT_EQ(child<QLabel>("Label3")->text(), "Workgroup");
    EXPECT_EQ(lookupBox()->text(), "Lookup for host name before adding");
    EXPECT_EQ(ok()->text(), "OK");
    EXPECT_TRUE(ok()->isDefault());
    EXPECT_EQ(child<QPushButton>("bbCancel")->text(), "Cancel");
    EXPECT_EQ(child<QLabel>("Image1")->pixmap().size(), QSize(32, 32));
    EXPECT_GE(dialog.width(), 280);
    EXPECT_GE(dialog.height(), 231);
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize()); // not resizable

    QStringList order;
    QWidget *w = edit("eWKSTA");
    for (int i = 0; i < 20 && (order.isEmpty() || w != edit("eWKSTA")); ++i, w = w->nextInFocusChain())
        if (w->focusPolicy() & Qt::TabFocus)
            order << w->objectName();
    EXPECT_EQ(order, QStringList({"eWKSTA", "eIP", "cbxDNS", "eWG", "bbOK", "bbCancel"}));
}

TEST_F(AddDialog, OkFollowsTheTextsButNotTheLookupBox)
{
    // Each step types into one box (or toggles the lookup box); OK after it.
    const struct {
        const char *box; // nullptr: toggle the lookup box instead
        const char *text;
        bool okAfter;
    } steps[] = {
        {"eWG", "LAB", false},                             // the workgroup never matters
        {"eIP", "10.0.0.1", false},                        // lookups are off: an address is not enough
        {nullptr, "", false},                              // lookups on: OK keeps its state...
        {"eWG", "LAB2", true},                             // ...until the next text change
        {nullptr, "", true},                               // lookups off again, OK still as it was
        {"eIP", "10.0.0.2", false}, {"eWKSTA", " ", true}, // a blank is a name
        {"eWKSTA", "", false},
    };
    dialog.setLookUp(false);
    dialog.Change();
    EXPECT_FALSE(ok()->isEnabled());
    int i = 0;
    for (const auto &s : steps) {
        if (s.box)
            edit(s.box)->setText(QString::fromLatin1(s.text));
        else
            lookupBox()->toggle();
        EXPECT_EQ(ok()->isEnabled(), s.okAfter) << "step " << i;
        ++i;
    }
}

TEST_F(AddDialog, TheAddressBoxIsUsableAndWhiteOnlyWithLookups)
{
    dialog.show();
    const QPalette pal = dialog.palette();
    ASSERT_NE(pal.color(QPalette::Base), pal.color(QPalette::Button)) << "the theme must tell the two apart";
    for (bool on : {true, false, true}) {
        lookupBox()->setChecked(on);
        EXPECT_EQ(edit("eIP")->isEnabled(), on);
        const QColor expected = pal.color(on ? QPalette::Base : QPalette::Button);
        EXPECT_EQ(drawnBackground(), expected) << "lookups " << on;
    }
    // Showing the dialog applies the box's state, however it was set.
    dialog.hide();
    lookupBox()->blockSignals(true);
    lookupBox()->setChecked(false);
    lookupBox()->blockSignals(false);
    dialog.show();
    EXPECT_FALSE(edit("eIP")->isEnabled());
    EXPECT_EQ(drawnBackground(), pal.color(QPalette::Button));
}

TEST_F(AddDialog, TheGreyFollowsAThemeChange)
{
    lookupBox()->setChecked(false);
    dialog.show();
    const QPalette before = QApplication::palette();
    QPalette dark = before;
    dark.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
    dark.setColor(QPalette::Button, QColor(0x40, 0x40, 0x48));
    dark.setColor(QPalette::Window, QColor(0x30, 0x30, 0x30));
    QApplication::setPalette(dark);
    QApplication::processEvents();
    const QColor drawn = drawnBackground();
    QApplication::setPalette(before);
    EXPECT_EQ(drawn, QColor(0x40, 0x40, 0x48));
}

TEST(AddDialogRun, EnterAddsEscCancelsAndTheTextsComeBackAsTyped)
{
    answerNextDialog("10.0.0.1 ", Qt::Key_Return);
    const std::optional<AddEntry> added = askAddWorkstation(nullptr, " SERVER1", true);
    ASSERT_TRUE(added.has_value());
    EXPECT_EQ(*added, (AddEntry{" SERVER1", "10.0.0.1 ", "", true}));

    answerNextDialog("10.0.0.1", Qt::Key_Escape);
    EXPECT_FALSE(askAddWorkstation(nullptr, "SERVER1", true).has_value());

    // With lookups off the address box is disabled, but its text is read.
    answerNextDialog("10.0.0.9", Qt::Key_Return);
    const std::optional<AddEntry> plain = askAddWorkstation(nullptr, "SERVER1", false);
    ASSERT_TRUE(plain.has_value());
    EXPECT_EQ(*plain, (AddEntry{"SERVER1", "10.0.0.9", "", false}));
}
