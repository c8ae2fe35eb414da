// A window placement as the settings store keeps it: ten decimal numbers joined by "_" —
// flags, show command, minimised x, y, maximised x, y, normal left, top, right, bottom.
#ifndef FRAMEWORK_PLACEMENT_TEXT_H_
#define FRAMEWORK_PLACEMENT_TEXT_H_

#include "foundation/kstring.h"
#include "framework/types.h"

namespace QWF {

// The settings section placements are kept in, one value per window.
constexpr const char kPlacementSection[] = "Placement";
// What restoring only the position reads when nothing is stored: shown normally, the
// normal rectangle from (0, 0) to (640, 480).
constexpr const char kDefaultPlacementText[] = "0_1_0_0_0_0_0_0_640_480";

// "%d_%d_%d_%d_%d_%d_%d_%d_%d_%d" of the ten fields (the length is not stored).
zorl::KString FormatPlacement(const Placement& placement);

// Reads the ten numbers (each optionally signed, within the int range) into `placement`,
// setting its length to 44. Text after the tenth number is ignored. False, leaving
// `placement` unchanged, when there are fewer than ten or one does not fit an int.
bool ParsePlacement(const char* text, Placement* placement);

}  // namespace QWF

#endif  // FRAMEWORK_PLACEMENT_TEXT_H_
