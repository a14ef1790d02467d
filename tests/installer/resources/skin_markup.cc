#include "tests/installer/resources/skin_markup.h"

#include <cctype>

namespace test {

const std::string* MarkupElement::Attribute(const std::string& attribute) const {
  for (const auto& item : attributes) {
    if (item.first == attribute) return &item.second;
  }
  return nullptr;
}

std::vector<const MarkupElement*> MarkupElement::Descendants() const {
  std::vector<const MarkupElement*> out;
  for (const MarkupElement& child : children) {
    out.push_back(&child);
    for (const MarkupElement* below : child.Descendants()) out.push_back(below);
  }
  return out;
}

namespace {

class Parser {
 public:
  explicit Parser(const std::string& text) : text_(text) {}

  bool ParseDocument(MarkupElement* root, std::string* error) {
    bool have_root = false;
    while (true) {
      SkipSpace();
      if (AtEnd()) break;
      if (!Peek("<")) return Fail("text outside the root element", error);
      if (Peek("<?") || Peek("<!")) {
        if (!SkipSpecial(error)) return false;
        continue;
      }
      if (have_root) return Fail("a second root element", error);
      if (!ParseElement(root, error)) return false;
      have_root = true;
    }
    return have_root || Fail("no root element", error);
  }

 private:
  bool AtEnd() const { return pos_ >= text_.size(); }
  bool Peek(const char* s) const { return text_.compare(pos_, std::char_traits<char>::length(s), s) == 0; }
  void SkipSpace() {
    while (!AtEnd() && static_cast<unsigned char>(text_[pos_]) <= 0x20) ++pos_;
  }
  bool Fail(const std::string& what, std::string* error) const {
    *error = what + " at byte " + std::to_string(pos_);
    return false;
  }

  // A comment ends at the first "->" (as in the product's reader, so a
  // comment that would end early there is caught); a processing
  // instruction at "?>".
  bool SkipSpecial(std::string* error) {
    const char* end = Peek("<?") ? "?>" : "->";
    size_t found = text_.find(end, pos_ + 2);
    if (found == std::string::npos) return Fail("unterminated comment or instruction", error);
    if (Peek("<!--") && text_.compare(found - 1, 3, "-->") != 0) {
      return Fail("comment text contains \"->\"", error);
    }
    pos_ = found + 2;
    return true;
  }

  static bool IsNameChar(char c) {
    return c == '_' || c == ':' || std::isalnum(static_cast<unsigned char>(c));
  }

  bool ParseName(std::string* name, std::string* error) {
    size_t start = pos_;
    while (!AtEnd() && IsNameChar(text_[pos_])) ++pos_;
    if (pos_ == start) return Fail("expected a name", error);
    *name = text_.substr(start, pos_ - start);
    return true;
  }

  // Character data up to `terminator`, with the five entities decoded.
  bool ParseData(char terminator, std::string* out, std::string* error) {
    static const struct {
      const char* entity;
      char value;
    } kEntities[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    while (!AtEnd() && text_[pos_] != terminator) {
      if (text_[pos_] == '<') return Fail("\"<\" inside an attribute value", error);
      bool decoded = false;
      for (const auto& e : kEntities) {
        if (Peek(e.entity)) {
          out->push_back(e.value);
          pos_ += std::char_traits<char>::length(e.entity);
          decoded = true;
          break;
        }
      }
      if (!decoded) out->push_back(text_[pos_++]);
    }
    return !AtEnd() || Fail("unterminated value", error);
  }

  bool ParseElement(MarkupElement* element, std::string* error) {
    ++pos_;  // "<"
    if (!ParseName(&element->name, error)) return false;
    while (true) {
      SkipSpace();
      if (AtEnd()) return Fail("unterminated start tag", error);
      if (Peek("/>")) {
        pos_ += 2;
        return true;
      }
      if (Peek(">")) {
        ++pos_;
        break;
      }
      std::string name, value;
      if (!ParseName(&name, error)) return false;
      SkipSpace();
      if (!Peek("=")) return Fail("attribute without \"=\"", error);
      ++pos_;
      SkipSpace();
      if (!Peek("\"")) return Fail("attribute value not in double quotes", error);
      ++pos_;
      if (!ParseData('"', &value, error)) return false;
      ++pos_;
      element->attributes.emplace_back(name, value);
    }
    // Content: child elements, comments and white space only.
    while (true) {
      SkipSpace();
      if (AtEnd()) return Fail("element <" + element->name + "> is not closed", error);
      if (Peek("</")) {
        pos_ += 2;
        std::string name;
        if (!ParseName(&name, error)) return false;
        if (name != element->name) return Fail("</" + name + "> closes <" + element->name + ">", error);
        SkipSpace();
        if (!Peek(">")) return Fail("end tag not closed", error);
        ++pos_;
        return true;
      }
      if (Peek("<?") || Peek("<!")) {
        if (!SkipSpecial(error)) return false;
        continue;
      }
      if (!Peek("<")) return Fail("text inside <" + element->name + ">", error);
      element->children.emplace_back();
      if (!ParseElement(&element->children.back(), error)) return false;
    }
  }

  const std::string& text_;
  size_t pos_ = 0;
};

}  // namespace

bool ParseSkinMarkup(const std::string& text, MarkupElement* root, std::string* error) {
  *root = MarkupElement();
  return Parser(text).ParseDocument(root, error);
}

}  // namespace test
