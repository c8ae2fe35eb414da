// A stand-in for osslsigncode in the maker's signing tests: takes its command line
//   osslsigncode sign -h sha256 -pkcs12 CERT [-pass PASSWORD] -in IN -out OUT
// and, when CERT holds "good certificate", copies IN to OUT and writes the command line it got
// to CERT + ".args" (OUT's folder is a scratch one the maker removes); otherwise it fails with status 1 and writes nothing, as a wrong certificate
// or password makes the real one fail.
#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::string ReadAll(const char* path) {
  std::string bytes;
  FILE* in = std::fopen(path, "rb");
  if (!in) return bytes;
  char buffer[1 << 16];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;) bytes.append(buffer, n);
  std::fclose(in);
  return bytes;
}

bool WriteAll(const std::string& path, const std::string& bytes) {
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  return std::fclose(out) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  const char *certificate = nullptr, *in = nullptr, *out = nullptr;
  std::string args;
  for (int i = 1; i < argc; ++i) {
    args += std::string(i > 1 ? " " : "") + argv[i];
    if (i + 1 < argc && std::strcmp(argv[i], "-pkcs12") == 0) certificate = argv[i + 1];
    if (i + 1 < argc && std::strcmp(argv[i], "-in") == 0) in = argv[i + 1];
    if (i + 1 < argc && std::strcmp(argv[i], "-out") == 0) out = argv[i + 1];
  }
  if (argc < 2 || std::strcmp(argv[1], "sign") != 0 || !certificate || !in || !out) return 2;
  if (ReadAll(certificate) != "good certificate") {
    std::fprintf(stderr, "fake osslsigncode: cannot read the certificate\n");
    return 1;
  }
  const std::string program = ReadAll(in);
  if (program.empty() || !WriteAll(out, program)) return 1;
  return WriteAll(std::string(certificate) + ".args", args) ? 0 : 1;
}
