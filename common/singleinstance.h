#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <map>

class QSocketNotifier;

// Keeps a program to one running instance per user. The first start claims a local socket named
// after the program ("Vastrel Scribant") and, when set, VASTREL_HOME, in a folder of the user's own;
// a later start hands its first command-line argument (or none) to the running instance and ends.
// Plain Unix-domain sockets: a program's start does not wait for a network library to load.
//
// Wire: one byte, 'A' when an argument follows or 'F' (front only), then the argument in UTF-8,
// then NUL; the running instance acknowledges with one byte 1.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    explicit SingleInstance(const QString& name, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this process is the first instance; it then listens for later starts. Also true,
    // without a guard, when the socket cannot be made at all (a program that cannot guard itself
    // still runs).
    bool claim();

    // Delivers the argument (or, when hasArgument is false, only the wish to come to the front) to
    // the running instance, waiting at most timeoutMs for each step. True when it was delivered.
    // Runs before the program's event loop, in a start that is about to end.
    bool handOver(const QString& argument, bool hasArgument, int timeoutMs = 3000);

    QString socketName() const { return m_socketName; }

Q_SIGNALS:
    // A later start asked this instance to come to the front, with the argument it was given.
    void activated(const QString& argument, bool hasArgument);

private:
    struct Caller
    {
        QSocketNotifier* notifier = nullptr;
        QByteArray buffer;
    };

    bool listenOn();
    void acceptCallers();
    void readCaller(int fd);
    void dropCaller(int fd);

    QString m_socketName;
    int m_listener = -1;
    QSocketNotifier* m_accepting = nullptr;
    std::map<int, Caller> m_callers;
};
