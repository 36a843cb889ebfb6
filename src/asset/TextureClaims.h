#pragma once
// The textures that several exports running at once in one process (the
// batch) place in one repository. Textures/ is shared and flat: two assets
// bringing different files under one name leave only one of them there, and
// the other asset looks wrong. An export alone hears of that from the file it
// replaces; exports running side by side cannot, as neither may have committed
// when the other looks. So each export claims its textures here before it
// commits, and the claims decide instead:
//
// - The first claim of a name compares with the repository's file, as an
//   export alone does (the other exports' claims of the name wait for it, so
//   that none of them can have placed the file meanwhile).
// - A later claim with bytes that an earlier claim brought already is quiet.
// - A later claim with bytes that no earlier claim brought replaces a
//   different file: it names the assets that claimed the name with other
//   bytes.
//
// So two assets bringing different bytes under one name give one warning
// whichever commits first, and however many assets share a name, each set of
// bytes beyond the first gives one. Names are compared letter case aside, as
// Windows finds the files.

#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

struct TTextureClaim {
  // The claim replaces a different file of that name.
  bool Replaces = false;
  // The other assets of the run that claimed the name with other bytes:
  // by the bytes they brought, in the order those were first claimed, and
  // each set's assets in the order of their claims.
  std::vector<std::string> OtherAssets;
};

class TTextureClaims {
public:
  // `source` is the file the texture was copied from, `asset` the claiming
  // asset's name as the warnings give it. `replacesRepositoryFile` is asked,
  // with the claims held, for the first claim of the name only.
  TTextureClaim Claim(const std::string& textureName, const std::string& source, const std::string& asset,
                      const std::function<bool()>& replacesRepositoryFile);
  // The asset's export failed: it placed nothing, so its claims are gone and
  // later claims are measured without them.
  void Withdraw(const std::string& asset);

private:
  // One set of bytes claimed under a name: where it was read, and by whom.
  struct TContent {
    std::string Source;
    std::vector<std::string> Assets;
  };

  std::mutex FMutex;
  // By the name with its letter case folded.
  std::unordered_map<std::string, std::vector<TContent>> FNames;
};
