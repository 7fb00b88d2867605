#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

namespace orvelle::desktop::qt {

// Turns SIGTERM, SIGINT and SIGHUP (log-off, shutdown, a closed terminal) into a
// signal on the user-interface thread, so that the program ends through its
// orderly unload instead of dying mid-way.
class TerminationWatcher final : public QObject {
    Q_OBJECT

public:
    explicit TerminationWatcher(QObject* parent = nullptr);
    ~TerminationWatcher() override;
    TerminationWatcher(const TerminationWatcher&) = delete;
    TerminationWatcher& operator=(const TerminationWatcher&) = delete;

Q_SIGNALS:
    void terminationRequested();

private:
    void OnReadable();

    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace orvelle::desktop::qt
