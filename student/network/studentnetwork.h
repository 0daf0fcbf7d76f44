#pragma once

#include "servernetwork.h"

// The student's sockets made with the network library (Qt Network): the connection of the
// command protocol and the discovery user. The program loads them from its network module once
// its window is on screen; tests link them directly.
std::unique_ptr<StudentNetwork> MakeStudentNetwork();
std::unique_ptr<ServerChannel> MakeStudentChannel(ServerChannelEvents& events);
