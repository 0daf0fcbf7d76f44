#pragma once

#include <QString>

// The program's folder: where vs4.mdb, Ports, ServerIP, Temp/, the .LOG file and the other files
// "in the program's folder" live. Resolved in this order:
//   1. $VASTREL_HOME when set (tests always set it);
//   2. the folder of the executable when it is writable (a portable install);
//   3. $XDG_DATA_HOME/vastrel (default ~/.local/share/vastrel), created on first use.
QString AppFolder();

// Path of a file in the program's folder.
QString AppFilePath(const QString& name);
