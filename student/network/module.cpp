// Student's network module: the sockets of the network library, loaded by the program once its
// window is drawn (see LoadStudentNetwork).
#include "latenetwork.h"
#include "runlog.h"
#include "studentnetwork.h"

#include <QtGlobal>

extern "C" Q_DECL_EXPORT const char* vastrelStudentNetworkVersion()
{
    return VASTREL_VERSION;
}

extern "C" Q_DECL_EXPORT StudentNetwork* vastrelStudentNetwork(void (*logLine)(const QString& line))
{
    RunLog::forwardTo(logLine); // this module's copy of the log keeps nothing of its own
    return MakeStudentNetwork().release();
}
