// The version manifest's texts as the maker types them (UTF-8, as the
// manifest keeps them): the updater's caption and completion message (empty:
// the updater's own), the labels of the versions it updates from and to, and
// the language of its messages ("ja", "en" or "auto"; empty: "ja").
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
