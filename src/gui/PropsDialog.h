#pragma once

#include "application/PingSweep.h"

#include <QDialog>

class QCheckBox;
class QPushButton;
class TSpinEdit;
class UserPrompts;

// What the Settings dialog edits.
struct PingProps {
    int size = 56;
    int timeout = 4000;
    int ttl = 64;
    bool dns = false;
    int parallel = SweepParallel::kDefault; // simultaneous pings
};

// The Settings dialog: the echo's data size, timeout and time to live, how
// many workstations a sweep pings at once, and whether a host name is looked
// up before adding. OK refuses values the echo
// service cannot work with and says why; the dialog then stays open.
class TformProps : public QDialog {
    Q_OBJECT
public:
    explicit TformProps(UserPrompts &prompts, QWidget *parent = nullptr);

    void load(const PingProps &props);
    PingProps values() const;

    void accept() override;

private:
    UserPrompts &m_prompts;
    TSpinEdit *seSize, *seTimeout, *seTTL, *seParallel;
    QCheckBox *cbxDNS;
    QPushButton *btnOK, *btnCancel;
};
