// Holds a file open the way a running game holds its data: read access, sharing read and
// write but not delete, so no other program may rename or delete it. Runs until it is
// ended from outside.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  HANDLE file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  Sleep(INFINITE);
  return 0;
}
