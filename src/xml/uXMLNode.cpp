#include "xml/uXMLNode.h"

#include <cstring>
#include <string>
#include <vector>

#include "base/uException.h"
#include "base/uNumbers.h"

namespace {
bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
    if (x != y) return false;
  }
  return true;
}
}  // namespace

// The root's arena is owned by the root through its dictionary's reference:
// handed over here, taken back by the destructor. A separate owning member
// would cost every one of the millions of nodes inside the arena a pointer.
TXMLNode::TXMLNode(std::string_view name, int32_t position)
    : FProperties(*std::make_unique<TXMLArena>().release()), FNameId(0), FPosition(position) {
  TXMLArena& arena = FProperties.Arena();
  arena.Owner = this;
  FNameId = arena.InternName(name);
}

TXMLNode::TXMLNode(TArenaTag, TXMLArena& arena, uint32_t nameId, int32_t position)
    : FProperties(arena), FNameId(nameId), FPosition(position) {}

TXMLNode* TXMLNode::CreateIn(TXMLArena& arena, uint32_t nameId, int32_t position) {
  return new (arena.Allocate(sizeof(TXMLNode), alignof(TXMLNode))) TXMLNode(TArenaTag{}, arena, nameId, position);
}

TXMLNode::~TXMLNode() {
  if (!OwnsArena()) return;  // a node inside an arena goes with its arena
  std::unique_ptr<TXMLArena> arena(&FProperties.Arena());
  if (arena->HasForeignNodes) FreeForeignDescendants();
}

// Frees the nodes that were added from other trees, and those added to them in
// turn. The walk keeps its own stack, since trees may nest deeper than the call
// stack reaches, and it collects every such node before freeing any: each is
// then freed with nothing left to walk, so freeing never recurses either.
void TXMLNode::FreeForeignDescendants() {
  std::vector<std::unique_ptr<TXMLNode>> added;
  std::vector<TXMLNode*> pending{this};
  while (!pending.empty()) {
    TXMLNode* node = pending.back();
    pending.pop_back();
    for (uint32_t i = 0; i < node->FChildCount; ++i) {
      TXMLNode* child = node->FChildren[i];
      if (child->OwnsArena()) {
        added.emplace_back(child);
        // Inside a tree that nothing was added to, nothing is left to find.
        if (!child->FProperties.Arena().HasForeignNodes) continue;
        child->FProperties.Arena().HasForeignNodes = false;
      }
      pending.push_back(child);
    }
  }
}

TXMLNode* TXMLNode::GetChild(int index) const {
  if (index < 0 || static_cast<uint32_t>(index) >= FChildCount)
    RaiseListIndexError(index);
  return FChildren[index];
}

void TXMLNode::SetChildren(TXMLNode* const* children, uint32_t count) {
  if (count == 0) return;
  FChildren = FProperties.Arena().AllocateArray<TXMLNode*>(count);
  std::memcpy(FChildren, children, count * sizeof(TXMLNode*));
  FChildCount = count;
}

void TXMLNode::AddChild(std::unique_ptr<TXMLNode> node) {
  TXMLArena& arena = FProperties.Arena();
  TXMLNode** children = arena.AllocateArray<TXMLNode*>(FChildCount + 1);
  if (FChildCount > 0) std::memcpy(children, FChildren, FChildCount * sizeof(TXMLNode*));
  children[FChildCount] = node.release();
  FChildren = children;
  ++FChildCount;
  arena.HasForeignNodes = true;
}

std::string_view TXMLNode::GetProperty(std::string_view name) const {
  std::string_view value;
  if (!FProperties.Find(name, value)) RaiseError("Property \"%s\" not found for node \"%s\".", {name, Name()});
  return value;
}

bool XMLBoolValue(std::string_view value) {
  return EqualsIgnoringCase(value, "true") || value == "1" || EqualsIgnoringCase(value, "yes");
}

bool TXMLNode::GetBoolProperty(std::string_view name) const { return XMLBoolValue(GetProperty(name)); }

int32_t TXMLNode::GetIntProperty(std::string_view name) const { return StrToInt(GetProperty(name)); }

float TXMLNode::GetFloatProperty(std::string_view name) const { return StrToFloat(GetProperty(name)); }

float TXMLNode::GetFloatProperty(const TPropertyKey& key) const { return StrToFloat(GetProperty(key)); }

TXMLNode::TPropertyKey TXMLNode::KeyOf(std::string_view name) const {
  TPropertyKey key;
  key.FId = FProperties.Arena().InternName(name);
  return key;
}

std::string_view TXMLNode::GetProperty(const TPropertyKey& key) const {
  std::string_view value;
  if (key.FId == TXMLArena::kNoName || !FProperties.FindId(key.FId, value)) {
    const std::string_view name = key.FId == TXMLArena::kNoName ? "" : FProperties.Arena().NameOf(key.FId);
    RaiseError("Property \"%s\" not found for node \"%s\".", {name, Name()});
  }
  return value;
}

void TXMLNode::SetProperty(std::string_view name, std::string_view value) { FProperties.Put(name, value); }

void TXMLNode::SetText(std::string_view text) {
  const std::string_view stored = FProperties.Arena().StoreText(text);
  FText = stored.data();
  FTextLength = static_cast<uint32_t>(stored.size());
}

void TXMLNode::AppendText(std::string_view text) {
  if (text.empty()) return;
  TXMLArena& arena = FProperties.Arena();
  if (FTextLength == 0) {
    const std::string_view stored = arena.StoreText(text);
    FText = stored.data();
  } else {
    char* joined = arena.AllocateArray<char>(FTextLength + text.size());
    std::memcpy(joined, FText, FTextLength);
    std::memcpy(joined + FTextLength, text.data(), text.size());
    FText = joined;
  }
  FTextLength += static_cast<uint32_t>(text.size());
}
