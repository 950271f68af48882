#pragma once

#include <QDialog>
#include <QString>
#include <optional>

class QLineEdit;

// The boxes of "Send message..." and "Get system time". The window talks to
// this interface so that tests can answer in the user's place.
class RemotePrompts {
public:
    virtual ~RemotePrompts() = default;
    // The one-line "Send Message" box; nothing when the user cancels.
    virtual std::optional<QString> messageText(QWidget *parent) = 0;
    // The information box with a clock read, the error box when none was.
    virtual void showSystemTime(QWidget *parent, const QString &text) = 0;
    virtual void showTimeError(QWidget *parent, const QString &text) = 0;
};

// The real boxes.
class DialogRemotePrompts : public RemotePrompts {
public:
    std::optional<QString> messageText(QWidget *parent) override;
    void showSystemTime(QWidget *parent, const QString &text) override;
    void showTimeError(QWidget *parent, const QString &text) override;
};

// "Send Message": the prompt "Text", an edit that takes at most 255
// characters (what a messenger message holds), OK and Cancel.
class SendMessageDialog : public QDialog {
    Q_OBJECT
public:
    explicit SendMessageDialog(QWidget *parent = nullptr);
    QString text() const;

private:
    QLineEdit *m_text;
};
