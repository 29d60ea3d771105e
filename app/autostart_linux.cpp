#include <cstdio>

#include "app/autostart.h"
#include "app/options.h"

// On Linux the service is started by systemd, as a user unit.
int SetAutostart(bool on) {
  std::fprintf(stderr,
               "zolmek: --autostart is for Windows; on Linux the user unit "
               "does it: systemctl --user %s zolmek\n",
               on ? "enable --now" : "disable --now");
  return kUsageExitStatus;
}
