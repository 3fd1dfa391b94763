#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

namespace qby::harness {

// Polls the condition, letting events through, until it holds or the time is up.
template <typename Condition>
bool waitUntil(Condition condition, int timeoutMs = 5000) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents();
        QThread::msleep(2);
    }
    return true;
}

}  // namespace qby::harness
