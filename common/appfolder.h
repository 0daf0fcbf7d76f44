#pragma once

#include <QString>

// The program's folder: where vs4.mdb, Ports, ServerIP, Temp/, the .LOG file and the other files
// "in the program's folder" live. Resolved in this order:
//   1. $VASTREL_HOME when set (tests always set it);
//   2. the folder of the executable when it is writable and not the bin/ folder of an installation
//      (a portable install);
//   3. $XDG_DATA_HOME/vastrel (default ~/.local/share/vastrel), created on first use.
// An installation is recognised by its read-only data beside bin/ (../share/vastrel): a packaged
// program run by root must not put the question bank into /usr/bin.
QString AppFolder();

// The folder of the read-only data that ships with the programs (the help guide): ../share/vastrel
// beside an installation's bin/, otherwise the executable's own folder (a build or portable copy).
QString ProgramDataFolder();

// Path of a file in the program's folder.
QString AppFilePath(const QString& name);
