#pragma once

#include "application/PendingAdd.h"

#include <QDialog>
#include <optional>

class QCheckBox;
class QEvent;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QShowEvent;

// The add-workstation dialog: a name, an address, a workgroup and whether
// to look the name up before adding it.
class TformAdd : public QDialog {
    Q_OBJECT
public:
    explicit TformAdd(QWidget *parent = nullptr);

    bool lookUp() const;
    void setLookUp(bool lookUp);
    void setWorkstation(const QString &name);
    // The texts as typed and the lookup box.
    AddEntry entry() const;

    // Sets OK's enabled state from the texts (not from toggling the box).
    void Change();
    // The address box is usable, and looks it, exactly while lookups are on.
    void cbxDNSClick();

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    QLabel *Image1 = nullptr;
    QGroupBox *GroupBox1 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLineEdit *eWKSTA = nullptr;
    QLineEdit *eIP = nullptr;
    QLineEdit *eWG = nullptr;
    QFrame *Bevel1 = nullptr;
    QCheckBox *cbxDNS = nullptr;
    QPushButton *bbOK = nullptr;
    QPushButton *bbCancel = nullptr;
};

// Runs the dialog modally with "Workstation" and the lookup box preset;
// nothing when it ends with anything but OK.
std::optional<AddEntry> askAddWorkstation(QWidget *parent, const QString &workstation, bool lookUp);
