// SHA-256, checked against the test vectors of its standard (FIPS 180-2,
// appendix B) and against itself fed in pieces of every size.

#include <gtest/gtest.h>

#include <string>

#include "../support/TempDir.h"
#include "cli/ContentHash.h"

TEST(ContentHash, TheStandardsVectors) {
  EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(Sha256Hex(std::string(1000000, 'a')), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

// The padding's edges: a message filling a block but for the length (55
// bytes), one byte more (56) and a whole block (64).
TEST(ContentHash, MessagesAtTheEdgesOfTheLastBlock) {
  EXPECT_EQ(Sha256Hex(std::string(55, 'a')), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318");
  EXPECT_EQ(Sha256Hex(std::string(56, 'a')), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a");
  EXPECT_EQ(Sha256Hex(std::string(64, 'a')), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb");
}

TEST(ContentHash, PiecesOfAnySizeHashAsTheWhole) {
  std::string message;
  for (int i = 0; i < 300; ++i) message += static_cast<char>(i * 7 + 3);
  const std::string whole = Sha256Hex(message);
  for (std::size_t piece = 1; piece <= 130; ++piece) {
    TSha256 hash;
    for (std::size_t at = 0; at < message.size(); at += piece) hash.Update(message.substr(at, piece));
    EXPECT_EQ(hash.HexDigest(), whole) << piece;
  }
}

TEST(ContentHash, AFileHashesAsItsBytesAndAMissingOneNotAtAll) {
  TTempDir dir;
  std::string bytes(300000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 31 % 251);
  TTempDir::Write(dir.File("file.bin"), bytes);
  std::string hash;
  ASSERT_TRUE(FileSha256(dir.File("file.bin"), hash));
  EXPECT_EQ(hash, Sha256Hex(bytes));
  EXPECT_FALSE(FileSha256(dir.File("missing.bin"), hash));
  EXPECT_FALSE(FileSha256(dir.Path().string(), hash)) << "a folder has no bytes to hash";
}
