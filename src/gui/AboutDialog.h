#pragma once

#include <QDialog>
#include <QList>
#include <QUrl>

class QBoxLayout;
class QGridLayout;
class QLabel;
class QPushButton;
struct AboutTexts;

// The about box: the product, its version and a summary of the processor,
// the operating system and the memory, with a mail and a web link.
class TdlgAbout : public QDialog {
    Q_OBJECT
public:
    explicit TdlgAbout(QWidget *parent = nullptr);

    void setTexts(const AboutTexts &texts);

    static QUrl mailLink();
    static QUrl webLink();

    bool eventFilter(QObject *watched, QEvent *event) override;

protected:
    void changeEvent(QEvent *event) override;

private:
    void applyFontSizes();
    void FormCreate();
    void RxLabelEnter();
    void RxLabelLeave();
    void cmEmail();
    void Image1Click();
    void cmMoveForm();

    QLabel *Icon, *lproduct, *lCopy, *Image1;
    QLabel *lDesc, *lVer, *lCopy1, *lComment, *lOS, *lCPU, *lMem;
    QPushButton *btnOK;
    // The layouts whose room grows with the font.
    QGridLayout *m_banner;
    QBoxLayout *m_title, *m_bannerCopy, *m_body;
    QList<QBoxLayout *> m_textBlocks;
};

// Builds the about box for the running program, measures the processor's
// clock, shows the box modally and frees it.
void ShowAbout(QWidget *owner);
