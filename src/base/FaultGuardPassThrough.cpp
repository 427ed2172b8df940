// The guard where no structured exceptions exist (the native build): a plain call. A fault
// there ends the process, as the sanitizers expect.
#include "base/FaultGuard.h"

bool RunGuarded(GuardedFunction function, void* context, FaultRecord&)
{
    function(context);
    return true;
}

void InstallLastResortFaultHandler() {}

bool RestoreLastResortFaultHandler()
{
    return false;
}
