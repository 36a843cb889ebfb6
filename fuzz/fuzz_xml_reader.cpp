// The XML reader on any bytes: it either raises a TException or returns a
// tree. A tree written back with our XML writer must read again into the same
// names, attributes and (apart from surrounding white space) texts.

#include <string>
#include <utility>
#include <vector>

#include "FuzzSupport.h"
#include "base/uException.h"
#include "xml/uXMLReader.h"
#include "xml/uXMLWriter.h"

namespace {
bool IsXmlBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsXmlBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsXmlBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Written without recursion, like everything that walks a parsed tree: the
// input may nest as deep as it is long.
std::string Write(const TXMLNode& root) {
  TXMLStringWriter writer;
  writer.WriteDeclaration = false;  // our reader refuses declarations
  std::vector<std::pair<const TXMLNode*, int>> stack{{&root, -1}};
  while (!stack.empty()) {
    auto& [node, next] = stack.back();
    if (next < 0) {
      writer.OpenTag(node->Name());
      for (int i = 0; i < node->PropertyCount(); ++i) writer.AddProperty(node->PropertyName(i), node->PropertyValue(i));
      writer.AddText(node->Text());
      next = 0;
    }
    if (next < node->ChildCount()) {
      const TXMLNode* child = node->GetChild(next++);
      stack.emplace_back(child, -1);
    } else {
      writer.CloseTag(node->Name());
      stack.pop_back();
    }
  }
  return writer.GetText();
}

void Compare(const TXMLNode& expected, const TXMLNode& actual) {
  std::vector<std::pair<const TXMLNode*, const TXMLNode*>> pending{{&expected, &actual}};
  while (!pending.empty()) {
    const auto [a, b] = pending.back();
    pending.pop_back();
    FuzzCheck(a->Name() == b->Name(), "element name changed");
    FuzzCheck(TrimBlanks(a->Text()) == TrimBlanks(b->Text()), "text of <" + std::string(a->Name()) + "> changed");
    FuzzCheck(a->PropertyCount() == b->PropertyCount(), "attribute count changed");
    for (int i = 0; i < a->PropertyCount(); ++i) {
      FuzzCheck(a->PropertyName(i) == b->PropertyName(i), "attribute name changed");
      FuzzCheck(a->PropertyValue(i) == b->PropertyValue(i), "attribute value changed");
      FuzzCheck(b->GetProperty(a->PropertyName(i)) == a->PropertyValue(i), "attribute lookup disagrees");
    }
    FuzzCheck(a->ChildCount() == b->ChildCount(), "child count changed");
    for (int i = 0; i < a->ChildCount(); ++i) pending.emplace_back(a->GetChild(i), b->GetChild(i));
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::unique_ptr<TXMLNode> root;
  try {
    root = TXMLStringReader(std::string(FuzzText(data, size))).ReadRootNode();
  } catch (const TException&) {
    return 0;  // refused with a message: fine
  }
  FuzzCheck(root != nullptr, "no root and no error");
  const std::string written = Write(*root);
  std::unique_ptr<TXMLNode> again;
  try {
    again = TXMLStringReader(written).ReadRootNode();
  } catch (const TException& e) {
    FuzzFailure("our own output does not read again: " + e.Message());
  }
  Compare(*root, *again);
  return 0;
}
