#include "q520driver/Q520Platform.h"

#include <QtGlobal>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <sys/resource.h>
#endif

namespace q520 {

namespace {
bool g_raised = false;
#ifdef Q_OS_WIN
DWORD g_previous = NORMAL_PRIORITY_CLASS;
#else
int g_previous = 0;
#endif
} // namespace

void raiseProcessPriority() {
    if (g_raised)
        return;
#ifdef Q_OS_WIN
    g_previous = GetPriorityClass(GetCurrentProcess());
    g_raised = SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS) != 0;
#else
    errno = 0;
    const int now = getpriority(PRIO_PROCESS, 0);
    if (errno != 0)
        return;
    g_previous = now;
    g_raised = setpriority(PRIO_PROCESS, 0, -10) == 0; // refused without the privilege: runs as it is
#endif
}

void restoreProcessPriority() {
    if (!g_raised)
        return;
#ifdef Q_OS_WIN
    SetPriorityClass(GetCurrentProcess(), g_previous);
#else
    setpriority(PRIO_PROCESS, 0, g_previous);
#endif
    g_raised = false;
}

} // namespace q520
