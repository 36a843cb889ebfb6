#include "xml/uStringDictionary.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "base/uException.h"

namespace {
uint32_t HashId(uint32_t id) { return id * 2654435761u; }
}  // namespace

uint32_t TStringDictionary::IndexOfId(uint32_t keyId) const {
  // Readers ask for an attribute again (HasProperty, then GetProperty) or
  // for the one after it, as they mostly read them in document order.
  if (FRemembered < FCount && FEntries[FRemembered].KeyId == keyId) return FRemembered;
  if (FRemembered + 1 < FCount && FEntries[FRemembered + 1].KeyId == keyId) return ++FRemembered;
  if (FIndex) {
    const uint32_t mask = FIndex[0];
    for (uint32_t i = HashId(keyId) & mask, step = 1;; i = (i + step++) & mask) {
      const uint32_t slot = FIndex[1 + i];
      if (slot == 0) return kNotFound;
      if (FEntries[slot - 1].KeyId == keyId) return FRemembered = slot - 1;
    }
  }
  for (uint32_t i = 0; i < FCount; ++i)
    if (FEntries[i].KeyId == keyId) return FRemembered = i;
  return kNotFound;
}

uint32_t TStringDictionary::IndexOf(std::string_view key) const {
  if (FCount == 0) return kNotFound;
  const uint32_t id = FArena->FindName(key);
  return id == TXMLArena::kNoName ? kNotFound : IndexOfId(id);
}

std::string_view TStringDictionary::KeyAt(int index) const {
  if (index < 0 || static_cast<uint32_t>(index) >= FCount)
    RaiseListIndexError(index);
  return FArena->NameOf(FEntries[index].KeyId);
}

std::string_view TStringDictionary::ValueAt(int index) const {
  if (index < 0 || static_cast<uint32_t>(index) >= FCount)
    RaiseListIndexError(index);
  return {FEntries[index].Value, FEntries[index].ValueLength};
}

bool TStringDictionary::Contains(std::string_view key) const { return IndexOf(key) != kNotFound; }

bool TStringDictionary::Find(std::string_view key, std::string_view& value) const {
  const uint32_t index = IndexOf(key);
  if (index == kNotFound) return false;
  value = {FEntries[index].Value, FEntries[index].ValueLength};
  return true;
}

bool TStringDictionary::FindId(uint32_t keyId, std::string_view& value) const {
  const uint32_t index = FCount == 0 ? kNotFound : IndexOfId(keyId);
  if (index == kNotFound) return false;
  value = {FEntries[index].Value, FEntries[index].ValueLength};
  return true;
}

std::string_view TStringDictionary::Get(std::string_view key) const {
  const uint32_t index = IndexOf(key);
  if (index == kNotFound) RaiseError("Key \"%s\" not found.", {key});
  return {FEntries[index].Value, FEntries[index].ValueLength};
}

void TStringDictionary::Put(std::string_view key, std::string_view value) {
  const uint32_t id = FArena->InternName(key);
  const std::string_view stored = FArena->StoreText(value);
  const uint32_t index = IndexOfId(id);
  if (index != kNotFound) {
    FEntries[index].Value = stored.data();
    FEntries[index].ValueLength = static_cast<uint32_t>(stored.size());
    return;
  }
  // Single additions copy the array: they come from hand-built trees, while
  // the parser fills a dictionary in one Assign.
  TEntry* entries = FArena->AllocateArray<TEntry>(FCount + 1);
  if (FCount > 0) std::memcpy(entries, FEntries, FCount * sizeof(TEntry));
  FEntries = entries;
  Append({stored.data(), static_cast<uint32_t>(stored.size()), id});
}

void TStringDictionary::Assign(const TEntry* entries, uint32_t count) {
  FEntries = count > 0 ? FArena->AllocateArray<TEntry>(count) : nullptr;
  FIndex = nullptr;
  FCount = 0;
  FRemembered = kNotFound;
  for (uint32_t i = 0; i < count; ++i) {
    // An element has a handful of attributes as a rule: they are compared
    // with those before them directly, the index takes over beyond.
    uint32_t existing = kNotFound;
    if (FIndex) {
      existing = IndexOfId(entries[i].KeyId);
    } else {
      for (uint32_t j = 0; j < FCount; ++j)
        if (FEntries[j].KeyId == entries[i].KeyId) {
          existing = j;
          break;
        }
    }
    if (existing != kNotFound)
      FEntries[existing] = entries[i];
    else
      Append(entries[i]);
  }
}

void TStringDictionary::Append(const TEntry& entry) {
  FEntries[FCount++] = entry;
  if (FCount <= kLinearLimit) return;
  const uint32_t capacity = FIndex ? FIndex[0] + 1 : 0;
  if (FCount * 2 > capacity)
    BuildIndex(std::max<uint32_t>(32, capacity * 2));
  else
    InsertIntoIndex(FCount - 1);
}

void TStringDictionary::BuildIndex(uint32_t capacity) {
  FIndex = FArena->AllocateArray<uint32_t>(capacity + 1);
  std::memset(FIndex, 0, (capacity + 1) * sizeof(uint32_t));
  FIndex[0] = capacity - 1;
  for (uint32_t i = 0; i < FCount; ++i) InsertIntoIndex(i);
}

void TStringDictionary::InsertIntoIndex(uint32_t entryIndex) {
  const uint32_t mask = FIndex[0];
  uint32_t i = HashId(FEntries[entryIndex].KeyId) & mask;
  for (uint32_t step = 1; FIndex[1 + i] != 0; i = (i + step++) & mask) {
  }
  FIndex[1 + i] = entryIndex + 1;
}
