#pragma once
// Which assets of a repository use a texture. Textures/ is shared by every
// asset and a texture is placed by its file name alone, so an export that
// replaces a texture with other bytes changes how other assets look: the
// user must hear which ones.

#include <string>
#include <vector>

// The assets whose material definitions list Textures\NAME (letter case
// aside, as Windows finds the file), as in the repository: their folders and
// names joined by "/", sorted; `exceptAsset`, written so, is left out
// unread. Reads every other material definition of the repository, so it is
// for the rare case of a texture actually being replaced by other bytes, not
// for every export.
std::vector<std::string> AssetsListingTexture(const std::string& repositoryRoot, const std::string& textureName,
                                              const std::string& exceptAsset);

// "Texture NAME replaces a different file of that name used by A, B." with
// the other assets using it, or without the "used by" part when none does.
std::string ReplacedTextureWarning(const std::string& textureName, const std::vector<std::string>& users);
