#pragma once

#include "scribantf.h"
#include "storeprogrammodules.h"

// Of the two store programs only the editor acts on a path handed over by a later start.
class ScribantModules : public StoreProgramModules<TScribantF, StoreProgram::Scribant>
{
public:
    void argumentHandedOver(const QString& argument) override { window()->receiveHandedOverPath(argument); }
};
