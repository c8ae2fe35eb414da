// Signing a packed updater (Authenticode, with osslsigncode and a
// throwaway certificate made here): it still verifies and still applies,
// because the certificate table goes after the payload and inflation stops
// at the end of its stream. And what pack says about stubs that carry a
// symbol table or a signature.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "tool_run.h"

namespace fs = std::filesystem;

namespace {

using tool_run::Quote;
using tool_run::Write;

struct Scratch : tool_run::Scratch {
  Scratch() : tool_run::Scratch("signing") {}
};

tool_run::Result Patch(const std::string& args, const std::string& cwd) {
  return tool_run::Run(KESTREL_PATCH_EXE, args, cwd);
}

void Put16(std::string& s, std::size_t at, std::uint32_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>(v >> 8 & 0xFF);
}
void Put32(std::string& s, std::size_t at, std::uint32_t v) {
  Put16(s, at, v & 0xFFFF);
  Put16(s, at + 2, v >> 16);
}

// A stub that signing tools take: a PE32+ optional header with its 16
// data directories, one section of 0x200 bytes at 0x200. The PE header is
// at 64, the file header at 68, the optional header at 88.
std::string SignableStub() {
  std::string pe = fixture::MakePe({{0x200, 0x200}}, "");
  Put16(pe, 88, 0x20B);        // PE32+
  Put32(pe, 88 + 32, 0x1000);  // section alignment
  Put32(pe, 88 + 36, 0x200);   // file alignment
  Put32(pe, 88 + 60, 0x200);   // size of headers
  Put16(pe, 88 + 68, 2);       // subsystem: GUI
  Put32(pe, 88 + 108, 16);     // data directories
  return pe;
}

// Where the tree a test works in keeps a real stub: the windows tree's
// kestrel-update.exe, when that tree is built beside this one.
std::string RealStub() {
  const fs::path stub = KESTREL_WINDOWS_STUB;
  return fs::exists(stub) ? stub.string() : "";
}

tool_run::Result Shell(const std::string& command, const std::string& cwd) {
  return tool_run::Run("sh", "-c " + Quote(command), cwd);
}

TEST(Signing, ASignedUpdaterVerifiesAndApplies) {
  Scratch s;
  const std::string dir = s.path.string();
  // The throwaway signer.
  tool_run::Result r = Shell(
      "openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem "
      "-days 2 -subj '/CN=Kestrel test signer'",
      dir);
  ASSERT_EQ(r.status, 0) << r.err;
  Write(s / "old/mareld.dat", fixture::MakeArchive({{"a", "1"}, {"b", "2"}}));
  Write(s / "new/mareld.dat", fixture::MakeArchive({{"a", "1"}, {"b", "22"}, {"c", "3"}}));
  Write(s / "old/readme.txt", "old");
  Write(s / "new/readme.txt", "new");
  ASSERT_EQ(Patch("build old new -o p.bin", dir).status, 0);

  std::vector<std::string> stubs{"minimal"};
  if (!RealStub().empty()) stubs.push_back("real");
  for (const std::string& which : stubs) {
    SCOPED_TRACE(which);
    if (which == "minimal")
      Write(s / "stub.exe", SignableStub());
    else
      fs::copy_file(RealStub(), s / "stub.exe", fs::copy_options::overwrite_existing);
    r = Patch("pack stub.exe p.bin -o update.exe", dir);
    ASSERT_EQ(r.status, 0) << r.err;
    fs::remove(s / "signed.exe");
    r = Shell("osslsigncode sign -certs cert.pem -key key.pem -n 'Kestrel update' "
              "-in update.exe -out signed.exe",
              dir);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    // The signature covers the payload and checks out.
    r = Shell("osslsigncode verify -CAfile cert.pem -in signed.exe", dir);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Signature verification: ok"), std::string::npos) << r.out;
    EXPECT_GT(fs::file_size(s / "signed.exe"), fs::file_size(s / "update.exe"));
    // The signed updater lists and applies like the unsigned one.
    const tool_run::Result listed = Patch("list signed.exe", dir);
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(listed.out.substr(listed.out.find('\n')),
              Patch("list update.exe", dir).out.substr(listed.out.find('\n')));
    fs::remove_all(s / "game");
    fs::copy(s / "old", s / "game", fs::copy_options::recursive);
    r = Patch("apply signed.exe --dir game", dir);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(tool_run::ArchiveByName(s / "game/mareld.dat"),
              tool_run::ArchiveByName(s / "new/mareld.dat"));
    EXPECT_EQ(fixture::ReadBytes(s / "game/readme.txt"), "new");

    // Signed before packing: pack says what to do instead, and refuses.
    fs::remove(s / "again.exe");
    r = Patch("pack signed.exe p.bin -o again.exe", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("signed.exe carries a certificate table"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("the stub is signed: sign the packed updater instead, after packing"),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(fs::exists(s / "again.exe"));
    // With --replace the old signature goes, its table entry too, and the
    // new updater signs and verifies again.
    ASSERT_EQ(Patch("pack signed.exe p.bin -o again.exe --replace", dir).status, 0);
    fs::remove(s / "again-signed.exe");
    ASSERT_EQ(Shell("osslsigncode sign -certs cert.pem -key key.pem -in again.exe "
                    "-out again-signed.exe",
                    dir)
                  .status,
              0);
    EXPECT_EQ(Shell("osslsigncode verify -CAfile cert.pem -in again-signed.exe", dir).status, 0);
  }
}

TEST(Signing, PackSaysWhatAStubCarries) {
  Scratch s;
  const std::string dir = s.path.string();
  Write(s / "p.bin", fixture::Deflate(fixture::Commands().DeleteFile("a").bytes()));
  // An unstripped build: the COFF symbol table after the image.
  std::string unstripped = fixture::MakePe({{0x200, 0x200}}, std::string(3 * 18, 's') + std::string("\x04\0\0\0", 4));
  Put32(unstripped, 68 + 8, 0x400);  // PointerToSymbolTable
  Put32(unstripped, 68 + 12, 3);     // NumberOfSymbols
  Write(s / "unstripped.exe", unstripped);
  tool_run::Result r = Patch("pack unstripped.exe p.bin -o out.exe", dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("unstripped.exe carries a COFF symbol table (3 symbols at byte 1024) "
                       "from an unstripped build: link the stub with -s"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("already carries 58 bytes after its image"), std::string::npos) << r.err;
  // A packed updater used as a stub again.
  ASSERT_EQ(Patch("pack unstripped.exe p.bin -o packed.exe --replace", dir).status, 0);
  r = Patch("pack packed.exe p.bin -o out.exe", dir);
  EXPECT_NE(r.err.find("packed.exe carries a zlib stream: a payload packed before"),
            std::string::npos)
      << r.err;
  EXPECT_FALSE(fs::exists(s / "out.exe"));
}

}  // namespace
