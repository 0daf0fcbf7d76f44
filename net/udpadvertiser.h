#pragma once

#include "discovery.h"

#include <QObject>
#include <QThread>
#include <atomic>

// The answering worker: every datagram that arrives on its port is answered, to its source,
// with the check value, the computer name and the info string.
class TAdvertisingThread : public QThread
{
    Q_OBJECT
public:
    TAdvertisingThread(int port, QByteArray answer, QObject* parent = nullptr);
    void requestStop();
    // The UDP port bound, once bound (0 before and after a failure).
    int boundPort() const { return m_boundPort.load(); }

Q_SIGNALS:
    void failed(const QString& text);

protected:
    void run() override;

private:
    const int m_port;
    const QByteArray m_answer;
    Discovery::WakeSignal m_wake;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_boundPort{0};
};

// The server's side of discovery. Active from creation: its worker starts once the component is
// loaded (when control returns to the event loop), so properties set right after construction
// take effect first.
class TUDPAdvertiser : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int Port READ port WRITE setPort)
    Q_PROPERTY(QString DefaultInfoString READ defaultInfoString WRITE setDefaultInfoString)
    Q_PROPERTY(bool Active READ isActive WRITE setActive)
    Q_PROPERTY(QString ErrorString READ errorString)
public:
    static constexpr int DefaultPort = 9000;

    explicit TUDPAdvertiser(QObject* parent = nullptr);
    ~TUDPAdvertiser() override;

    int port() const { return m_port; }
    // Restarts the worker on the new port; the component is active afterwards.
    void setPort(int port);
    QString defaultInfoString() const { return m_infoString; }
    // Takes effect at the next start of the worker.
    void setDefaultInfoString(const QString& info) { m_infoString = info; }
    bool isActive() const { return m_active; }
    // false stops the worker and waits for it to end.
    void setActive(bool active);
    // The last failure of a worker ("Failed to bind a socket, Error #10048"), also in the run log.
    QString errorString() const { return m_errorString; }
    // The UDP port the running worker has bound, 0 when none (port 0 lets the system choose).
    int boundPort() const;

Q_SIGNALS:
    void errorOccurred(const QString& text);

private:
    void finishLoading();
    void startWorker();
    void stopWorker();

    int m_port = DefaultPort;
    QString m_infoString;
    bool m_active = true;
    bool m_loaded = false;
    QString m_errorString;
    TAdvertisingThread* m_worker = nullptr;
};
