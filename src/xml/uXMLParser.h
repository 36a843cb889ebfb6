#pragma once
// Builds the node tree from the scanner's tokens. Names are lower-cased,
// attribute values and text decoded; the whole tree is stored in the arena of
// its root.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "xml/uXMLNode.h"
#include "xml/uXMLScanner.h"

class TXMLParser {
public:
  explicit TXMLParser(TXMLScanner& scanner) : FScanner(scanner) {}

  // The root element, or nothing when the input holds no element at all.
  std::unique_ptr<TXMLNode> Parse();

  // Called every 32 tokens with the token's position and the input length.
  std::function<void(int32_t position, int32_t total)> OnProgress;
  // When set, the input is given back to the system through it as it is
  // parsed (see TXMLScanner::ReleaseConsumed).
  std::function<void(const char* from, const char* to)> ReleaseInput;

  // Called when an element at depth 1 to HandOverDepth closes (the root's
  // children are at depth 1), with its parent. Returning true hands the
  // element over: it is left out of its parent's children and its storage is
  // reused, so neither it nor anything below it may be used after the call.
  // A reader that builds its own model from a huge document thus never holds
  // the whole tree.
  std::function<bool(TXMLNode& element, TXMLNode& parent, int depth)> OnElementEnd;
  int HandOverDepth = 0;

private:
  struct TOpenNode {
    TXMLNode* Node;
    std::size_t FirstChild;  // where its children start in FChildren
    std::size_t TextStart;   // where its text starts in FTexts
    TXMLArena::TMark Mark;   // the arena before the node was stored
  };

  void StartElement(const TToken& token);
  void EndElement(const TToken& token);
  void AddText(const TToken& token);
  void AssignPendingAttributes();

  TXMLScanner& FScanner;
  std::unique_ptr<TXMLNode> FRoot;
  TXMLArena* FArena = nullptr;
  std::vector<TOpenNode> FStack;
  // The children of every open element, innermost last; an element's share is
  // moved into the arena, at its exact size, when it closes.
  std::vector<TXMLNode*> FChildren;
  // The text of every open element, innermost last, in the same way: an
  // element's text may come in as many pieces as it has children, and joining
  // them in the arena piece by piece would copy all earlier pieces each time.
  std::string FTexts;
  std::vector<TStringDictionary::TEntry> FPendingAttributes;
  TXMLNode* FAttributeOwner = nullptr;
  uint32_t FAttributeName = 0;
  std::string FLowered;
};
