#include "gui/PropsDialog.h"

#include "gui/Pictures.h"
#include "gui/SpinEdit.h"
#include "gui/UserPrompts.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

constexpr int kClientWidth = 269;
constexpr int kClientHeight = 243;
constexpr int kPictureSize = 32;

TSpinEdit *spinEdit(QWidget *parent, const char *name, const QString &hint, int step)
{
    auto *edit = new TSpinEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setToolTip(hint);
    edit->setIncrement(step);
    return edit;
}

} // namespace

TformProps::TformProps(UserPrompts &prompts, QWidget *parent) : QDialog(parent), m_prompts(prompts)
{
    setObjectName(QStringLiteral("formProps"));
    setWindowTitle(QStringLiteral("Settings"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    auto *box = new QGroupBox(this);
    auto *picture = new QLabel(box);
    picture->setObjectName(QStringLiteral("imgProps"));
    picture->setPixmap(Pictures::commandPictures().value(Pictures::picSettings).pixmap(kPictureSize, kPictureSize));
    picture->setFixedSize(kPictureSize, kPictureSize);
    auto *line = new QFrame(box);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    seSize = spinEdit(box, "seSize", QStringLiteral("Data size in bytes"), 8);
    seTimeout = spinEdit(box, "seTimeout", QStringLiteral("Timeout in miliseconds"), 1000);
    seTTL = spinEdit(box, "seTTL", QStringLiteral("Time to live for send"), 1);
    seParallel = spinEdit(box, "seParallel", QStringLiteral("How many workstations a sweep pings at the same time"), 1);
    seMonitor = spinEdit(box, "seMonitor", QStringLiteral("Seconds between the monitor's rounds"), 5);
    eMonitorLog = new QLineEdit(box);
    eMonitorLog->setObjectName(QStringLiteral("eMonitorLog"));
    eMonitorLog->setToolTip(QStringLiteral("File the monitor adds each round's results to; empty: no log"));
    btnBrowseLog = new QPushButton(QStringLiteral("Browse..."), box);
    btnBrowseLog->setObjectName(QStringLiteral("btnBrowseLog"));
    btnBrowseLog->setAutoDefault(false);
    connect(btnBrowseLog, &QPushButton::clicked, this, &TformProps::browseMonitorLog);
    eProbePorts = new QLineEdit(box);
    eProbePorts->setObjectName(QStringLiteral("eProbePorts"));
    eProbePorts->setToolTip(QStringLiteral("TCP ports asked when a workstation does not answer ping (a port that "
                                           "answers, or an ARP answer, shows it is there); empty: none"));
    cbxDNS = new QCheckBox(QStringLiteral("Lookup for host name before adding"), box);
    cbxDNS->setObjectName(QStringLiteral("cbxDNS"));

    auto *grid = new QGridLayout(box);
    grid->addWidget(picture, 0, 0, 4, 1, Qt::AlignTop);
    grid->setColumnMinimumWidth(1, 8);
    const std::pair<const char *, TSpinEdit *> rows[] = {{"Data size", seSize},
                                                         {"Timeout", seTimeout},
                                                         {"Time to Live", seTTL},
                                                         {"Simultaneous pings", seParallel},
                                                         {"Monitor every", seMonitor}};
    int r = 0;
    for (const auto &[text, edit] : rows) {
        auto *label = new QLabel(QString::fromLatin1(text), box);
        label->setBuddy(edit);
        grid->addWidget(label, r, 2);
        grid->addWidget(edit, r, 3, Qt::AlignRight);
        ++r;
    }
    auto *probeLabel = new QLabel(QStringLiteral("Probe ports when ping fails"), box);
    probeLabel->setBuddy(eProbePorts);
    grid->addWidget(probeLabel, r++, 0, 1, 4);
    grid->addWidget(eProbePorts, r++, 0, 1, 4);
    auto *logLabel = new QLabel(QStringLiteral("Log results to"), box);
    logLabel->setBuddy(eMonitorLog);
    grid->addWidget(logLabel, r++, 0, 1, 4);
    auto *logRow = new QHBoxLayout;
    logRow->addWidget(eMonitorLog, 1);
    logRow->addWidget(btnBrowseLog);
    grid->addLayout(logRow, r++, 0, 1, 4);
    grid->addWidget(line, r++, 0, 1, 4);
    grid->addWidget(cbxDNS, r++, 0, 1, 4);
    grid->setColumnStretch(2, 1);

    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnOK, &QPushButton::clicked, this, &TformProps::accept);
    connect(btnCancel, &QPushButton::clicked, this, &TformProps::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    auto *main = new QVBoxLayout(this);
    main->addWidget(box, 1);
    main->addLayout(buttons);

    // The designed size, or what this font needs if that is more.
    const QSize need = sizeHint().expandedTo(QSize(kClientWidth, kClientHeight));
    setFixedSize(need);
    if (const QScreen *s = parent ? parent->screen() : screen())
        move(s->availableGeometry().center() - rect().center());
}

void TformProps::load(const PropsValues &values)
{
    seSize->setValue(values.echo.size);
    seTimeout->setValue(values.echo.timeoutMs);
    seTTL->setValue(values.echo.ttl);
    seParallel->setValue(values.echo.parallel);
    seMonitor->setValue(values.echo.monitorIntervalSeconds);
    eProbePorts->setText(EchoLimits::probePortsText(values.echo.probePorts));
    cbxDNS->setChecked(values.dns);
    eMonitorLog->setText(values.monitorLog);
}

PropsValues TformProps::values() const
{
    // accept() has let only a port list that reads through.
    return PropsValues{EchoSettings{seSize->value(), seTimeout->value(), seTTL->value(), seParallel->value(),
                                    EchoLimits::parseProbePorts(eProbePorts->text()).value_or(QList<quint16>()),
                                    seMonitor->value()},
                       cbxDNS->isChecked(), eMonitorLog->text().trimmed()};
}

void TformProps::accept()
{
    const std::pair<QString, TSpinEdit *> checks[] = {
        {EchoLimits::checkSize(seSize->wideValue()), seSize},
        {EchoLimits::checkTimeout(seTimeout->wideValue()), seTimeout},
        {EchoLimits::checkTTL(seTTL->wideValue()), seTTL},
        {EchoLimits::checkParallel(seParallel->wideValue()), seParallel},
        {EchoLimits::checkMonitorInterval(seMonitor->wideValue()), seMonitor},
    };
    for (const auto &[problem, edit] : checks) {
        if (!problem.isEmpty()) {
            m_prompts.showError(this, problem + QLatin1Char('.'));
            edit->setFocus();
            edit->selectAll();
            return;
        }
    }
    QString problem;
    if (!EchoLimits::parseProbePorts(eProbePorts->text(), &problem)) {
        m_prompts.showError(this, problem + QLatin1Char('.'));
        eProbePorts->setFocus();
        eProbePorts->selectAll();
        return;
    }
    QDialog::accept();
}

void TformProps::browseMonitorLog()
{
    const QString path = m_prompts.monitorLogName(this, eMonitorLog->text());
    if (!path.isEmpty())
        eMonitorLog->setText(path);
}
