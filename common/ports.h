#pragma once

#include <QString>

// The port file "Ports": section "UDP" key "Port" (server advertisement), section "TCP" key "Port"
// (command protocol).
struct Ports
{
    static constexpr int DefaultUdp = 9000;
    static constexpr int DefaultTcp = 4545;
    int udp = DefaultUdp;
    int tcp = DefaultTcp;
};

// Reads "Ports" in the folder (the program's folder when empty); defaults stand in for a missing
// file or key. Nothing is created.
Ports ReadPorts(const QString& folder = {});

// Creates or updates "Ports" in the folder (the program's folder when empty) with both keys.
// Returns false when the file cannot be written.
bool WritePorts(const QString& folder, int udpPort, int tcpPort);
