#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QSystemTrayIcon;
class QWidget;

// Tells the user of something on the desktop, outside the window (a host
// that went down while the window lies under others). Tests put a fake in
// its place.
class DesktopNotifier {
public:
    virtual ~DesktopNotifier() = default;
    virtual void notify(const QString &title, const QString &text) = 0;
};

// The desktop's notification service on the session bus
// (org.freedesktop.Notifications). Where there is none (no bus, or nobody
// owns the name) the notification goes to a tray icon's balloon instead,
// so that each one is shown exactly once either way. Never waits for the
// bus: the call's answer comes back through the event loop.
class FreedesktopNotifier : public QObject, public DesktopNotifier {
    Q_OBJECT
public:
    explicit FreedesktopNotifier(QObject *parent = nullptr);
    ~FreedesktopNotifier() override;
    void notify(const QString &title, const QString &text) override;

private:
    void showInTray(const QString &title, const QString &text);

    QSystemTrayIcon *m_tray = nullptr;
};
