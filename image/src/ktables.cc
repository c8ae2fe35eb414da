#include "image/ktables.h"

namespace zorl {

// The conversion routines that read these tables arrive with the image object; until then
// there is nothing to build.
void KInitMathTables() {}

void KInitColorTables() {}

}  // namespace zorl
