// TProperties::Parse on any text. Properties checked against an independent
// count of the entries, and a round trip: the pairs written back as
// "name value|..." parse into the same pairs.

#include <string>

#include "FuzzSupport.h"
#include "scene/uScene.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view text = FuzzText(data, size);
  TProperties properties(text);
  FuzzCheck(properties.Names.size() == properties.Values.size(), "names and values differ in number");

  // Every bar closes an entry; the text after the last bar is an entry only
  // when it starts with a name (a blank first would make it all value).
  std::size_t expected = 0;
  for (const char c : text) expected += c == '|';
  const std::size_t lastBar = text.rfind('|');
  const std::string_view tail = lastBar == std::string_view::npos ? text : text.substr(lastBar + 1);
  if (!tail.empty() && tail.front() != ' ') {
    // A name made only of control characters trims to nothing but still counts.
    expected += 1;
  }
  FuzzCheck(static_cast<std::size_t>(properties.Count()) == expected, "wrong number of entries");

  std::string written;
  for (int i = 0; i < properties.Count(); ++i) {
    const std::string& name = properties.GetName(i);
    FuzzCheck(name.find(' ') == std::string::npos && name.find('|') == std::string::npos, "name holds a separator");
    FuzzCheck(name.empty() || (static_cast<unsigned char>(name.front()) > ' ' &&
                               static_cast<unsigned char>(name.back()) > ' '),
              "name keeps surrounding blanks or control characters");
    FuzzCheck(properties.GetValueAt(i).find('|') == std::string::npos, "value holds a bar");
    written += name + " " + properties.GetValueAt(i) + "|";
  }
  const TProperties again(written);
  FuzzCheck(again.Names == properties.Names && again.Values == properties.Values, "round trip changed the pairs");
  if (properties.Count() > 0) {
    const std::string& first = properties.GetName(0);
    FuzzCheck(properties.GetValue(first) == properties.GetValueAt(0), "lookup misses the first pair");
  }
  return 0;
}
