#pragma once

#include "storeprogrammodules.h"
#include "vezuvirozf.h"

class VezuvirozModules : public StoreProgramModules<TVezuvirozF, StoreProgram::Vezuviroz>
{
public:
    void argumentHandedOver(const QString& argument) override
    {
        if (!argument.isEmpty())
            window()->openResultFile(argument);
    }
};
