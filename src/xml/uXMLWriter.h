#pragma once
// A forward-only XML writer: a sequence of calls (open an element, add
// attributes, add text, close it) turned directly into indented text with
// CR LF line ends, two spaces of indentation per level and "<name />" for
// empty elements. It keeps no tree and no stack of open elements: the caller
// closes every element it opened, innermost first, with the same name.
//
// Texts and attribute values are written byte for byte except for the
// characters that would make the document ill-formed: "&", "<" and ">" (and
// the double quote in attribute values) are written as entity references.

#include <memory>
#include <string>
#include <string_view>

#include "xml/uBufferedFileStream.h"
#include "xml/uBufferedStringStream.h"

// True when the text holds a control character other than tab, line feed and
// carriage return: XML 1.0 cannot hold one, not even as a character reference.
bool HasNonXMLControlCharacter(std::string_view text);

class TXMLWriter {
public:
  explicit TXMLWriter(TStream& stream) : FStream(stream) {}
  virtual ~TXMLWriter() = default;
  TXMLWriter(const TXMLWriter&) = delete;
  TXMLWriter& operator=(const TXMLWriter&) = delete;

  void OpenTag(std::string_view name);
  // Raises "Couldn't add property "%s". No tag opened." outside a start tag.
  void AddProperty(std::string_view name, std::string_view value);
  void AddText(std::string_view text);
  void AddElement(std::string_view name, std::string_view text);
  void CloseTag(std::string_view name);

  // The "<?xml ...?>" line before the first start tag; set before the first OpenTag.
  bool WriteDeclaration = true;

private:
  void WriteString(std::string_view text);
  void WriteEscaped(std::string_view text, bool inAttribute);
  void FinishStartTag();

  TStream& FStream;
  std::string FPendingText;  // already escaped
  std::string FIndent;
  bool FStartTagOpen = false;
  std::string FCurrentTag;
  bool FNothingWritten = true;
};

// Writes a file. The file appears under its name only when Close() is called
// after the document is complete; a writer freed without Close() (because an
// error passed) leaves no file behind and an earlier file of the name intact.
class TXMLFileWriter : public TXMLWriter {
public:
  // Raises "Cannot create file %s". With a transaction, Close() completes the
  // file and the transaction's commit moves it into place.
  explicit TXMLFileWriter(const std::string& fileName, TFileTransaction* transaction = nullptr);
  // Raises "Cannot write file %s".
  void Close() { FFileStream->Close(); }

private:
  explicit TXMLFileWriter(std::unique_ptr<TBufferedFileStream> stream);
  std::unique_ptr<TBufferedFileStream> FFileStream;
};

class TXMLStringWriter : public TXMLWriter {
public:
  TXMLStringWriter();
  std::string GetText() const { return FStringStream->GetText(); }

private:
  explicit TXMLStringWriter(std::unique_ptr<TBufferedStringStream> stream);
  std::unique_ptr<TBufferedStringStream> FStringStream;
};
