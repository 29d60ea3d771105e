#include "app/application.h"
#include "base/console.h"

int main(int argc, char** argv, char** envp) {
  OpenConsole();
  const int status = RunApplication(argc, argv, envp);
  RestoreConsole();
  return status;
}
