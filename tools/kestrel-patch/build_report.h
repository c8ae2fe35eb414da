// What `build` says about a payload it wrote, as lines of text: the
// commands by kind, the archive's entries and which were carried, what was
// compared, and the payload's size before and after compression. The
// terminal prints them; the maker's window shows them in its log.
#ifndef TOOLS_KESTREL_PATCH_BUILD_REPORT_H_
#define TOOLS_KESTREL_PATCH_BUILD_REPORT_H_

#include <string>
#include <vector>

#include "patch_builder.h"

namespace kpatch {

// The summary's lines (UTF-8, without newlines), the first "commands:".
std::vector<std::string> SummaryLines(const BuildSummary& summary, bool exact_order);

// The line on the version manifest: its records and size, the messages'
// language and the labels, or that there is none.
std::string ManifestLine(const BuildSummary& summary, const BuildOptions& options);

}  // namespace kpatch

#endif  // TOOLS_KESTREL_PATCH_BUILD_REPORT_H_
