#include "image/kdebuglog.h"

namespace zorl {

// The log object and its optional file arrive with the image library's diagnostics; nothing
// can be attached before then, so there is nothing to close.
void KDebugLogClose() {}

}  // namespace zorl
