#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// Keeps a program to one running instance per user. The first start claims a local socket named
// after the program ("Vastrel Scribant") and, when set, VASTREL_HOME, in a folder of the user's own;
// a later start hands its first command-line argument (or none) to the running instance and ends.
//
// Wire: one byte, 'A' when an argument follows or 'F' (front only), then the argument in UTF-8,
// then NUL.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    explicit SingleInstance(const QString& name, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this process is the first instance; it then listens for later starts.
    bool claim();

    // Delivers the argument (or, when hasArgument is false, only the wish to come to the front) to
    // the running instance. True when it was delivered.
    bool handOver(const QString& argument, bool hasArgument, int timeoutMs = 3000);

    QString socketName() const { return m_socketName; }

Q_SIGNALS:
    // A later start asked this instance to come to the front, with the argument it was given.
    void activated(const QString& argument, bool hasArgument);

private:
    void acceptConnections();

    QString m_socketName;
    QLocalServer* m_server = nullptr;
};
