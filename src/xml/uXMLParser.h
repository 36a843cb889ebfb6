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

// Reads chosen elements straight from the document's text instead of
// through the tree: a reader of a huge document whose bulk is a few element
// kinds in a simple form gets them without tokens, names and attribute lists.
// Whatever it does not take, the parser reads as ever, so the document's
// syntax and its errors stay the parser's.
class TXMLElementReader {
public:
  virtual ~TXMLElementReader() = default;

  // Called where a child of `parent` may start at `depth` (the root's
  // children are at depth 1), with the text from its "<" to the end of the
  // document. Returns the length of the element, through its end tag, when
  // it read the element, which then is no part of the tree; 0 leaves it to
  // the parser. It must take an element only when the parser would read
  // exactly that well-formed element there.
  virtual std::size_t ReadElement(std::string_view text, const TXMLNode& parent, int depth) = 0;
  // Called once when the parse ends, by its end or by an error, before the
  // document may go: nothing may read the text afterwards. Must not raise.
  virtual void Finish() noexcept {}
};

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

  // When set, asked for every element that starts at ElementReaderDepth while
  // the parser stands in character data; see TXMLElementReader.
  TXMLElementReader* ElementReader = nullptr;
  int ElementReaderDepth = 0;

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
  // Offers the element that starts next to ElementReader; true when it took it.
  bool OfferElement();
  std::unique_ptr<TXMLNode> ParseTokens();

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
