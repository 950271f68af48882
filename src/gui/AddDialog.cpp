#include "gui/AddDialog.h"

#include "gui/Pictures.h"

#include <QCheckBox>
#include <QEvent>
#include <QFont>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {
constexpr int kClientWidth = 280;
constexpr int kClientHeight = 231;
constexpr int kPictureSize = 32;
} // namespace

TformAdd::TformAdd(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("formAdd"));
    setWindowTitle(QStringLiteral("Add workstation"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFont(QFont(QStringLiteral("Tahoma"), 8));

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setFixedSize(kPictureSize, kPictureSize);
    Image1->setPixmap(Pictures::commandPictures().value(Pictures::picAdd).pixmap(kPictureSize, kPictureSize));

    GroupBox1 = new QGroupBox(QStringLiteral(" Enter either host name or IP address "), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto makeEdit = [this](const char *name) {
        auto *e = new QLineEdit(GroupBox1);
        e->setObjectName(QString::fromLatin1(name));
        return e;
    };
    auto makeLabel = [this](const char *name, const QString &text, QWidget *buddy) {
        auto *l = new QLabel(text, GroupBox1);
        l->setObjectName(QString::fromLatin1(name));
        l->setBuddy(buddy);
        return l;
    };
    eWKSTA = makeEdit("eWKSTA");
    eIP = makeEdit("eIP");
    eWG = makeEdit("eWG");
    Label1 = makeLabel("Label1", QStringLiteral("Workstation"), eWKSTA);
    Label2 = makeLabel("Label2", QStringLiteral("IP Address"), eIP);
    Label3 = makeLabel("Label3", QStringLiteral("Workgroup"), eWG);
    Bevel1 = new QFrame(GroupBox1);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    cbxDNS = new QCheckBox(QStringLiteral("Lookup for host name before adding"), GroupBox1);
    cbxDNS->setObjectName(QStringLiteral("cbxDNS"));

    auto *fields = new QGridLayout(GroupBox1);
    fields->addWidget(Label1, 0, 0);
    fields->addWidget(eWKSTA, 0, 1);
    fields->addWidget(Label2, 1, 0);
    fields->addWidget(eIP, 1, 1);
    fields->addWidget(Label3, 2, 0);
    fields->addWidget(eWG, 2, 1);
    fields->addWidget(Bevel1, 3, 0, 1, 2);
    fields->addWidget(cbxDNS, 4, 0, 1, 2);

    bbOK = new QPushButton(QStringLiteral("OK"), this);
    bbOK->setObjectName(QStringLiteral("bbOK"));
    bbOK->setDefault(true);
    bbCancel = new QPushButton(QStringLiteral("Cancel"), this);
    bbCancel->setObjectName(QStringLiteral("bbCancel"));
    connect(bbOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(bbCancel, &QPushButton::clicked, this, &QDialog::reject); // Esc rejects as well

    auto *top = new QHBoxLayout;
    top->addWidget(Image1, 0, Qt::AlignTop);
    top->addWidget(GroupBox1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(bbOK);
    buttons->addWidget(bbCancel);
    auto *all = new QVBoxLayout(this);
    all->addLayout(top);
    all->addStretch(1);
    all->addLayout(buttons);

    setTabOrder(eWKSTA, eIP);
    setTabOrder(eIP, cbxDNS);
    setTabOrder(cbxDNS, eWG);
    setTabOrder(eWG, bbOK);
    setTabOrder(bbOK, bbCancel);

    for (QLineEdit *e : {eWKSTA, eIP, eWG})
        connect(e, &QLineEdit::textChanged, this, &TformAdd::Change);
    connect(cbxDNS, &QCheckBox::toggled, this, &TformAdd::cbxDNSClick);
    cbxDNSClick();
    Change();

    // The designed client area, or more where this font needs it.
    const QSize need = sizeHint().expandedTo(minimumSizeHint());
    setFixedSize(need.expandedTo(QSize(kClientWidth, kClientHeight)));
}

bool TformAdd::lookUp() const { return cbxDNS->isChecked(); }

void TformAdd::setLookUp(bool lookUp) { cbxDNS->setChecked(lookUp); }

void TformAdd::setWorkstation(const QString &name) { eWKSTA->setText(name); }

AddEntry TformAdd::entry() const { return AddEntry{eWKSTA->text(), eIP->text(), eWG->text(), cbxDNS->isChecked()}; }

void TformAdd::Change() { bbOK->setEnabled(AddOkEnabled(eWKSTA->text(), eIP->text(), cbxDNS->isChecked())); }

void TformAdd::cbxDNSClick()
{
    const bool on = cbxDNS->isChecked();
    eIP->setEnabled(on);
    // The edit's own background: the window colour while usable, the button
    // face's while not, in every state so the disabled look takes it too.
    const QColor background = palette().color(QPalette::Active, on ? QPalette::Base : QPalette::Button);
    QPalette pal = eIP->palette();
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        pal.setColor(g, QPalette::Base, background);
    eIP->setPalette(pal);
}

void TformAdd::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    cbxDNSClick();
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

void TformAdd::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    // The desktop's theme changed: take the new colours.
    if (event->type() == QEvent::PaletteChange)
        cbxDNSClick();
}

std::optional<AddEntry> askAddWorkstation(QWidget *parent, const QString &workstation, bool lookUp)
{
    TformAdd dialog(parent);
    dialog.setLookUp(lookUp);
    if (!workstation.isEmpty())
        dialog.setWorkstation(workstation);
    dialog.Change();
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.entry();
}
