#include "base/service_notify.h"

// zolmekw.exe is started by the Run key at logon; nobody waits to hear
// from it.
void NotifyServiceReady() {}

void NotifyServiceStopping() {}
