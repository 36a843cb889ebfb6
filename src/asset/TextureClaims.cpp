#include "asset/TextureClaims.h"

#include <algorithm>

#include "platform/uFileSystem.h"

TTextureClaim TTextureClaims::Claim(const std::string& textureName, const std::string& source,
                                    const std::string& asset, const std::function<bool()>& replacesRepositoryFile) {
  const std::lock_guard<std::mutex> hold(FMutex);
  std::vector<TContent>& contents = FNames[FoldedCase(textureName)];
  TTextureClaim claim;
  if (contents.empty()) {
    claim.Replaces = replacesRepositoryFile && replacesRepositoryFile();
    contents.push_back({source, {asset}});
    return claim;
  }
  // The same source file is the same bytes; other files are compared
  // (assets whose scenes lie in different folders often carry copies).
  for (TContent& content : contents)
    if (content.Source == source || SameFileContents(content.Source, source)) {
      content.Assets.push_back(asset);
      return claim;
    }
  claim.Replaces = true;
  for (const TContent& content : contents)
    claim.OtherAssets.insert(claim.OtherAssets.end(), content.Assets.begin(), content.Assets.end());
  contents.push_back({source, {asset}});
  return claim;
}

void TTextureClaims::Withdraw(const std::string& asset) {
  const std::lock_guard<std::mutex> hold(FMutex);
  for (auto name = FNames.begin(); name != FNames.end();) {
    std::vector<TContent>& contents = name->second;
    for (TContent& content : contents)
      content.Assets.erase(std::remove(content.Assets.begin(), content.Assets.end(), asset), content.Assets.end());
    contents.erase(std::remove_if(contents.begin(), contents.end(),
                                  [](const TContent& content) { return content.Assets.empty(); }),
                   contents.end());
    name = contents.empty() ? FNames.erase(name) : std::next(name);
  }
}
