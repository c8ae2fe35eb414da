// The version manifest's texts as the maker types them (cp932): the
// updater's caption and completion message, the labels of the versions it
// updates from and to, and the language of its messages. Empty fields are
// left out of the manifest.
#ifndef TOOLS_KESTREL_MAKER_MANIFEST_TEXTS_H_
#define TOOLS_KESTREL_MAKER_MANIFEST_TEXTS_H_

#include <string>

namespace kmaker {

struct ManifestTexts {
  std::string caption;
  std::string completion_text;
  std::string from_label;
  std::string to_label;
  std::string language;
};

}  // namespace kmaker

#endif  // TOOLS_KESTREL_MAKER_MANIFEST_TEXTS_H_
