#include "image/ksusie.h"

namespace zorl {

// The plug-in registry arrives with the plug-in host; until then it is always empty, which is
// also what a directory without plug-ins gives.
void KSusieInit() {}

void KSusieFree() {}

}  // namespace zorl
