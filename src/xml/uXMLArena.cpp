#include "xml/uXMLArena.h"

#include <cstdint>
#include <cstring>

#include "xml/uXMLEntities.h"

namespace {
constexpr std::size_t kMaxBlockSize = 1024 * 1024;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

// FNV-1a over the lower-cased bytes, so that names differing only in case meet.
uint64_t HashName(std::string_view name) {
  uint64_t hash = 14695981039346656037ull;
  for (char c : name) {
    hash ^= static_cast<unsigned char>(Lower(c));
    hash *= 1099511628211ull;
  }
  return hash;
}

// The cache's check: names are short, and a call to memcmp would cost more
// than comparing their few bytes here.
bool SameBytes(const char* a, const char* b, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i)
    if (a[i] != b[i]) return false;
  return true;
}

bool SameNameIgnoringCase(std::string_view lowered, std::string_view name) {
  if (lowered.size() != name.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i)
    if (lowered[i] != Lower(name[i])) return false;
  return true;
}
}  // namespace

void* TXMLArena::AllocateInNewBlock(std::size_t size, std::size_t alignment) {
  const auto align = [alignment](char* p) {
    return p + ((0 - reinterpret_cast<std::uintptr_t>(p)) & (alignment - 1));
  };
  // Large requests get a block of their own, so that the current block's free
  // space stays usable. Blocks are not cleared: every byte handed out is written.
  const std::size_t needed = size + alignment;
  if (needed > FNextBlockSize / 4) {
    FLargeBlocks.push_back(std::make_unique_for_overwrite<char[]>(needed));
    FLargeSizes.push_back(needed);
    FBlockBytes += needed;
    return align(FLargeBlocks.back().get());
  }
  // A block left behind by a rewind is filled again; one too small for the
  // request is skipped until the next rewind.
  std::size_t next = FCursor ? FCurrent + 1 : 0;
  while (next < FBlocks.size() && FBlockSizes[next] < needed) ++next;
  if (next == FBlocks.size()) {
    FBlocks.push_back(std::make_unique_for_overwrite<char[]>(FNextBlockSize));
    FBlockSizes.push_back(FNextBlockSize);
    FBlockBytes += FNextBlockSize;
    if (FNextBlockSize < kMaxBlockSize) FNextBlockSize *= 2;
  }
  FCurrent = next;
  FCursor = FBlocks[next].get();
  FEnd = FCursor + FBlockSizes[next];
  char* start = align(FCursor);
  FCursor = start + size;
  return start;
}

void TXMLArena::Rewind(const TMark& mark) {
  for (std::size_t i = mark.LargeBlocks; i < FLargeBlocks.size(); ++i) FBlockBytes -= FLargeSizes[i];
  FLargeBlocks.resize(mark.LargeBlocks);
  FLargeSizes.resize(mark.LargeBlocks);
  FCursor = mark.Cursor;
  FCurrent = mark.Cursor ? mark.Block : 0;
  FEnd = mark.Cursor ? FBlocks[mark.Block].get() + FBlockSizes[mark.Block] : nullptr;
}

std::string_view TXMLArena::StoreText(std::string_view text) {
  if (text.empty()) return {};
  char* chars = AllocateChars(text.size());
  std::memcpy(chars, text.data(), text.size());
  return {chars, text.size()};
}

std::string_view TXMLArena::StoreDecoded(std::string_view text) {
  if (std::memchr(text.data(), '&', text.size()) == nullptr) return StoreText(text);
  // Decoding never lengthens a text: decode into a block of the raw size and
  // hand the unused tail back when it is the block's last allocation.
  char* chars = AllocateChars(text.size());
  const std::size_t length = DecodeEntitiesInto(text, chars);
  if (FCursor == chars + text.size()) FCursor = chars + length;
  return {chars, length};
}

uint32_t TXMLArena::Probe(std::string_view name, uint64_t hash) const {
  const std::size_t mask = FSlots.size() - 1;
  for (std::size_t i = static_cast<std::size_t>(hash) & mask, step = 1;; i = (i + step++) & mask) {
    const uint32_t slot = FSlots[i];
    if (slot == 0) return static_cast<uint32_t>(i) | 0x80000000u;
    if (SameNameIgnoringCase(FNames[slot - 1], name)) return slot - 1;
  }
}

TXMLArena::TRecentName* TXMLArena::RecentSlot(std::string_view name) const {
  if (name.empty() || name.size() > sizeof(TRecentName::Text)) return nullptr;
  return &FRecent[(name.size() + static_cast<unsigned char>(name.front()) * 7u +
                   static_cast<unsigned char>(name.back()) * 13u) % kRecentNames];
}

uint32_t TXMLArena::FindName(std::string_view name) const {
  if (FSlots.empty()) return kNoName;
  TRecentName* recent = RecentSlot(name);
  if (recent && recent->Length == name.size() && SameBytes(recent->Text, name.data(), name.size()))
    return recent->Id;
  const uint32_t found = Probe(name, HashName(name));
  if (found & 0x80000000u) return kNoName;
  if (recent) {
    std::memcpy(recent->Text, name.data(), name.size());
    recent->Length = static_cast<uint8_t>(name.size());
    recent->Id = found;
  }
  return found;
}

uint32_t TXMLArena::InternName(std::string_view name) {
  TRecentName* recent = RecentSlot(name);
  if (recent && recent->Length == name.size() && SameBytes(recent->Text, name.data(), name.size()))
    return recent->Id;
  const uint32_t id = AddName(name);
  if (recent) {
    std::memcpy(recent->Text, name.data(), name.size());
    recent->Length = static_cast<uint8_t>(name.size());
    recent->Id = id;
  }
  return id;
}

uint32_t TXMLArena::AddName(std::string_view name) {
  if ((FNames.size() + 1) * 2 > FSlots.size()) GrowNameTable();
  const uint32_t found = Probe(name, HashName(name));
  if (!(found & 0x80000000u)) return found;
  FNameChars.push_back(std::make_unique_for_overwrite<char[]>(name.size() + 1));
  char* chars = FNameChars.back().get();
  for (std::size_t i = 0; i < name.size(); ++i) chars[i] = Lower(name[i]);
  const auto id = static_cast<uint32_t>(FNames.size());
  FNames.emplace_back(chars, name.size());
  FSlots[found & 0x7FFFFFFFu] = id + 1;
  return id;
}

void TXMLArena::GrowNameTable() {
  std::vector<uint32_t> slots(FSlots.empty() ? 64 : FSlots.size() * 2, 0);
  const std::size_t mask = slots.size() - 1;
  for (uint32_t id = 0; id < FNames.size(); ++id) {
    std::size_t i = static_cast<std::size_t>(HashName(FNames[id])) & mask;
    for (std::size_t step = 1; slots[i] != 0; i = (i + step++) & mask) {
    }
    slots[i] = id + 1;
  }
  FSlots = std::move(slots);
}

std::size_t TXMLArena::AllocatedBytes() const {
  std::size_t names = 0;
  for (const std::string_view name : FNames) names += name.size() + 1;
  return FBlockBytes + FBlocks.capacity() * (sizeof(FBlocks[0]) + sizeof(FBlockSizes[0])) + FLargeBlocks.capacity() * (sizeof(FLargeBlocks[0]) + sizeof(FLargeSizes[0])) +
         FNames.capacity() * sizeof(FNames[0]) + FNameChars.capacity() * sizeof(FNameChars[0]) + names +
         FSlots.capacity() * sizeof(FSlots[0]);
}

