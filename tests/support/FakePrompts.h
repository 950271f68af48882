#pragma once

#include "gui/UserPrompts.h"
#include "sysinfo/LocalNetwork.h"

#include <QStringList>
#include <optional>

// Answers the window's questions in the user's place and remembers them.
class FakePrompts : public UserPrompts {
public:
    bool answer = true;
    QString openName;
    QString saveName;
    QStringList questions;
    QStringList errors;
    QStringList warnings;
    int saveDialogs = 0;
    QString saveStartPath;
    // The add dialog: what it was opened with, and the user's answer
    // (nothing: Cancel).
    struct AddAsked {
        QString workstation;
        bool lookUp;
    };
    QList<AddAsked> addsAsked;
    std::optional<AddEntry> addAnswer;

    bool confirm(QWidget *, const QString &question) override
    {
        questions << question;
        return answer;
    }
    QString openSessionName(QWidget *) override { return openName; }
    QString saveSessionName(QWidget *, const QString &startPath) override
    {
        ++saveDialogs;
        saveStartPath = startPath;
        return saveName;
    }
    std::optional<ExportTarget> exportAnswer; // nothing: Cancel
    int exportsAsked = 0;
    std::optional<ExportTarget> exportTarget(QWidget *) override
    {
        ++exportsAsked;
        return exportAnswer;
    }
    void showError(QWidget *, const QString &message) override { errors << message; }
    void showWarning(QWidget *, const QString &message) override { warnings << message; }
    std::optional<AddEntry> addWorkstation(QWidget *, const QString &workstation, bool lookUp) override
    {
        addsAsked.append(AddAsked{workstation, lookUp});
        return addAnswer;
    }
    // The Browse button of the monitor's log: what it started at, and the answer.
    QStringList logNamesAsked;
    QString logName;
    QString monitorLogName(QWidget *, const QString &current) override
    {
        logNamesAsked << current;
        return logName;
    }
};

// A fixed description of the local machine.
class FixedNetwork : public LocalNetworkSource {
public:
    LocalNetwork value;
    FixedNetwork()
    {
        value.adapters = {"lo", "eth0 (52:54:00:12:34:56)"};
        value.cardAdapterIndex = 1;
        value.machineName = "WORKHORSE";
        value.ipAddresses = {"192.0.2.10"};
        value.socketDescription = "Linux sockets 6.1";
        value.socketStatus = "Running";
    }
    LocalNetwork read() const override { return value; }
};
