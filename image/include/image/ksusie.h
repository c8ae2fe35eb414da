// The host for image plug-ins beside the executable.
#ifndef IMAGE_KSUSIE_H_
#define IMAGE_KSUSIE_H_

namespace zorl {

// Finds, validates and registers the plug-ins. Never fails as a whole: without plug-ins the
// registry simply stays empty. Call once at program start-up.
void KSusieInit();

// Unloads every registered plug-in and empties the registry. Call once at program end.
void KSusieFree();

}  // namespace zorl

#endif  // IMAGE_KSUSIE_H_
