#pragma once

#include "application/PendingAdd.h"
#include "application/ResultWriter.h"

#include <QString>
#include <optional>

class QWidget;

// The questions and boxes a command puts to the user. The window talks to
// this interface so that tests can answer in the user's place.
class UserPrompts {
public:
    virtual ~UserPrompts() = default;
    // A "Confirm" box with Yes (default) and No; true on Yes.
    virtual bool confirm(QWidget *parent, const QString &question) = 0;
    // Open and save dialogs for session files; an empty result means cancelled.
    // The save dialog starts at `startPath` when one is given.
    virtual QString openSessionName(QWidget *parent) = 0;
    virtual QString saveSessionName(QWidget *parent, const QString &startPath = QString()) = 0;
    // Where Export writes the list and in which format (CSV or JSON Lines);
    // nothing when the user cancels.
    struct ExportTarget {
        QString path;
        ResultFormat format = ResultFormat::Csv;
    };
    virtual std::optional<ExportTarget> exportTarget(QWidget *parent) = 0;
    // The general error box.
    virtual void showError(QWidget *parent, const QString &message) = 0;
    // A warning the user should read once.
    virtual void showWarning(QWidget *parent, const QString &message) = 0;
    // The add-workstation dialog, opened with "Workstation" and the lookup
    // box preset; nothing when the user cancels.
    virtual std::optional<AddEntry> addWorkstation(QWidget *parent, const QString &workstation, bool lookUp) = 0;
    // Where the monitor logs its results, from the Settings dialog's
    // Browse button, starting at CURRENT; empty when the user cancels.
    virtual QString monitorLogName(QWidget *parent, const QString &current) = 0;
};

// The real dialogs.
class DialogPrompts : public UserPrompts {
public:
    bool confirm(QWidget *parent, const QString &question) override;
    QString openSessionName(QWidget *parent) override;
    QString saveSessionName(QWidget *parent, const QString &startPath = QString()) override;
    std::optional<ExportTarget> exportTarget(QWidget *parent) override;
    void showError(QWidget *parent, const QString &message) override;
    void showWarning(QWidget *parent, const QString &message) override;
    std::optional<AddEntry> addWorkstation(QWidget *parent, const QString &workstation, bool lookUp) override;
    QString monitorLogName(QWidget *parent, const QString &current) override;
};
