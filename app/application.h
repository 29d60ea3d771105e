#pragma once

// The program from start to exit; returns the process exit status: 1 when
// no remote was found, 0 otherwise. The arguments are not used.
int RunApplication(int argc, char** argv, char** envp);
