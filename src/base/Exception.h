#pragma once

#include <QString>
#include <exception>

// A failure that carries a text meant for the user. Commands raise it; the
// command runner catches it and shows it in the general error box.
class Exception : public std::exception {
public:
    explicit Exception(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    const QString &message() const noexcept { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};
