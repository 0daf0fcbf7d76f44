#include "startupcases.h"
#include "vezuvirozmodules.h"

INSTANTIATE_TYPED_TEST_SUITE_P(Vezuviroz, StoreStartUp, VezuvirozModules);
