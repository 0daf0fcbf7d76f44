// A network module of another version, as an installation of another version leaves it: the
// program must refuse it before anything of it runs.
#include "latenetwork.h"

#include <QtGlobal>
#include <cstdlib>

extern "C" Q_DECL_EXPORT const char* vastrelStudentNetworkVersion()
{
    return "3.9.0";
}

extern "C" Q_DECL_EXPORT StudentNetwork* vastrelStudentNetwork(void (*)(const QString&))
{
    std::abort(); // never called: the version is refused first
}
