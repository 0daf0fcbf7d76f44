#include "ports.h"

#include "appfolder.h"
#include "inifile.h"

#include <QDir>

namespace {

QString portFilePath(const QString& folder)
{
    return QDir(folder.isEmpty() ? AppFolder() : folder).filePath(QStringLiteral("Ports"));
}

} // namespace

Ports ReadPorts(const QString& folder)
{
    const IniFile ini = IniFile::load(portFilePath(folder));
    Ports ports;
    ports.udp = ini.intValue(QStringLiteral("UDP"), QStringLiteral("Port"), Ports::DefaultUdp);
    ports.tcp = ini.intValue(QStringLiteral("TCP"), QStringLiteral("Port"), Ports::DefaultTcp);
    return ports;
}

bool WritePorts(const QString& folder, int udpPort, int tcpPort)
{
    const QString path = portFilePath(folder);
    IniFile ini = IniFile::load(path);
    ini.setValue(QStringLiteral("UDP"), QStringLiteral("Port"), QString::number(udpPort));
    ini.setValue(QStringLiteral("TCP"), QStringLiteral("Port"), QString::number(tcpPort));
    return ini.save(path);
}
