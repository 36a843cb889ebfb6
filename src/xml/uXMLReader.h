#pragma once
// Reads one XML document into a node tree whose root the caller owns.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "uXMLNode.h"

class TXMLReader {
public:
  virtual ~TXMLReader() = default;

  // Parses the document and hands its root element to the caller. Raises
  // "Could not read rootnode from xml: no data available." when the document
  // is empty or holds no element, and every syntax error of the scanner and
  // the parser.
  std::unique_ptr<TXMLNode> GetRootNode();

  // Progress while parsing: the position reached and the input length.
  std::function<void(int32_t position, int32_t total)> OnProgress;

protected:
  virtual std::string_view Document() const = 0;
};

class TXMLStringReader : public TXMLReader {
public:
  explicit TXMLStringReader(std::string text) : FText(std::move(text)) {}

protected:
  std::string_view Document() const override { return FText; }

private:
  std::string FText;
};
