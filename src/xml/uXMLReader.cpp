#include "uXMLReader.h"

#include "uException.h"
#include "uXMLParser.h"
#include "uXMLScanner.h"

std::unique_ptr<TXMLNode> TXMLReader::GetRootNode() {
  constexpr std::string_view kNoData = "Could not read rootnode from xml: no data available.";
  const std::string_view text = Document();
  if (text.empty()) RaiseError(kNoData);
  TXMLScanner scanner(text);
  TXMLParser parser(scanner);
  parser.OnProgress = OnProgress;
  parser.OnElementEnd = OnElementEnd;
  parser.HandOverDepth = HandOverDepth;
  parser.ReleaseInput = ReleasesDocument();
  std::unique_ptr<TXMLNode> root;
  try {
    root = parser.Parse();
  } catch (...) {
    if (parser.ReleaseInput) DropDocument();
    throw;
  }
  if (parser.ReleaseInput) DropDocument();
  if (!root) RaiseError(kNoData);
  return root;
}
