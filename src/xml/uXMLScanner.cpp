#include "xml/uXMLScanner.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "base/uException.h"
#include "platform/uMemoryPages.h"
#include "xml/XMLCharacters.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {
using XMLCharacters::kClasses;
using XMLCharacters::kName;
using XMLCharacters::kWhite;
using XMLCharacters::IsName;
using XMLCharacters::IsWhite;

// Index of the first character at or after `from` that is not of the class.
inline std::size_t SkipClass(const char* s, std::size_t from, std::size_t n, uint8_t cls) {
  while (from < n && (kClasses[static_cast<unsigned char>(s[from])] & cls)) ++from;
  return from;
}

// The line ends in [from, to), which must be preceded by a readable
// character: every CR, and every LF that does not follow a CR.
std::ptrdiff_t CountLineEnds(const char* from, const char* to) {
  std::ptrdiff_t lines = 0;
  const char* p = from;
#ifdef __SSE2__
  // Sixteen characters at a time, each compared with the one before it too;
  // each byte of `counts` counts the line ends at its place, for up to 255
  // blocks, and is then summed.
  const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n'), zero = _mm_setzero_si128();
  while (to - p >= 16) {
    __m128i counts = zero;
    for (int block = 0; block < 255 && to - p >= 16; ++block, p += 16) {
      const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p - 1));
      const __m128i ends = _mm_or_si128(_mm_cmpeq_epi8(here, cr),
                                        _mm_andnot_si128(_mm_cmpeq_epi8(before, cr), _mm_cmpeq_epi8(here, lf)));
      counts = _mm_sub_epi8(counts, ends);  // a match is -1
    }
    const __m128i sums = _mm_sad_epu8(counts, zero);
    lines += _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_srli_si128(sums, 8));
  }
#endif
  for (; p != to; ++p) lines += (*p == '\r') + (*p == '\n' && p[-1] != '\r');
  return lines;
}

inline std::size_t Find(const char* s, std::size_t from, std::size_t n, char c) {
  const void* hit = from < n ? std::memchr(s + from, c, n - from) : nullptr;
  return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - s) : n;
}
}  // namespace

TXMLScanner::TXMLScanner(std::string_view input) : FInput(input) {
  if (input.size() > kMaxXMLInputLength) RaiseError("Input too large.");
  // Editors that save UTF-8 may start the file with a byte-order mark; it says
  // how the text is encoded and is not text of the document. Anywhere else
  // the same bytes stay character data, which the parser judges.
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (FInput.substr(0, kByteOrderMark.size()) == kByteOrderMark) FInput.remove_prefix(kByteOrderMark.size());
}

TXMLScanner::TPlace TXMLScanner::PlaceAfter(std::size_t count) const {
  TPlace place;
  std::size_t i = 0;
  if (count >= FReleased) {
    place = FReleasedPlace;
    i = FReleased;
  }
  for (; i < count; ++i) {
    const char c = FInput[i];
    if (c == '\r' || (c == '\n' && !place.AfterCR)) {
      ++place.Line;
      place.Column = 1;
    } else if (c != '\n') {
      ++place.Column;
    }
    place.AfterCR = c == '\r';
  }
  return place;
}

void TXMLScanner::ReleaseConsumed(const std::function<void(const char* from, const char* to)>& release) {
  // Errors look back a few characters before their token: keep a margin, and
  // give back only in large steps, as each step has a system call.
  constexpr std::size_t kMargin = 64 * 1024, kStep = 8 * 1024 * 1024;
  const std::size_t reached = std::min(FNext, FTokenStart);
  if (reached < FReleased + kMargin + kStep) return;
  const std::size_t until = reached - kMargin;
  // The place at `until`, counted as PlaceAfter counts it, but without a
  // branch per character: megabytes pass here at every step.
  const char* s = FInput.data();
  const char* from = s + FReleased;
  const char* to = s + until;
  std::ptrdiff_t lines = (*from == '\r') + (*from == '\n' && !FReleasedPlace.AfterCR);
  lines += CountLineEnds(from + 1, to);
  const char* lineStart = from;
  for (const char* p = to; lines > 0 && p != from;)
    if (*--p == '\r' || *p == '\n') {
      lineStart = p + 1;
      break;
    }
  FReleasedPlace.Line += static_cast<int32_t>(lines);
  // No line end after lineStart: every character there is a column, but for
  // the LF that completes a CR LF pair across the previous step.
  FReleasedPlace.Column = static_cast<int32_t>(lines > 0 ? 1 + (to - lineStart)
                                                         : FReleasedPlace.Column + (to - from) - (*from == '\n'));
  FReleasedPlace.AfterCR = to[-1] == '\r';
  // Never the first page, which the allocator's own bookkeeping may share.
  release(s + std::max(FReleased, MemoryPageSize()), to);
  FReleased = until;
}

std::string_view TXMLScanner::PendingContent() const {
  return FState == TState::Content ? FInput.substr(FNext) : std::string_view{};
}

void TXMLScanner::SkipContent(std::size_t count) {
  FNext += std::min(count, FInput.size() - FNext);
  FTokenStart = FNext;
}

void TXMLScanner::Locate(TToken& token) const {
  const TPlace place = PlaceAfter(static_cast<std::size_t>(token.Position - 1));
  token.Line = place.Line;
  token.Column = place.Column;
}

void TXMLScanner::RaiseUnexpected(std::size_t index) const {
  const std::string_view context =
      index >= 9 ? FInput.substr(index - 9, 10) : FInput.substr(0, std::min<std::size_t>(10, FInput.size()));
  const TPlace place = PlaceAfter(index + 1);
  RaiseError("Unexpected character '%s' in input (...%s), position (%d,%d).",
             {FInput.substr(index, 1), context, std::to_string(place.Line), std::to_string(place.Column)});
}

