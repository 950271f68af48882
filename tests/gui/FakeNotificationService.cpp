// A stand-in for the desktop's notification service, for the window's
// network test: it owns org.freedesktop.Notifications on the session bus it
// is started on and writes each Notify it gets as one line, "summary<TAB>body",
// to the file named on its command line. It ends when its bus goes away or
// when it is sent SIGTERM.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QObject>
#include <QStringList>
#include <QTextStream>
#include <QVariantMap>

#include <cstdio>

class Notifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    explicit Notifications(QFile &record) : m_record(record) {}

public slots:
    uint Notify(const QString &appName, uint replacesId, const QString &appIcon, const QString &summary,
                const QString &body, const QStringList &actions, const QVariantMap &hints, int expireTimeout)
    {
        Q_UNUSED(appName);
        Q_UNUSED(replacesId);
        Q_UNUSED(appIcon);
        Q_UNUSED(actions);
        Q_UNUSED(hints);
        Q_UNUSED(expireTimeout);
        QTextStream(&m_record) << summary << '\t' << body << '\n';
        m_record.flush();
        return ++m_last;
    }
    QStringList GetCapabilities() { return {QStringLiteral("body")}; }
    void CloseNotification(uint id) { Q_UNUSED(id); }

private:
    QFile &m_record;
    uint m_last = 0;
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s RECORD_FILE\n", argv[0]);
        return 2;
    }
    QFile record(QString::fromLocal8Bit(argv[1]));
    if (!record.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return 1;
    QDBusConnection bus = QDBusConnection::sessionBus();
    Notifications service(record);
    if (!bus.isConnected()
        || !bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service,
                               QDBusConnection::ExportAllSlots)
        || !bus.registerService(QStringLiteral("org.freedesktop.Notifications"))) {
        std::fprintf(stderr, "cannot serve notifications on the session bus\n");
        return 1;
    }
    return app.exec();
}

#include "FakeNotificationService.moc"
