#pragma once
// Cuts XML text into tokens with a character-driven state machine. It accepts
// elements, attributes in double quotes, character data and comments, and
// rejects everything else (declarations, processing instructions, CDATA,
// single-quoted attributes) with an error that names the character and where
// it stands.
//
// Token texts point into the input, which must outlive the scanner and the
// tokens; nothing is copied and nothing is decoded here.

#include <cstdint>
#include <string_view>

enum TTokenKind : int32_t {
  tkNone = -1,
  tkStartTag = 1,
  tkAttrName = 2,
  tkAttrValue = 3,
  tkText = 4,
  tkEndTag = 5,    // empty text: the element ended with "/>" right after an attribute value
  tkEmptyEnd = 6,  // the element ended with "/>" after white space
};

struct TToken {
  int32_t Kind = tkNone;
  std::string_view Text;
  int32_t Line = 1;      // counters when the token ended: CR starts a line, LF counts nothing
  int32_t Column = 1;
  int32_t Position = 1;  // 1 + the number of characters read
};

class TXMLScanner {
public:
  // Raises "Input too large." for texts beyond 2^31 - 2 characters.
  explicit TXMLScanner(std::string_view input);

  // The next token, or kind tkNone at the end of the input. Raises
  // "Unexpected character ..." and "Unexpected end of input.".
  void NextToken(TToken& token);
  int32_t InputLength() const { return static_cast<int32_t>(FInput.size()); }

private:
  enum class TState : uint8_t {
    Content, CharData, TagOpen, TagName, InTag, ExpectClose, EndTagStart, EndTagName, AttrName,
    AfterAttrName, BeforeValue, ValueStart, InValue, AfterValue, CommentOpen1, CommentOpen2,
    InComment, CommentDash, CommentDashDash,
  };

  [[noreturn]] void RaiseUnexpected(std::size_t index) const;
  void CountLinesUpTo(std::size_t end);

  std::string_view FInput;
  std::size_t FNext = 0;        // index of the next character to read
  std::size_t FTokenStart = 0;
  bool FHasContent = false;
  TState FState = TState::Content;
  // Line and column are only needed with a token, so they are brought up to
  // date from where the previous token ended rather than per character.
  std::size_t FCounted = 0;
  int32_t FLine = 1;
  int32_t FColumn = 1;
};
