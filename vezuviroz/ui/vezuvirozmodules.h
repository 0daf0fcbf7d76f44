#pragma once

#include "storeprogrammodules.h"
#include "vezuvirozf.h"

class VezuvirozModules : public StoreProgramModules<TVezuvirozF, StoreProgram::Vezuviroz>
{
};
