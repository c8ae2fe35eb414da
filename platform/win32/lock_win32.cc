#include <windows.h>

#include <new>

#include "platform/lock.h"

namespace platform {
namespace {
static_assert(sizeof(CRITICAL_SECTION) <= 64, "lock storage too small");
CRITICAL_SECTION* Section(unsigned char* storage) {
  return reinterpret_cast<CRITICAL_SECTION*>(storage);
}
}  // namespace

void NativeLock::Init() {
  InitializeCriticalSection(new (storage_) CRITICAL_SECTION);
}
void NativeLock::Destroy() { DeleteCriticalSection(Section(storage_)); }
void NativeLock::Enter() { EnterCriticalSection(Section(storage_)); }
void NativeLock::Leave() { LeaveCriticalSection(Section(storage_)); }

}  // namespace platform
