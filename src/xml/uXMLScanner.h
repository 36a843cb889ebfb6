#pragma once
// Cuts XML text into tokens with a character-driven state machine. It accepts
// elements, attributes in double quotes, character data and comments, and
// rejects everything else (declarations, processing instructions, CDATA,
// single-quoted attributes) with an error that names the character and where
// it stands.
//
// Token texts point into the input, which must outlive the scanner and the
// tokens; nothing is copied and nothing is decoded here.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

// The longest input the scanner takes, in bytes. Positions and the input
// length are int32_t, and a position runs one past the character read last.
// Whoever collects an input for it (a pipe read whole) stops there too, rather
// than fill memory with what would be refused anyway.
inline constexpr std::size_t kMaxXMLInputLength = INT32_MAX - 2;

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
  int32_t Position = 1;  // 1 + the number of characters read when the token ended
  // The line and column there (CR, LF and a CR LF pair each end a line); filled in
  // by TXMLScanner::Locate, as only error messages need them.
  int32_t Line = 0;
  int32_t Column = 0;
};

class TXMLScanner {
public:
  // Raises "Input too large." for texts longer than kMaxXMLInputLength. A
  // UTF-8 byte-order mark at the very start is not part of the document: it
  // is skipped, and positions, lines and columns count from behind it.
  explicit TXMLScanner(std::string_view input);

  // The next token, or kind tkNone at the end of the input. Raises
  // "Unexpected character ..." and "Unexpected end of input.".
  void NextToken(TToken& token);
  // Fills in the token's line and column.
  void Locate(TToken& token) const;
  int32_t InputLength() const { return static_cast<int32_t>(FInput.size()); }

  // Hands the input well behind the reading position to `release`, with
  // which an owner of a huge input that drops it after the scan anyway gives
  // its memory back to the system: only the tree need stay. No token from
  // before the last NextToken may be used afterwards. Lines and columns of
  // errors stay right.
  void ReleaseConsumed(const std::function<void(const char* from, const char* to)>& release);

  // The input from the next character on, when the scanner stands in
  // character data between markup (after a start tag's ">", an element's end
  // or a comment); empty anywhere else. A reader that reads whole elements
  // straight from the text looks here, and tells what it read with
  // SkipContent.
  std::string_view PendingContent() const;
  // Passes over the first `count` characters of PendingContent(): they must
  // be white space and whole elements, after which the scanner stands in
  // character data again.
  void SkipContent(std::size_t count);

private:
  enum class TState : uint8_t {
    Content, CharData, TagOpen, TagName, InTag, ExpectClose, EndTagStart, EndTagName, AttrName,
    AfterAttrName, BeforeValue, ValueStart, InValue, AfterValue, CommentOpen1, CommentOpen2,
    InComment, CommentDash, CommentDashDash,
  };

  struct TPlace {
    int32_t Line = 1;
    int32_t Column = 1;
    // The character before was a CR, whose LF ends no second line.
    bool AfterCR = false;
  };
  // The line and column after reading the first `count` characters.
  TPlace PlaceAfter(std::size_t count) const;
  [[noreturn]] void RaiseUnexpected(std::size_t index) const;

  std::string_view FInput;
  // The input before FReleased is given back; FReleasedPlace is the place there.
  std::size_t FReleased = 0;
  TPlace FReleasedPlace;
  std::size_t FNext = 0;        // index of the next character to read
  std::size_t FTokenStart = 0;
  bool FHasContent = false;
  TState FState = TState::Content;
};
