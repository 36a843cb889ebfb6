#pragma once
// One element of a parsed document: its lower-cased name, its decoded text,
// its children in document order and its attributes.
//
// A node made with the public constructor is the root of a tree: it owns an
// arena in which the tree's strings, and the nodes that the parser creates,
// are stored. Freeing the root frees the whole tree; nodes added with AddChild
// become owned by their new parent.

#include <cstdint>
#include <memory>
#include <string_view>

#include "xml/uStringDictionary.h"

// A value as GetBoolProperty reads it: true exactly for "true", "1" and
// "yes" in any letter case.
bool XMLBoolValue(std::string_view value);

class TXMLNode {
public:
  TXMLNode(std::string_view name, int32_t position);
  ~TXMLNode();
  TXMLNode(const TXMLNode&) = delete;
  TXMLNode& operator=(const TXMLNode&) = delete;

  std::string_view Name() const { return FProperties.Arena().NameOf(FNameId); }
  std::string_view Text() const { return {FText, FTextLength}; }
  // The character position of the start tag in the document.
  int32_t Position() const { return FPosition; }

  int ChildCount() const { return static_cast<int>(FChildCount); }
  // Raises "List index out of bounds (%d)" for an index outside the children.
  TXMLNode* GetChild(int index) const;
  void AddChild(std::unique_ptr<TXMLNode> node);

  bool HasProperty(std::string_view name) const { return FProperties.Contains(name); }
  // Raises "Property "%s" not found for node "%s"." when absent.
  std::string_view GetProperty(std::string_view name) const;
  // True exactly for "true", "1" and "yes" in any letter case.
  bool GetBoolProperty(std::string_view name) const;
  int32_t GetIntProperty(std::string_view name) const;
  float GetFloatProperty(std::string_view name) const;

  // An attribute name looked up once for a whole tree: a reader that asks a
  // million elements for the same few attributes passes the key instead of
  // the name. A key is good for every node of the tree it was made in.
  class TPropertyKey {
  public:
    TPropertyKey() = default;

  private:
    friend class TXMLNode;
    uint32_t FId = TXMLArena::kNoName;
  };
  TPropertyKey KeyOf(std::string_view name) const;
  // As the lookups by name, with the same errors.
  std::string_view GetProperty(const TPropertyKey& key) const;
  float GetFloatProperty(const TPropertyKey& key) const;
  void SetProperty(std::string_view name, std::string_view value);
  // The attributes in document order, a repeated one once: name (lower-cased) and value.
  int PropertyCount() const { return FProperties.Count(); }
  std::string_view PropertyName(int index) const { return FProperties.KeyAt(index); }
  std::string_view PropertyValue(int index) const { return FProperties.ValueAt(index); }

  void AppendText(std::string_view text);

  // Bytes taken from the system for this tree's storage; on a node that is not
  // a tree's root, those of the tree it belongs to.
  std::size_t TreeBytes() const { return FProperties.Arena().AllocatedBytes(); }

private:
  friend class TXMLParser;
  struct TArenaTag {};
  TXMLNode(TArenaTag, TXMLArena& arena, uint32_t nameId, int32_t position);
  static TXMLNode* CreateIn(TXMLArena& arena, uint32_t nameId, int32_t position);

  bool OwnsArena() const { return FProperties.Arena().Owner == this; }
  void SetChildren(TXMLNode* const* children, uint32_t count);
  // Replaces the text with a copy in the arena.
  void SetText(std::string_view text);
  void FreeForeignDescendants();

  TStringDictionary FProperties;
  TXMLNode** FChildren = nullptr;
  const char* FText = nullptr;
  uint32_t FTextLength = 0;
  uint32_t FNameId;
  uint32_t FChildCount = 0;
  int32_t FPosition;
};
