#include <gtest/gtest.h>

#include "../support/ErrorOf.h"

#include <string>
#include <utility>
#include <vector>

#include "base/uException.h"
#include "xml/uXMLScanner.h"

namespace {
struct TSeen {
  int32_t Kind;
  std::string Text;
  bool operator==(const TSeen&) const = default;
};

std::vector<TSeen> Tokens(std::string_view input) {
  TXMLScanner scanner(input);
  std::vector<TSeen> seen;
  for (TToken token; scanner.NextToken(token), token.Kind != tkNone;) seen.push_back({token.Kind, std::string(token.Text)});
  return seen;
}

std::string ScanError(std::string_view input) {
  return ErrorOf([&] { Tokens(input); });
}

void PrintTo(const TSeen& seen, std::ostream* os) { *os << seen.Kind << ":\"" << seen.Text << '"'; }
}  // namespace

TEST(XmlScanner, TokensOfElementsAttributesAndText) {
  EXPECT_EQ(Tokens("<a x=\"1\" y = \"\">t<b >"),
            (std::vector<TSeen>{{tkStartTag, "a"}, {tkAttrName, "x"}, {tkAttrValue, "1"}, {tkAttrName, "y"},
                                {tkAttrValue, ""}, {tkText, "t"}, {tkStartTag, "b"}}))
      << "the scanner does not judge nesting";
  EXPECT_EQ(Tokens("<a x=\"1\"/>"), (std::vector<TSeen>{{tkStartTag, "a"}, {tkAttrName, "x"}, {tkAttrValue, "1"},
                                                         {tkEndTag, ""}}));
  EXPECT_EQ(Tokens("<a />"), (std::vector<TSeen>{{tkStartTag, "a"}, {tkEmptyEnd, ""}}));
  EXPECT_EQ(Tokens("<a x=\"1\"y=\"2\">"), (std::vector<TSeen>{{tkStartTag, "a"}, {tkAttrName, "x"}, {tkAttrValue, "1"},
                                                               {tkAttrName, "y"}, {tkAttrValue, "2"}}));
  EXPECT_EQ(Tokens("<A>&lt; x </A>"),
            (std::vector<TSeen>{{tkStartTag, "A"}, {tkText, "&lt; x "}, {tkEndTag, "A"}}));
}

TEST(XmlScanner, WhiteSpaceAndCommentsMakeNoTokens) {
  EXPECT_EQ(Tokens(" \r\n\t<!-- a - b -- c --->--><a>\r\n  </a>  "),
            (std::vector<TSeen>{{tkStartTag, "a"}, {tkEndTag, "a"}}));
  EXPECT_TRUE(Tokens("<!---->").empty());
}

TEST(XmlScanner, TheFirstCharacterAfterTheEndTagOpenerBelongsToTheName) {
  EXPECT_EQ(Tokens("</?x>"), (std::vector<TSeen>{{tkEndTag, "?x"}}));
}

TEST(XmlScanner, TrailingCharacterDataIsKeptWhole) {
  EXPECT_EQ(Tokens("<a />\n"), (std::vector<TSeen>{{tkStartTag, "a"}, {tkEmptyEnd, ""}}));
  EXPECT_EQ(Tokens("<a />x"), (std::vector<TSeen>{{tkStartTag, "a"}, {tkEmptyEnd, ""}, {tkText, "x"}}));
  EXPECT_EQ(Tokens("ab?"), (std::vector<TSeen>{{tkText, "ab?"}}));
  EXPECT_EQ(Tokens("<a /> \r\n x"), (std::vector<TSeen>{{tkStartTag, "a"}, {tkEmptyEnd, ""}, {tkText, " \r\n x"}}));
}

TEST(XmlScanner, TokensCarryLineColumnAndPosition) {
  TXMLScanner scanner("<a>\r\n  <bc x=\"1\" />\r\n</a>");
  TToken token;
  const auto next = [&] {
    scanner.NextToken(token);
    scanner.Locate(token);
  };
  next();
  EXPECT_EQ(token.Kind, tkStartTag);
  EXPECT_EQ(token.Line, 1);
  EXPECT_EQ(token.Column, 4);
  EXPECT_EQ(token.Position, 4);
  next();  // "bc": ended by the blank, the sixth character of line 2: column 7 (CR LF ends one line)
  EXPECT_EQ(token.Text, "bc");
  EXPECT_EQ(token.Line, 2);
  EXPECT_EQ(token.Column, 7);
  EXPECT_EQ(token.Position, 12);
  scanner.NextToken(token);  // x
  scanner.NextToken(token);  // 1
  scanner.NextToken(token);  // "/>" after an attribute value ends the element as an end tag without name
  EXPECT_EQ(token.Kind, tkEndTag);
  EXPECT_EQ(token.Text, "");
  next();  // </a>
  EXPECT_EQ(token.Kind, tkEndTag);
  EXPECT_EQ(token.Line, 3);
  EXPECT_EQ(token.Column, 5);
  EXPECT_EQ(token.Position, 26);
  scanner.NextToken(token);
  EXPECT_EQ(token.Kind, tkNone);
}

