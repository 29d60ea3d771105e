#pragma once

// zolmek --autostart on|off: on Windows adds or removes zolmekw.exe
// --service (the program beside this one) under the user's Run key, so the
// service starts at logon. Returns the exit status.
int SetAutostart(bool on);
