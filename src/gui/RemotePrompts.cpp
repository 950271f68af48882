#include "gui/RemotePrompts.h"

#include "remote/Mailslot.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QVBoxLayout>

SendMessageDialog::SendMessageDialog(QWidget *parent) : QDialog(parent), m_text(new QLineEdit(this))
{
    setObjectName(QStringLiteral("SendMessage"));
    setWindowTitle(QStringLiteral("Send Message"));
    auto *prompt = new QLabel(QStringLiteral("Text"), this);
    m_text->setObjectName(QStringLiteral("eText"));
    m_text->setMaxLength(kMaxMessageLength);
    m_text->setMinimumWidth(300);
    prompt->setBuddy(m_text);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(m_text);
    layout->addWidget(buttons);
}

QString SendMessageDialog::text() const { return m_text->text(); }

std::optional<QString> DialogRemotePrompts::messageText(QWidget *parent)
{
    SendMessageDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.text();
}

void DialogRemotePrompts::showSystemTime(QWidget *parent, const QString &text)
{
    QMessageBox::information(parent, QApplication::applicationDisplayName(), text);
}

void DialogRemotePrompts::showTimeError(QWidget *parent, const QString &text)
{
    QMessageBox::critical(parent, QApplication::applicationDisplayName(), text);
}
