// Telling the service manager how the service is doing: systemd's sd_notify
// on Linux (a unit of Type=notify waits for READY=1), nothing on Windows.
#pragma once

// The service is up: the keyboard device is open.
void NotifyServiceReady();
// The service is on its way out.
void NotifyServiceStopping();
