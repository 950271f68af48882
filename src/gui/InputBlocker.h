#pragma once

#include <QObject>

// While one exists, the user's input to the whole program (keys, clicks,
// the wheel, closing a window) is dropped; painting, timers and the
// network go on. The window holds one while a command it cannot take input
// during (the network scan) runs in the background.
class InputBlocker : public QObject {
public:
    InputBlocker();
    ~InputBlocker() override;
    InputBlocker(const InputBlocker &) = delete;
    InputBlocker &operator=(const InputBlocker &) = delete;

    bool eventFilter(QObject *watched, QEvent *event) override;
};