void TXMLScanner::NextToken(TToken& token) {
  const char* s = FInput.data();
  const std::size_t n = FInput.size();
  std::size_t p = FNext;
  std::size_t start = FTokenStart;
  std::size_t last = p;  // index of the character read last
  int32_t kind = tkNone;
  TState state = FState;

  while (p < n && kind == tkNone) {
    last = p;
    const auto c = static_cast<unsigned char>(s[p++]);
    switch (state) {
      case TState::Content:
      case TState::CharData:
        if (c == '<') {
          start = last;
          state = TState::TagOpen;
          break;
        }
        {
          // Character data runs to the next "<". Only character data that
          // holds something besides white space becomes a token.
          start = last;
          const std::size_t lt = Find(s, p, n, '<');
          bool hasContent = false;
          for (std::size_t i = start; i < lt && !hasContent; ++i) hasContent = !IsWhite(static_cast<unsigned char>(s[i]));
          if (lt == n) {
            // Data that ends the input belongs to the text, down to its last
            // character, so that trailing garbage is never silently dropped.
            p = n;
            last = n;
            if (hasContent) kind = tkText;
            state = TState::Content;
          } else {
            p = lt + 1;
            last = lt;
            if (hasContent) kind = tkText;
            state = p < n ? TState::TagOpen : TState::Content;
          }
        }
        break;
      case TState::TagOpen:
        start = last;
        if (IsName(c)) {
          state = TState::TagName;
          p = SkipClass(s, p, n, kName);
        } else if (c == '/') {
          state = TState::EndTagStart;
        } else if (c == '!') {
          state = TState::CommentOpen1;
        } else {
          RaiseUnexpected(last);
        }
        break;
      case TState::TagName:
        if (c == '>') {
          kind = tkStartTag;
          state = TState::Content;
        } else if (IsWhite(c)) {
          kind = tkStartTag;
          state = TState::InTag;
        } else {
          RaiseUnexpected(last);
        }
        break;
      case TState::InTag:
        if (c == '/') {
          start = last;
          kind = tkEmptyEnd;
          state = TState::ExpectClose;
        } else if (IsName(c)) {
          start = last;
          state = TState::AttrName;
          p = SkipClass(s, p, n, kName);
        } else if (c == '>') {
          state = TState::Content;
        } else if (IsWhite(c)) {
          p = SkipClass(s, p, n, kWhite);
        } else {
          RaiseUnexpected(last);
        }
        break;
      case TState::ExpectClose:
        if (c != '>') RaiseUnexpected(last);
        state = TState::Content;
        break;
      case TState::EndTagStart:
        start = last;  // the first character after "</" belongs to the name, whatever it is
        state = TState::EndTagName;
        p = SkipClass(s, p, n, kName);
        break;
      case TState::EndTagName:
        if (c != '>') RaiseUnexpected(last);
        kind = tkEndTag;
        state = TState::Content;
        break;
      case TState::AttrName:
        if (IsWhite(c)) {
          kind = tkAttrName;
          state = TState::AfterAttrName;
        } else if (c == '=') {
          kind = tkAttrName;
          state = TState::BeforeValue;
        } else {
          RaiseUnexpected(last);
        }
        break;
      case TState::AfterAttrName:
        if (c == '=')
          state = TState::BeforeValue;
        else if (!IsWhite(c))
          RaiseUnexpected(last);
        break;
      case TState::BeforeValue:
        if (c == '"')
          state = TState::ValueStart;
        else if (!IsWhite(c))
          RaiseUnexpected(last);
        break;
      case TState::ValueStart:
        start = last;
        if (c == '"') {
          kind = tkAttrValue;
          state = TState::AfterValue;
        } else {
          state = TState::InValue;
          p = Find(s, p, n, '"');
        }
        break;
      case TState::InValue:  // c is the closing quote: the fast path stops only there
        kind = tkAttrValue;
        state = TState::AfterValue;
        break;
      case TState::AfterValue:
        start = last;
        if (IsName(c)) {
          state = TState::AttrName;
          p = SkipClass(s, p, n, kName);
        } else if (IsWhite(c)) {
          // stay
        } else if (c == '/') {
          kind = tkEndTag;
          state = TState::ExpectClose;
        } else if (c == '>') {
          state = TState::Content;
        } else {
          RaiseUnexpected(last);
        }
        break;
      case TState::CommentOpen1:
        if (c != '-') RaiseUnexpected(last);
        state = TState::CommentOpen2;
        break;
      case TState::CommentOpen2:
        if (c != '-') RaiseUnexpected(last);
        state = TState::InComment;
        p = Find(s, p, n, '-');
        break;
      case TState::InComment:  // c is a hyphen: the fast path stops only there
        state = TState::CommentDash;
        break;
      case TState::CommentDash:
        if (c == '-') {
          state = TState::CommentDashDash;
        } else {
          state = TState::InComment;
          p = Find(s, p, n, '-');
        }
        break;
      case TState::CommentDashDash:
        if (c == '>') {
          state = TState::Content;
        } else {
          state = TState::InComment;
          p = Find(s, p, n, '-');
        }
        break;
    }
  }

  FNext = p;
  FTokenStart = start;
  FState = state;
  if (state != TState::Content && p >= n) RaiseError("Unexpected end of input.");

  token.Kind = kind;
  token.Text = kind == tkNone ? std::string_view{} : FInput.substr(start, last - start);
  token.Position = static_cast<int32_t>(p + 1);
}
