// Signing the packed updater with the signing program the maker has:
// signtool.exe (the Windows SDK's) or osslsigncode, found on the PATH.
#ifndef TOOLS_KESTREL_MAKER_CODE_SIGNING_H_
#define TOOLS_KESTREL_MAKER_CODE_SIGNING_H_

#include <string>

namespace kmaker {

// The full path (cp932) of signtool.exe on the PATH, else of osslsigncode;
// "" when neither is there.
std::string FindSigner();

// Signs the program `in` with the certificate file `certificate` (a .pfx;
// `password` may be empty) into `out` (all cp932), running `signer` and
// waiting for it. A stop request ends the signer and throws
// tools::StopRequested. False with `error` (one line) when the signer
// cannot be started or reports failure.
bool SignFile(const std::string& signer, const std::string& certificate,
              const std::string& password, const std::string& in, const std::string& out,
              std::string* error);

}  // namespace kmaker

#endif  // TOOLS_KESTREL_MAKER_CODE_SIGNING_H_
