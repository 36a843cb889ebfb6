#pragma once
// Reads one XML document into a node tree whose root the caller owns.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "platform/uMemoryPages.h"
#include "platform/uReleasableBuffer.h"
#include "xml/uXMLNode.h"

class TXMLElementReader;

class TXMLReader {
public:
  virtual ~TXMLReader() = default;

  // Parses the document and hands its root element to the caller. Raises
  // "Could not read rootnode from xml: no data available." when the document
  // is empty or holds no element, and every syntax error of the scanner and
  // the parser.
  std::unique_ptr<TXMLNode> ReadRootNode();

  // Progress while parsing: the position reached and the input length.
  std::function<void(int32_t position, int32_t total)> OnProgress;
  // Elements handed over while parsing; see TXMLParser.
  std::function<bool(TXMLNode& element, TXMLNode& parent, int depth)> OnElementEnd;
  int HandOverDepth = 0;
  // Elements read straight from the text; see TXMLElementReader.
  TXMLElementReader* ElementReader = nullptr;
  int ElementReaderDepth = 0;

protected:
  virtual std::string_view Document() const = 0;
  // Whether the document may be given back to the system while it is parsed,
  // the call that gives back the part [from, to) that the parse has passed,
  // and the call that drops it after the parse.
  virtual bool ReleasesDocument() const { return false; }
  virtual void ReleaseDocumentPart(const char* from, const char* to) { ReleasePages(from, to); }
  virtual void DropDocument() {}
};

class TXMLStringReader : public TXMLReader {
public:
  explicit TXMLStringReader(std::string text) : FText(std::move(text)) {}

  // Set by an owner of a huge text that needs only the tree: the text's
  // memory is given back as the parse goes on, and the reader holds no text
  // after ReadRootNode (a second call finds no data).
  bool ReleaseTextWhileParsing = false;

protected:
  std::string_view Document() const override { return FText; }
  bool ReleasesDocument() const override { return ReleaseTextWhileParsing; }
  void DropDocument() override { std::string().swap(FText); }

private:
  std::string FText;
};

// Reads a document that its owner keeps in memory until the read is done,
// such as a mapped file.
class TXMLViewReader : public TXMLReader {
public:
  explicit TXMLViewReader(std::string_view text) : FText(text) {}

  // Set by an owner whose memory may be given back to the system while it is
  // parsed (a private mapping of a file drops its pages; the file stays).
  bool ReleaseTextWhileParsing = false;

protected:
  std::string_view Document() const override { return FText; }
  bool ReleasesDocument() const override { return ReleaseTextWhileParsing; }
  void DropDocument() override { FText = {}; }

private:
  std::string_view FText;
};

// Reads a document held in a releasable buffer, such as the editor's reply
// to the scene request: the buffer's addresses are given back as the parse
// passes them, on every system, and the buffer is freed when the parse ends.
class TXMLBufferReader : public TXMLReader {
public:
  // `text` lies within `buffer`.
  TXMLBufferReader(TReleasableBuffer buffer, std::string_view text) : FBuffer(std::move(buffer)), FText(text) {}

protected:
  std::string_view Document() const override { return FText; }
  bool ReleasesDocument() const override { return true; }
  void ReleaseDocumentPart(const char*, const char* to) override { FBuffer.ReleaseBefore(to); }
  void DropDocument() override {
    FText = {};
    FBuffer = TReleasableBuffer();
  }

private:
  TReleasableBuffer FBuffer;
  std::string_view FText;
};

// The document without the line ends, blanks, control characters and zero
// bytes (every code up to the space) that editors leave around it, in their
// replies and in the files saved from them.
std::string_view TrimHostReply(std::string_view reply);
