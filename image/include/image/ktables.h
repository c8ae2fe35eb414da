// Lookup tables of the pixel-conversion routines, built once at start-up.
#ifndef IMAGE_KTABLES_H_
#define IMAGE_KTABLES_H_

namespace zorl {

// Builds the trigonometric and square-root tables. Call once, before any image is converted.
void KInitMathTables();

// Builds the colour-conversion tables. Call once, after KInitMathTables.
void KInitColorTables();

}  // namespace zorl

#endif  // IMAGE_KTABLES_H_
