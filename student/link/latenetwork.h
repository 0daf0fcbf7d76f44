#pragma once

#include "servernetwork.h"

#include <QString>
#include <memory>

// The program's sockets before they are there: the program loads its network module once its
// window is on screen, and the link talks to these stand-ins from its start. What the link asks
// before the sockets arrive (the listener's port and state, the server to connect to) is kept and
// done when they do; nothing is connected before, so nothing is sent. It outlives the link.
class LateNetwork
{
public:
    LateNetwork();
    ~LateNetwork();

    // The link's connection (it makes one) and listener.
    ChannelFactory channels();
    ServerListener& listener();
    // Where the listener's answers go; set before the sockets arrive.
    void setAdvertisementHandler(AdvertisementHandler handler);

    void arrive(std::unique_ptr<StudentNetwork> network);
    bool arrived() const { return m_network != nullptr; }

private:
    class Channel;
    class Listener;

    std::unique_ptr<StudentNetwork> m_network;
    std::unique_ptr<Listener> m_listener;
    Channel* m_channel = nullptr; // owned by the link
    AdvertisementHandler m_onAdvertisement;
};

// Loads the network module: beside the program (a build, a portable copy) or in ../lib/vastrel
// (installed). Null, with the reason in `error`, when it cannot.
std::unique_ptr<StudentNetwork> LoadStudentNetwork(QString* error);
// Loads the module of that path; one of another version than the program's is refused before
// anything of it runs (a module left from another installation would not fit the program).
std::unique_ptr<StudentNetwork> LoadStudentNetworkFrom(const QString& path, QString* error);

// The module's two entries, by these names: its version ("4.0.1"), and its sockets, for which the
// module's own copy of the run log hands every line to `logLine` of the program's.
extern "C" {
using StudentNetworkVersion = const char* (*)();
using StudentNetworkEntry = StudentNetwork* (*)(void (*logLine)(const QString& line));
}
inline constexpr const char* StudentNetworkVersionName = "vastrelStudentNetworkVersion";
inline constexpr const char* StudentNetworkEntryName = "vastrelStudentNetwork";
inline constexpr const char* StudentNetworkModuleName = "libvastrel-studentnet.so";
