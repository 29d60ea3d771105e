#pragma once

// The console program from start to exit; returns the process exit status:
// 1 when no remote was found, 0 otherwise. The arguments are read by main
// (app/options.h), which sets up the key sound and the key map first.
int RunApplication(int argc, char** argv, char** envp);

// zolmek --monitor: the console program's flow, but each switch is shown as
// it closes and opens (position, legend, the key the map gives it), and
// nothing is typed or played.
int RunMonitor();
