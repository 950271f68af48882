#include "gui/DesktopNotifier.h"

#include "gui/Pictures.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QIcon>
#include <QStringList>
#include <QSystemTrayIcon>
#include <QVariantMap>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
constexpr int kServerDecidesTimeout = -1;

} // namespace

FreedesktopNotifier::FreedesktopNotifier(QObject *parent) : QObject(parent) {}

FreedesktopNotifier::~FreedesktopNotifier() = default;

void FreedesktopNotifier::notify(const QString &title, const QString &text)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        showInTray(title, text);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    call << QStringLiteral("Lumeo") << 0u << QStringLiteral("lumeo") << title << text << QStringList() << QVariantMap()
         << kServerDecidesTimeout;
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, title, text] {
        watcher->deleteLater();
        if (watcher->isError())
            showInTray(title, text);
    });
}

void FreedesktopNotifier::showInTray(const QString &title, const QString &text)
{
    if (!m_tray) {
        // A tray icon without a picture is not shown at all.
        QIcon icon = QApplication::windowIcon();
        if (icon.isNull())
            icon = Pictures::commandPictures().value(Pictures::picMonitor);
        m_tray = new QSystemTrayIcon(icon, this);
        m_tray->setToolTip(QStringLiteral("Lumeo"));
    }
    m_tray->show();
    m_tray->showMessage(title, text, QSystemTrayIcon::Warning);
}
