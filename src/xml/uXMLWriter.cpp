#include "xml/uXMLWriter.h"

#include "base/uException.h"

namespace {
constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n";
constexpr std::string_view kLineEnd = "\r\n";

// The entity reference for a character that must not appear as it is, or
// nothing when it may.
std::string_view EscapeOf(char c, bool inAttribute) {
  switch (c) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '"': return inAttribute ? "&quot;" : std::string_view{};
    default: return {};
  }
}

template <typename Sink>
void Escape(std::string_view text, bool inAttribute, Sink&& sink) {
  std::size_t runStart = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::string_view entity = EscapeOf(text[i], inAttribute);
    if (entity.empty()) continue;
    sink(text.substr(runStart, i - runStart));
    sink(entity);
    runStart = i + 1;
  }
  sink(text.substr(runStart));
}
}  // namespace

void TXMLWriter::WriteString(std::string_view text) {
  if (text.empty()) return;
  FStream.Write(text.data(), text.size());
  FNothingWritten = false;
}

void TXMLWriter::WriteEscaped(std::string_view text, bool inAttribute) {
  Escape(text, inAttribute, [this](std::string_view part) { WriteString(part); });
}

void TXMLWriter::FinishStartTag() {
  if (FStartTagOpen) WriteString(">");
}

void TXMLWriter::OpenTag(std::string_view name) {
  if (WriteDeclaration && FNothingWritten) WriteString(kDeclaration);
  FinishStartTag();
  if (!FPendingText.empty()) {
    WriteString(FPendingText);
    FPendingText.clear();
  }
  if (!FIndent.empty()) {
    WriteString(kLineEnd);
    WriteString(FIndent);
  }
  WriteString("<");
  WriteString(name);
  FStartTagOpen = true;
  FCurrentTag.assign(name);
  FIndent += "  ";
}

void TXMLWriter::AddProperty(std::string_view name, std::string_view value) {
  if (!FStartTagOpen) RaiseError("Couldn't add property \"%s\". No tag opened.", {name});
  WriteString(" ");
  WriteString(name);
  WriteString("=\"");
  WriteEscaped(value, true);
  WriteString("\"");
}

void TXMLWriter::AddText(std::string_view text) {
  Escape(text, false, [this](std::string_view part) { FPendingText += part; });
}

void TXMLWriter::AddElement(std::string_view name, std::string_view text) {
  OpenTag(name);
  AddText(text);
  CloseTag(name);
}

void TXMLWriter::CloseTag(std::string_view name) {
  FIndent.erase(0, 2);
  if (FStartTagOpen && name == FCurrentTag && FPendingText.empty()) {
    WriteString(" />");
  } else {
    FinishStartTag();
    if (!FPendingText.empty()) {
      WriteString(FPendingText);
      FPendingText.clear();
    } else {
      WriteString(kLineEnd);
      WriteString(FIndent);
    }
    WriteString("</");
    WriteString(name);
    WriteString(">");
  }
  FStartTagOpen = false;
  FCurrentTag.clear();
}

TXMLFileWriter::TXMLFileWriter(const std::string& fileName, TFileTransaction* transaction)
    : TXMLFileWriter(std::make_unique<TBufferedFileStream>(fileName, 4096, transaction)) {}

TXMLFileWriter::TXMLFileWriter(std::unique_ptr<TBufferedFileStream> stream)
    : TXMLWriter(*stream), FFileStream(std::move(stream)) {}

TXMLStringWriter::TXMLStringWriter() : TXMLStringWriter(std::make_unique<TBufferedStringStream>(256)) {}

TXMLStringWriter::TXMLStringWriter(std::unique_ptr<TBufferedStringStream> stream)
    : TXMLWriter(*stream), FStringStream(std::move(stream)) {}

bool HasNonXMLControlCharacter(std::string_view text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') return true;
  return false;
}
