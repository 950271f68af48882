#include "gui/UserPrompts.h"

#include "gui/AddDialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace {
const QString kSessionFilter = QStringLiteral("Lumeo Sessions (*.lu)");
}

bool DialogPrompts::confirm(QWidget *parent, const QString &question)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), question, QMessageBox::Yes | QMessageBox::No,
                    parent);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QString DialogPrompts::openSessionName(QWidget *parent)
{
    QFileDialog dlg(parent, QStringLiteral("Open"), QString(), kSessionFilter);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::ExistingFile);
    return dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty() ? dlg.selectedFiles().first() : QString();
}

QString DialogPrompts::saveSessionName(QWidget *parent, const QString &startPath)
{
    // No default suffix: a name typed without ".lu" is saved as typed.
    QFileDialog dlg(parent, QStringLiteral("Save As"), startPath, kSessionFilter);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    return dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty() ? dlg.selectedFiles().first() : QString();
}

std::optional<UserPrompts::ExportTarget> DialogPrompts::exportTarget(QWidget *parent)
{
    const QString csv = QStringLiteral("CSV files (*.csv)"), json = QStringLiteral("JSON Lines (*.jsonl *.json)");
    QFileDialog dlg(parent, QStringLiteral("Export"), QString(), csv + QStringLiteral(";;") + json);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setDefaultSuffix(QStringLiteral("csv"));
    QObject::connect(&dlg, &QFileDialog::filterSelected, &dlg, [&dlg, json](const QString &filter) {
        dlg.setDefaultSuffix(filter == json ? QStringLiteral("jsonl") : QStringLiteral("csv"));
    });
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return std::nullopt;
    const QString path = dlg.selectedFiles().first();
    // The name's suffix decides where it says; otherwise the chosen filter.
    const bool isJson =
        path.endsWith(QLatin1String(".jsonl"), Qt::CaseInsensitive)
        || path.endsWith(QLatin1String(".json"), Qt::CaseInsensitive)
        || (!path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive) && dlg.selectedNameFilter() == json);
    return ExportTarget{path, isJson ? ResultFormat::JsonLines : ResultFormat::Csv};
}

void DialogPrompts::showError(QWidget *parent, const QString &message)
{
    QMessageBox::critical(parent, QApplication::applicationDisplayName(), message);
}

void DialogPrompts::showWarning(QWidget *parent, const QString &message)
{
    QMessageBox::warning(parent, QApplication::applicationDisplayName(), message);
}

std::optional<AddEntry> DialogPrompts::addWorkstation(QWidget *parent, const QString &workstation, bool lookUp)
{
    return askAddWorkstation(parent, workstation, lookUp);
}

QString DialogPrompts::monitorLogName(QWidget *parent, const QString &current)
{
    // The log grows with each round: an existing file is added to, not replaced.
    QFileDialog dlg(parent, QStringLiteral("Log results to"), current,
                    QStringLiteral("JSON Lines (*.jsonl);;All files (*)"));
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setOption(QFileDialog::DontConfirmOverwrite);
    return dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty() ? dlg.selectedFiles().first() : QString();
}
