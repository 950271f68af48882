#pragma once

#include "ping/EchoSettings.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class TSpinEdit;
class UserPrompts;

// What the Settings dialog edits.
struct PropsValues {
    EchoSettings echo;
    bool dns = false;
    // Where the monitor logs its results; empty: nowhere.
    QString monitorLog;
    friend bool operator==(const PropsValues &, const PropsValues &) = default;
};

// The Settings dialog: the echo's data size, timeout and time to live, how
// many workstations a sweep pings at once, the ports asked when a ping gets
// no answer, whether a host name is looked up before adding, how often the
// monitor pings and where it logs. OK refuses values the echo service or
// the monitor cannot work with and says why; the dialog then stays open.
class TformProps : public QDialog {
    Q_OBJECT
public:
    explicit TformProps(UserPrompts &prompts, QWidget *parent = nullptr);

    void load(const PropsValues &values);
    PropsValues values() const;

    void accept() override;

private:
    UserPrompts &m_prompts;
    void browseMonitorLog();

    TSpinEdit *seSize, *seTimeout, *seTTL, *seParallel, *seMonitor;
    QLineEdit *eProbePorts, *eMonitorLog;
    QPushButton *btnBrowseLog;
    QCheckBox *cbxDNS;
    QPushButton *btnOK, *btnCancel;
};
