#include "scribantmodules.h"
#include "startupcases.h"

INSTANTIATE_TYPED_TEST_SUITE_P(Scribant, StoreStartUp, ScribantModules);
