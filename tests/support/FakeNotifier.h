#pragma once

#include "gui/DesktopNotifier.h"

#include <QStringList>

// Keeps each desktop notification as "title|text" in place of showing it.
class FakeNotifier : public DesktopNotifier {
public:
    QStringList shown;
    void notify(const QString &title, const QString &text) override { shown << title + QLatin1Char('|') + text; }
};
