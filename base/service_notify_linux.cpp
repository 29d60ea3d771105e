#include <systemd/sd-daemon.h>

#include "base/service_notify.h"

// sd_notify does nothing where $NOTIFY_SOCKET is not set (not started by
// systemd, or a unit not of Type=notify).
void NotifyServiceReady() { sd_notify(0, "READY=1"); }

void NotifyServiceStopping() { sd_notify(0, "STOPPING=1"); }
