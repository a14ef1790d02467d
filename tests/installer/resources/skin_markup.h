// A strict reader for the skin's XML files in the tests: elements, attributes
// in double quotes, the five named entities, comments and processing
// instructions. Unlike the product's tolerant reader it insists on a
// well-formed document (every element closed by its own name, one root, no
// stray text), so a broken skin file is reported before the UI toolkit ever
// meets it.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace test {

struct MarkupElement {
  std::string name;
  // Decoded values, in document order (duplicates kept, as the product keeps
  // them).
  std::vector<std::pair<std::string, std::string>> attributes;
  std::vector<MarkupElement> children;

  // The first attribute of that name, or null.
  const std::string* Attribute(const std::string& attribute) const;
  // Every element of the subtree below this one, depth first.
  std::vector<const MarkupElement*> Descendants() const;
};

// Parses UTF-8 text. False, with a message naming the byte offset, for
// anything that is not well-formed.
bool ParseSkinMarkup(const std::string& text, MarkupElement* root, std::string* error);

}  // namespace test
