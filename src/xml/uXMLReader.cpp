#include "xml/uXMLReader.h"

#include "base/uException.h"
#include "xml/uXMLParser.h"
#include "xml/uXMLScanner.h"

std::unique_ptr<TXMLNode> TXMLReader::ReadRootNode() {
  constexpr std::string_view kNoData = "Could not read rootnode from xml: no data available.";
  const std::string_view text = Document();
  if (text.empty()) RaiseError(kNoData);
  TXMLScanner scanner(text);
  TXMLParser parser(scanner);
  parser.OnProgress = OnProgress;
  parser.OnElementEnd = OnElementEnd;
  parser.HandOverDepth = HandOverDepth;
  parser.ElementReader = ElementReader;
  parser.ElementReaderDepth = ElementReaderDepth;
  const bool releases = ReleasesDocument();
  if (releases) parser.ReleaseInput = [this](const char* from, const char* to) { ReleaseDocumentPart(from, to); };
  std::unique_ptr<TXMLNode> root;
  try {
    root = parser.Parse();
  } catch (...) {
    if (releases) DropDocument();
    throw;
  }
  if (releases) DropDocument();
  if (!root) RaiseError(kNoData);
  return root;
}

std::string_view TrimHostReply(std::string_view reply) {
  const auto isFiller = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  std::size_t first = 0;
  std::size_t last = reply.size();
  while (first < last && isFiller(reply[first])) ++first;
  while (last > first && isFiller(reply[last - 1])) --last;
  return reply.substr(first, last - first);
}
