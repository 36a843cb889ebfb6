#pragma once
// The attributes of one element: keys matched without regard to case, values
// in insertion order. Up to 11 keys are searched one by one; a dictionary that
// grows beyond that gets a hash index. Keys and values live in the arena of the
// tree the dictionary belongs to.

#include <cstdint>
#include <string_view>

#include "xml/uXMLArena.h"

class TStringDictionary {
public:
  struct TEntry {
    const char* Value;
    uint32_t ValueLength;
    uint32_t KeyId;  // name number in the arena
  };

  explicit TStringDictionary(TXMLArena& arena) : FArena(&arena) {}

  bool Contains(std::string_view key) const;
  // Raises "Key "%s" not found." when absent.
  std::string_view Get(std::string_view key) const;
  // Stores the value and returns true, or returns false when absent: one
  // lookup where Contains and Get take two.
  bool Find(std::string_view key, std::string_view& value) const;
  // The same by the key's name number in the arena.
  bool FindId(uint32_t keyId, std::string_view& value) const;
  // Adds the pair, or replaces the value of an existing key.
  void Put(std::string_view key, std::string_view value);
  int Count() const { return static_cast<int>(FCount); }
  // The key (lower-cased) and the value of entry `index`, in insertion order.
  // Raise "List index out of bounds (%d)" outside 0 .. Count() - 1.
  std::string_view KeyAt(int index) const;
  std::string_view ValueAt(int index) const;

  // Replaces the whole content with entries whose values are already stored
  // in the arena; a repeated key keeps its first place and its last value.
  void Assign(const TEntry* entries, uint32_t count);

  TXMLArena& Arena() const { return *FArena; }

private:
  static constexpr uint32_t kLinearLimit = 11;
  static constexpr uint32_t kNotFound = UINT32_MAX;

  uint32_t IndexOf(std::string_view key) const;
  uint32_t IndexOfId(uint32_t keyId) const;
  void Append(const TEntry& entry);
  void InsertIntoIndex(uint32_t entryIndex);
  void BuildIndex(uint32_t capacity);

  TXMLArena* FArena;
  TEntry* FEntries = nullptr;
  uint32_t* FIndex = nullptr;  // [0] = slot mask, then slots holding entry index + 1
  uint32_t FCount = 0;
  mutable uint32_t FRemembered = kNotFound;  // the last key found, for HasProperty then GetProperty
};
