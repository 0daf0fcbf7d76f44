#pragma once

#include "discovery.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QThread>
#include <atomic>

// One answering server: its IP address (dotted decimal), computer name and info string.
struct TDetectedAdvertiser
{
    QString ip;
    QString computerName;
    QString infoString;
};

// The answering servers, one item per IP address.
class TDetectedAdvertisers
{
public:
    qsizetype count() const { return m_items.size(); }
    const TDetectedAdvertiser& at(qsizetype i) const { return m_items.at(i); }
    // The item of the address, or null.
    const TDetectedAdvertiser* find(const QString& ip) const;
    // Adds or updates the address's item; true when it was new.
    bool update(const QString& ip, const QString& computerName, const QString& infoString);
    void clear() { m_items.clear(); }

private:
    QList<TDetectedAdvertiser> m_items;
};

// The asking worker: broadcasts the query every interval and hands each answer whose check value
// holds to the component's thread, until asked to stop or its deadline passes.
class TUserThread : public QThread
{
    Q_OBJECT
public:
    TUserThread(int port, QString broadcastAddress, int intervalMs, int autoDeactivationDelayMs,
                QObject* parent = nullptr);
    void requestStop();
    bool stopRequested() const { return m_stop.load(); }
    void setInterval(int ms) { m_interval = ms; }

Q_SIGNALS:
    void answerReceived(const QByteArray& payload, const QString& ip);
    void failed(const QString& text);

protected:
    void run() override;

private:
    const int m_port;
    const QString m_broadcastAddress;
    const int m_autoDeactivationDelay;
    std::atomic<int> m_interval;
    Discovery::WakeSignal m_wake;
    std::atomic<bool> m_stop{false};
};

// The student's side of discovery. Its list and events live on the thread that owns it.
class TUDPAdUser : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool Active READ isActive WRITE setActive NOTIFY activeChanged)
    Q_PROPERTY(int Port READ port WRITE setPort)
    Q_PROPERTY(int BroadCastInterval READ broadCastInterval WRITE setBroadCastInterval)
    Q_PROPERTY(int AutoDeactivationDelay READ autoDeactivationDelay WRITE setAutoDeactivationDelay)
    Q_PROPERTY(QString BroadcastAddress READ broadcastAddress WRITE setBroadcastAddress)
    Q_PROPERTY(QString ErrorString READ errorString)
public:
    static constexpr int DefaultPort = 9000;
    static constexpr int DefaultBroadCastInterval = 1000;
    static constexpr int MinBroadCastInterval = 100;
    static constexpr int DefaultAutoDeactivationDelay = 3500;

    explicit TUDPAdUser(QObject* parent = nullptr);
    ~TUDPAdUser() override;

    bool isActive() const { return m_active; }
    // true: a running worker is stopped, the list emptied and a new worker started; false: the
    // worker is asked to stop and forgotten at once.
    void setActive(bool active);
    int port() const { return m_port; }
    void setPort(int port) { m_port = port; }
    int broadCastInterval() const { return m_interval; }
    // Values below 100 are stored as 100.
    void setBroadCastInterval(int ms);
    int autoDeactivationDelay() const { return m_autoDeactivationDelay; }
    // 0 or less: the worker never stops by itself. Taken at the next activation.
    void setAutoDeactivationDelay(int ms) { m_autoDeactivationDelay = ms; }
    QString broadcastAddress() const { return m_broadcastAddress; }
    void setBroadcastAddress(const QString& address) { m_broadcastAddress = address; }
    QString errorString() const { return m_errorString; }
    const TDetectedAdvertisers& advertisers() const { return m_advertisers; }

Q_SIGNALS:
    void OnNewAdvertiserDetected(TUDPAdUser* sender);
    void OnAdvertisementReceived(TUDPAdUser* sender, const QString& infoString, const QString& ip,
                                 const QString& computerName);
    void activeChanged(bool active);
    void errorOccurred(const QString& text);

private:
    void takeAnswer(TUserThread* worker, const QByteArray& payload, const QString& ip);
    void workerEnded(TUserThread* worker);
    void retire(TUserThread* worker);

    bool m_active = false;
    bool m_loaded = false;
    int m_port = DefaultPort;
    int m_interval = DefaultBroadCastInterval;
    int m_autoDeactivationDelay = DefaultAutoDeactivationDelay;
    QString m_broadcastAddress = QStringLiteral("255.255.255.255");
    QString m_errorString;
    TDetectedAdvertisers m_advertisers;
    TUserThread* m_worker = nullptr;
};
