#pragma once

#include <QStringList>

// A command of the `vastrel` tool. Each command file registers its commands at start-up:
//     static const bool registered = registerCommand({"pack", "pack ARCHIVE FILE...", "...", runPack});
// run() gets the arguments after the command name and returns the exit code; a failure prints one
// line on stderr (see fail()) and returns 1.
struct ToolCommand
{
    const char* name;
    const char* usage;
    const char* summary;
    int (*run)(const QStringList& args);
};

bool registerCommand(const ToolCommand& command);

// Prints "vastrel: <message>" on stderr and returns 1.
int fail(const QString& message);

// Writes text to stdout as UTF-8.
void printOut(const QString& text);
