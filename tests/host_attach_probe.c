/* Loads a module into a process that does not export the program's table and exits 0 when
 * the module's attach function refuses, as every module must outside the program. */
#include <dlfcn.h>
#include <stdio.h>

#include "host/module_api.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (library == NULL) {
    fprintf(stderr, "%s\n", dlerror());
    return 2;
  }
  V3dModuleAttachFn attach = (V3dModuleAttachFn)dlsym(library, "Velmora3DModuleAttach");
  if (attach == NULL) return 2;
  const int answer = attach();
  dlclose(library);
  return answer == 0 ? 0 : 1;
}
