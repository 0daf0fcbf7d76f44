#pragma once

// The child's side of the Jet reading (see jetstream.h): opens the file with the Jet library and
// writes the frames to fd. tableName null: the names of the user tables; otherwise that table's
// columns and rows. Uses no Qt, since it runs in a forked copy of a Qt program.
void ExtractJetFile(int fd, const char* path, const char* tableName);
