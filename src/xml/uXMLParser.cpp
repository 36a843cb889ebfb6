#include "xml/uXMLParser.h"

#include "base/uException.h"
#include "xml/uXMLEntities.h"

namespace {
void LowerInto(std::string_view text, std::string& out) {
  out.assign(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
}
}  // namespace

std::unique_ptr<TXMLNode> TXMLParser::Parse() {
  if (!ElementReader) return ParseTokens();
  std::unique_ptr<TXMLNode> root;
  try {
    root = ParseTokens();
  } catch (...) {
    ElementReader->Finish();
    throw;
  }
  ElementReader->Finish();
  return root;
}

bool TXMLParser::OfferElement() {
  const std::string_view rest = FScanner.PendingContent();
  // White space before the element is no text the tree would keep.
  std::size_t start = 0;
  while (start < rest.size() && (rest[start] == ' ' || rest[start] == '\n' || rest[start] == '\r' || rest[start] == '\t'))
    ++start;
  if (start >= rest.size() || rest[start] != '<') return false;
  AssignPendingAttributes();
  const std::size_t length =
      ElementReader->ReadElement(rest.substr(start), *FStack.back().Node, static_cast<int>(FStack.size()));
  if (length == 0) return false;
  FScanner.SkipContent(start + length);
  return true;
}

std::unique_ptr<TXMLNode> TXMLParser::ParseTokens() {
  TToken token;
  int tokenCounter = 0;
  for (;;) {
    // Every token so far is in the tree already.
    if (ReleaseInput && tokenCounter == 0) FScanner.ReleaseConsumed(ReleaseInput);
    if (ElementReader && static_cast<int>(FStack.size()) == ElementReaderDepth && OfferElement()) {
      // An element read elsewhere counts as a token: the input behind it is
      // given back as behind any, and its end is reported.
      const std::string_view rest = FScanner.PendingContent();
      if (OnProgress) OnProgress(FScanner.InputLength() - static_cast<int32_t>(rest.size()) + 1, FScanner.InputLength());
      tokenCounter = 0;
      continue;
    }
    FScanner.NextToken(token);
    if (token.Kind == tkNone) break;
    if (++tokenCounter == 32) {
      if (OnProgress) OnProgress(token.Position, FScanner.InputLength());
      tokenCounter = 0;
    }
    switch (token.Kind) {
      case tkStartTag:
        StartElement(token);
        break;
      case tkAttrName:
        FAttributeName = FArena->InternName(token.Text);
        break;
      case tkAttrValue: {
        const std::string_view value = FArena->StoreDecoded(token.Text);
        FAttributeOwner = FStack.back().Node;
        FPendingAttributes.push_back({value.data(), static_cast<uint32_t>(value.size()), FAttributeName});
        break;
      }
      case tkText:
        AddText(token);
        break;
      case tkEndTag:
      case tkEmptyEnd:
        EndElement(token);
        break;
      default:
        RaiseError("Unexpected token.");
    }
  }
  if (!FStack.empty())
    RaiseError("Closing tag missing for opening tag %s", {FStack.back().Node->Name()});
  return std::move(FRoot);
}

void TXMLParser::AssignPendingAttributes() {
  if (!FAttributeOwner) return;
  FAttributeOwner->FProperties.Assign(FPendingAttributes.data(), static_cast<uint32_t>(FPendingAttributes.size()));
  FPendingAttributes.clear();
  FAttributeOwner = nullptr;
}

void TXMLParser::StartElement(const TToken& token) {
  AssignPendingAttributes();
  TXMLNode* node;
  TXMLArena::TMark mark{};
  if (!FStack.empty()) {
    mark = FArena->Mark();
    node = TXMLNode::CreateIn(*FArena, FArena->InternName(token.Text), token.Position);
    FChildren.push_back(node);
  } else {
    if (FRoot) RaiseError("Only 1 root node supported.");
    LowerInto(token.Text, FLowered);
    FRoot = std::make_unique<TXMLNode>(FLowered, token.Position);
    FArena = &FRoot->FProperties.Arena();
    node = FRoot.get();
  }
  FStack.push_back({node, FChildren.size(), FTexts.size(), mark});
}

void TXMLParser::EndElement(const TToken& token) {
  AssignPendingAttributes();
  if (FStack.empty()) RaiseListIndexError(-1);
  const TOpenNode open = FStack.back();
  FStack.pop_back();
  open.Node->SetChildren(FChildren.data() + open.FirstChild,
                         static_cast<uint32_t>(FChildren.size() - open.FirstChild));
  FChildren.resize(open.FirstChild);
  if (FTexts.size() > open.TextStart) {
    open.Node->SetText(std::string_view(FTexts).substr(open.TextStart));
    FTexts.resize(open.TextStart);
  }
  if (token.Kind == tkEndTag && !token.Text.empty()) {
    LowerInto(token.Text, FLowered);
    if (FLowered != open.Node->Name()) {
      TToken located = token;
      FScanner.Locate(located);
      RaiseError("Opening tag \"%s\" doesn't mach closing tag \"%s\" (%d,%d)",
                 {open.Node->Name(), FLowered, std::to_string(located.Line), std::to_string(located.Column)});
    }
  }
  const int depth = static_cast<int>(FStack.size());
  if (depth >= 1 && depth <= HandOverDepth && OnElementEnd && OnElementEnd(*open.Node, *FStack.back().Node, depth)) {
    FChildren.pop_back();  // the element itself, the last child of its parent
    FArena->Rewind(open.Mark);
  }
}

void TXMLParser::AddText(const TToken& token) {
  AssignPendingAttributes();
  if (FStack.empty()) RaiseError("Unexpected text encountered outside root node.");
  // Collected until the element closes; see FTexts.
  if (token.Text.find('&') == std::string_view::npos) {
    FTexts += token.Text;
  } else {
    const std::size_t start = FTexts.size();
    FTexts.resize(start + token.Text.size());
    FTexts.resize(start + DecodeEntitiesInto(token.Text, FTexts.data() + start));
  }
}
