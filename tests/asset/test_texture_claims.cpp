#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "../support/TempDir.h"
#include "asset/TextureClaims.h"

namespace {
// Texture sources in a folder of their own: a name and its bytes.
struct TSources {
  TTempDir Dir;
  std::string Add(const std::string& name, const std::string& bytes) const {
    TTempDir::Write(Dir.File(name), bytes);
    return Dir.File(name);
  }
};

// A repository check that counts how often it is asked.
struct TRepositoryCheck {
  bool Replaces = false;
  int Asked = 0;
  std::function<bool()> Function() {
    return [this] {
      ++Asked;
      return Replaces;
    };
  }
};
}  // namespace

TEST(TextureClaims, OnlyTheFirstClaimOfANameAsksTheRepository) {
  TSources sources;
  const std::string wood = sources.Add("wood.png", "wood");
  TTextureClaims claims;
  TRepositoryCheck check;
  check.Replaces = true;
  const TTextureClaim first = claims.Claim("wood.png", wood, "Alpha", check.Function());
  EXPECT_TRUE(first.Replaces);
  EXPECT_EQ(first.OtherAssets, std::vector<std::string>{});
  // The name is the batch's now: whatever the repository held, the first
  // claim told of it.
  const TTextureClaim second = claims.Claim("wood.png", wood, "Beta", check.Function());
  EXPECT_FALSE(second.Replaces);
  EXPECT_EQ(check.Asked, 1);
  // Another name is a first claim again.
  check.Replaces = false;
  EXPECT_FALSE(claims.Claim("metal.png", sources.Add("metal.png", "metal"), "Beta", check.Function()).Replaces);
  EXPECT_EQ(check.Asked, 2);
}

TEST(TextureClaims, EachSetOfBytesBeyondTheFirstReplacesOnceNamingTheOthers) {
  TSources sources;
  // Copies with equal bytes in other files, and two other contents: one
  // longer, one as long with its last byte other.
  const std::string a1 = sources.Add("a1.png", "wood"), a2 = sources.Add("a2.png", "wood");
  const std::string b = sources.Add("b.png", "wood!"), c = sources.Add("c.png", "wooe");
  TTextureClaims claims;
  EXPECT_FALSE(claims.Claim("wood.png", a1, "Alpha", nullptr).Replaces);
  EXPECT_FALSE(claims.Claim("wood.png", a2, "Beta", nullptr).Replaces);
  const TTextureClaim gamma = claims.Claim("wood.png", b, "Gamma", nullptr);
  EXPECT_TRUE(gamma.Replaces);
  EXPECT_EQ(gamma.OtherAssets, (std::vector<std::string>{"Alpha", "Beta"}));
  // Bytes brought before are quiet, whichever set they are.
  EXPECT_FALSE(claims.Claim("wood.png", b, "Delta", nullptr).Replaces);
  EXPECT_FALSE(claims.Claim("wood.png", a1, "Epsilon", nullptr).Replaces);
  const TTextureClaim zeta = claims.Claim("wood.png", c, "Props/Zeta", nullptr);
  EXPECT_TRUE(zeta.Replaces);
  EXPECT_EQ(zeta.OtherAssets, (std::vector<std::string>{"Alpha", "Beta", "Epsilon", "Gamma", "Delta"}));
}

// Windows finds "Wood.png" by "wood.png": one file there.
TEST(TextureClaims, NamesDifferingInLetterCaseAreOneName) {
  TSources sources;
  TTextureClaims claims;
  EXPECT_FALSE(claims.Claim("Wood.png", sources.Add("one.png", "wood"), "Alpha", nullptr).Replaces);
  EXPECT_FALSE(claims.Claim("WOOD.PNG", sources.Add("two.png", "wood"), "Beta", nullptr).Replaces);
  const TTextureClaim other = claims.Claim("wood.png", sources.Add("three.png", "oak"), "Gamma", nullptr);
  EXPECT_TRUE(other.Replaces);
  EXPECT_EQ(other.OtherAssets, (std::vector<std::string>{"Alpha", "Beta"}));
}

TEST(TextureClaims, AWithdrawnAssetNoLongerCounts) {
  TSources sources;
  const std::string wood = sources.Add("wood.png", "wood"), oak = sources.Add("oak.png", "oak");
  TTextureClaims claims;
  TRepositoryCheck check;
  claims.Claim("wood.png", wood, "Alpha", check.Function());
  claims.Claim("metal.png", sources.Add("metal.png", "metal"), "Alpha", check.Function());
  claims.Claim("wood.png", wood, "Beta", check.Function());
  claims.Withdraw("Alpha");
  // Beta still holds the bytes of wood.png; metal.png is nobody's.
  const TTextureClaim other = claims.Claim("wood.png", oak, "Gamma", check.Function());
  EXPECT_TRUE(other.Replaces);
  EXPECT_EQ(other.OtherAssets, std::vector<std::string>{"Beta"});
  EXPECT_EQ(check.Asked, 2);
  claims.Claim("metal.png", oak, "Gamma", check.Function());
  EXPECT_EQ(check.Asked, 3);
}

// Claims from many threads at once: however they interleave, two sets of
// bytes under one name give exactly one claim that replaces, and every
// other name's first claim alone asks the repository.
TEST(TextureClaims, ClaimsFromManyThreadsReplaceOncePerExtraSetOfBytes) {
  TSources sources;
  const std::string one = sources.Add("one.png", "one"), two = sources.Add("two.png", "two");
  for (int round = 0; round < 20; ++round) {
    TTextureClaims claims;
    std::atomic<int> replaced{0}, asked{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
      threads.emplace_back([&, t] {
        for (int name = 0; name < 10; ++name) {
          const TTextureClaim claim = claims.Claim("tex" + std::to_string(name) + ".png", t % 2 ? one : two,
                                                   "Asset" + std::to_string(t), [&] {
                                                     ++asked;
                                                     return false;
                                                   });
          if (claim.Replaces) ++replaced;
        }
      });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(replaced, 10);
    EXPECT_EQ(asked, 10);
  }
}
