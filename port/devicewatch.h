#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

// Waits for a lost COMn to come back. It asks the same lookup an open uses, at most twice a
// second and only while it waits, and reports the first time the port resolves to a device again;
// the watch then ends, and whoever re-opens the port starts it again should that open fail.
class DeviceWatch : public QObject {
    Q_OBJECT
public:
    static constexpr int pollMs = 500;
    using Resolver = std::function<QString(int port)>;

    // The resolver gives the device path of COMn, or an empty string while it is absent.
    explicit DeviceWatch(Resolver resolver, QObject* parent = nullptr);

    void setResolver(Resolver resolver) { m_resolve = std::move(resolver); }
    void watch(int port);
    void cancel();
    bool isWatching() const { return m_poll.isActive(); }
    int port() const { return m_port; }

Q_SIGNALS:
    void returned(int port, const QString& devicePath);

private:
    void poll();

    Resolver m_resolve;
    QTimer m_poll;
    int m_port = 0;
};