TEST(XmlScanner, UnexpectedCharactersNameContextAndPlace) {
  EXPECT_EQ(ScanError("<a?"), "Unexpected character '?' in input (...<a?), position (1,4).");
  EXPECT_EQ(ScanError("<a/>"), "Unexpected character '/' in input (...<a/>), position (1,4).");
  EXPECT_EQ(ScanError("<?xml version=\"1.0\"?>"),
            "Unexpected character '?' in input (...<?xml vers), position (1,3).");
  EXPECT_EQ(ScanError("<a x='1'>"), "Unexpected character ''' in input (...<a x='1'>), position (1,7).");
  EXPECT_EQ(ScanError("<root>\r\n  <item value=\"1\" <"),
            "Unexpected character '<' in input (...alue=\"1\" <), position (2,20).");
  EXPECT_EQ(ScanError("<a><![CDATA[x]]></a>"),
            "Unexpected character '[' in input (...<a><![CDAT), position (1,7).");
  EXPECT_EQ(ScanError("<a></a >"), "Unexpected character ' ' in input (...<a></a >), position (1,8).");
  EXPECT_EQ(ScanError("<a><!- x -></a>"), "Unexpected character ' ' in input (...<a><!- x -), position (1,8).");
}

TEST(XmlScanner, EveryKindOfLineEndStartsALine) {
  // LF alone (as most tools save), CR alone and CR LF each end one line; the
  // column counts as after a CR LF: one more than the place in the line.
  for (const std::string end : {"\n", "\r", "\r\n"}) {
    EXPECT_EQ(ScanError("<root>" + end + "  <item value=\"1\" <"),
              "Unexpected character '<' in input (...alue=\"1\" <), position (2,20).")
        << (end == "\n" ? "LF" : end == "\r" ? "CR" : "CR LF");
    const std::string blankLine = "<a>" + end + end + "<b?";
    EXPECT_EQ(ScanError(blankLine), "Unexpected character '?' in input (..." + blankLine + "), position (3,4).");
  }
  // LF CR is two line ends, as is CR CR LF.
  for (const std::string input : {"<a>\n\r<b?", "<a>\r\r\n<b?"})
    EXPECT_EQ(ScanError(input), "Unexpected character '?' in input (..." + input + "), position (3,4).");
}

TEST(XmlScanner, ACrLfPairSplitByTheTextGivenBackEndsOneLine) {
  // The text is given back in steps of megabytes up to a margin before the
  // token reached; lengths around the margin end the first step between the
  // CR and the LF, where the LF must not count as a second line end: neither
  // for an error before the next step nor for the next step itself.
  const auto error = [](const std::string& input) {
    TXMLScanner scanner(input);
    int steps = 0;
    const std::string message = ErrorOf([&] {
      TToken token;
      do {
        scanner.ReleaseConsumed([&](const char*, const char*) { ++steps; });
        scanner.NextToken(token);
      } while (token.Kind != tkNone);
    });
    return std::pair(message, steps);
  };
  const std::string step = std::string(8 * 1024 * 1024, 'a');
  for (std::size_t length = 65530; length <= 65540; ++length) {
    const std::string split = "<r>" + step + "\r\n" + std::string(length, 'b') + "<c />";
    EXPECT_EQ(error(split + "\n<d?"),
              std::pair(std::string("Unexpected character '?' in input (...b<c />\n<d?), position (3,4)."), 1))
        << length;
    EXPECT_EQ(error(split + step + "<e />\n<d?"),
              std::pair(std::string("Unexpected character '?' in input (...a<e />\n<d?), position (3,4)."), 2))
        << length;
  }
}

TEST(XmlScanner, InputThatEndsInsideMarkupIsRefused) {
  for (const char* input : {"<", "<a", "<a ", "<a x", "<a x=", "<a x=\"1", "<a x=\"1\"", "<a></a", "<!-- x", "<a></a><"})
    EXPECT_EQ(ScanError(input), "Unexpected end of input.") << input;
  EXPECT_EQ(ScanError("<a />"), "no error");
}

TEST(XmlScanner, AByteOrderMarkAtTheVeryStartIsSkipped) {
  const std::string bom = "\xEF\xBB\xBF";
  EXPECT_EQ(Tokens(bom + "<a />"), (std::vector<TSeen>{{tkStartTag, "a"}, {tkEmptyEnd, ""}}));
  EXPECT_EQ(Tokens(bom + "\r\n<a />"), (std::vector<TSeen>{{tkStartTag, "a"}, {tkEmptyEnd, ""}}));
  EXPECT_TRUE(Tokens(bom).empty());
  // Positions, lines and columns count from behind the mark, as an editor shows them.
  const std::string input = bom + "<a>";
  TXMLScanner scanner(input);
  EXPECT_EQ(scanner.InputLength(), 3);
  TToken token;
  scanner.NextToken(token);
  scanner.Locate(token);
  EXPECT_EQ(token.Position, 4);
  EXPECT_EQ(token.Column, 4);
  EXPECT_EQ(ScanError(bom + "<a?"), "Unexpected character '?' in input (...<a?), position (1,4).");
}

TEST(XmlScanner, AByteOrderMarkAnywhereElseIsCharacterData) {
  const std::string bom = "\xEF\xBB\xBF";
  // Behind white space, a second mark, inside an element: text, which the
  // parser refuses outside the root.
  EXPECT_EQ(Tokens(" " + bom + "<a />"), (std::vector<TSeen>{{tkText, " " + bom}, {tkStartTag, "a"}, {tkEmptyEnd, ""}}));
  EXPECT_EQ(Tokens(bom + bom + "<a />"), (std::vector<TSeen>{{tkText, bom}, {tkStartTag, "a"}, {tkEmptyEnd, ""}}));
  EXPECT_EQ(Tokens("<a>" + bom + "</a>"), (std::vector<TSeen>{{tkStartTag, "a"}, {tkText, bom}, {tkEndTag, "a"}}));
  // Part of a mark is no mark.
  EXPECT_EQ(Tokens("\xEF\xBB<a />"), (std::vector<TSeen>{{tkText, "\xEF\xBB"}, {tkStartTag, "a"}, {tkEmptyEnd, ""}}));
}
