// A testing server on loopback for the student side's tests: it records every student computer's
// connection and every message it receives, and the port file points Student at it.
#pragma once

#include "connection.h"
#include "ports.h"

#include <QList>
#include <gtest/gtest.h>

struct ServerPeer
{
    // Listens on a port of the system's choosing and writes it into "Ports" as the TCP port.
    void listen()
    {
        ASSERT_TRUE(server.listen(0));
        QObject::connect(&server, &CommandServer::clientConnected, [this](ServerConnection* c) {
            ends.append(c);
            QObject::connect(c, &ServerConnection::messageReceived,
                             [this](const Protocol::StudentMessage& m) { received.append(m); });
        });
        ASSERT_TRUE(WritePorts({}, 9000, server.port()));
    }

    int count(Protocol::StudentMessage::Kind kind) const
    {
        return int(std::count_if(received.begin(), received.end(),
                                 [&](const Protocol::StudentMessage& m) { return m.kind == kind; }));
    }

    CommandServer server;
    QList<ServerConnection*> ends;
    QList<Protocol::StudentMessage> received;
};
