#pragma once

#include "storeprogrammodules.h"
#include "vezuvirozf.h"

class VezuvirozModules : public StoreProgramModules<TVezuvirozF, StoreProgram::Vezuviroz>
{
public:
    void argumentHandedOver(const QString& argument) override
    {
        // only a result file is handed over; a topic is the first start's own
        if (!argument.isEmpty() && !argument.startsWith(QStringLiteral("--")))
            window()->openResultFile(argument);
    }
};
