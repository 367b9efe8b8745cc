#pragma once

#include <QTimer>

// A timer that fires once for each start: a deadline, a pause, or the next turn of a loop.
class OneShotTimer : public QTimer {
public:
    explicit OneShotTimer(QObject* parent = nullptr)
        : QTimer(parent)
    {
        setSingleShot(true);
    }
};
