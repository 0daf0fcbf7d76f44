#pragma once

#include "shell.h"

#include <QStringList>

// Stands in for the desktop while alive: records what it is asked to open and answers with a fixed
// verdict.
struct ShellRecorder
{
    explicit ShellRecorder(bool accept)
        : previous(SetShellHandler([this, accept](const QString& target) {
              targets.append(target);
              return accept;
          }))
    {}
    ~ShellRecorder() { SetShellHandler(std::move(previous)); }
    ShellRecorder(const ShellRecorder&) = delete;
    ShellRecorder& operator=(const ShellRecorder&) = delete;

    QStringList targets;
    ShellHandler previous;
};
