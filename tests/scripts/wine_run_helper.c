/* What scripts/wine-run must cope with, as small Windows programs:
 *
 *   wine_run_helper crash           prints "crashing" and reads through a bad pointer
 *   wine_run_helper outlive DIR     starts "hold DIR" as a detached process with no standard
 *                                   handles (as Wine starts its desktop process for the first
 *                                   program that needs one), prints "started" and exits
 *   wine_run_helper hold DIR        stays until DIR\release exists (at most 120 s), then writes
 *                                   DIR\ended
 *
 * A process Wine starts keeps the starter's Unix stderr, whatever its Windows handles: "hold"
 * is the process that outlives the program and keeps the program's stderr open. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

static int Crash(void) {
  /* Read back at run time, so the compiler sees no constant address to warn about. */
  volatile ULONG_PTR address = 0x146;
  puts("crashing");
  fflush(stdout);
  return *(volatile int*)address;
}

static int Outlive(const char* dir) {
  char command[2 * MAX_PATH + 32];
  char self[MAX_PATH];
  STARTUPINFOA startup;
  PROCESS_INFORMATION process;
  if (!GetModuleFileNameA(NULL, self, sizeof self)) return 2;
  snprintf(command, sizeof command, "\"%s\" hold \"%s\"", self, dir);
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES; /* no standard handles at all */
  if (!CreateProcessA(NULL, command, NULL, NULL, FALSE, DETACHED_PROCESS, NULL, NULL, &startup,
                      &process))
    return 3;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  puts("started");
  fflush(stdout);
  return 0;
}

static int Hold(const char* dir) {
  char release[MAX_PATH + 16];
  char ended[MAX_PATH + 16];
  int i;
  snprintf(release, sizeof release, "%s\\release", dir);
  snprintf(ended, sizeof ended, "%s\\ended", dir);
  for (i = 0; i < 1200 && GetFileAttributesA(release) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
  {
    FILE* mark = fopen(ended, "w");
    if (!mark) return 4;
    fclose(mark);
  }
  return 0;
}

int main(int argc, char** argv) {
  if (argc == 2 && strcmp(argv[1], "crash") == 0) return Crash();
  if (argc == 3 && strcmp(argv[1], "outlive") == 0) return Outlive(argv[2]);
  if (argc == 3 && strcmp(argv[1], "hold") == 0) return Hold(argv[2]);
  fputs("usage: wine_run_helper crash | outlive DIR | hold DIR\n", stderr);
  return 2;
}
