// The identifiers of the maker window's controls; the black-box tests find
// the controls by them.
#ifndef TOOLS_KESTREL_MAKER_MAKER_IDS_H_
#define TOOLS_KESTREL_MAKER_MAKER_IDS_H_

namespace kmaker {

enum ControlId : int {
  kIdOld = 101,
  kIdOldBrowse,
  kIdNew,
  kIdNewBrowse,
  kIdOutput,
  kIdOutputBrowse,
  kIdCaption,
  kIdCompletion,
  kIdFromLabel,
  kIdToLabel,
  kIdLanguage,
  kIdExactOrder,
  kIdFollowLinks,
  kIdSign,
  kIdCertificate,
  kIdCertificateBrowse,
  kIdPassword,
  kIdBuild,
  kIdTry,
  kIdCancel,
  kIdProgress,
  kIdLog,
  kIdFirstLabel = 200,  // the static labels, in the order of the fields
};

}  // namespace kmaker

#endif  // TOOLS_KESTREL_MAKER_MAKER_IDS_H_
