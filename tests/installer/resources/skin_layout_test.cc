// The skin's XML files as the built installer carries them: readable by the
// skin reader (UTF-8 without byte-order mark, well-formed), a theme with every
// font, colour and class the installer relies on, the pages and named
// controls the install window's code looks up, and no reference to a
// picture, colour or font that does not exist.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tests/installer/resources/decoded_picture.h"
#include "tests/installer/resources/installer_module.h"
#include "tests/installer/resources/memory_zip.h"
#include "tests/installer/resources/skin_markup.h"
#include "tests/installer/resources/strict_utf8.h"
#include "tests/support/file_util.h"

namespace {

using test::MarkupElement;

const char* const kXmlFiles[][2] = {
    {"themes/default/global.xml", "Global"},
    {"themes/default/shadow/shadow.xml", "Window"},
    {"themes/default/vorandel/controls.xml", "Window"},
    {"themes/default/vorandel/popwnd.xml", "Window"},
};

class SkinLayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(module_.ok()) << "cannot open " << test::Narrow(test::InstallerModule::Path());
    zip_.reset(new test::MemoryZip(module_.Resource(L"ZIP", 135)));
    ASSERT_TRUE(zip_->ok()) << "resource ZIP 135 is not a zip archive";
  }

  // The parsed file; an empty element (with a failure) when it is missing or
  // broken.
  MarkupElement Parse(const std::string& name) {
    std::string text, error;
    MarkupElement root;
    EXPECT_TRUE(zip_->Read(name, &text)) << name;
    EXPECT_TRUE(test::ParseSkinMarkup(text, &root, &error)) << name << ": " << error;
    return root;
  }

  test::InstallerModule module_;
  std::unique_ptr<test::MemoryZip> zip_;
};

std::string Get(const MarkupElement& element, const char* attribute) {
  const std::string* value = element.Attribute(attribute);
  return value ? *value : std::string();
}

// "a/b/../c" -> "a/c", as the skin's path normalisation does.
std::string Normalize(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string part = path.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string out;
  for (const std::string& part : parts) out += (out.empty() ? "" : "/") + part;
  return out;
}

// The picture named by an image attribute string ("file='x.png' ..." or the
// bare file name) and its source rectangle, if any.
struct ImageReference {
  std::string file;
  bool has_source = false;
  int source[4] = {0, 0, 0, 0};
};

ImageReference ParseImageString(const std::string& value) {
  ImageReference ref;
  auto pair = [&](const char* key, std::string* out) {
    std::string needle = std::string(key) + "='";
    size_t at = value.find(needle);
    if (at != std::string::npos && (at == 0 || value[at - 1] == ' ')) {
      size_t end = value.find('\'', at + needle.size());
      if (end != std::string::npos) {
        *out = value.substr(at + needle.size(), end - at - needle.size());
        return true;
      }
    }
    return false;
  };
  if (!pair("file", &ref.file) && value.find('=') == std::string::npos) ref.file = value;
  std::string source;
  if (pair("source", &source)) {
    ref.has_source = sscanf(source.c_str(), "%d,%d,%d,%d", &ref.source[0], &ref.source[1], &ref.source[2],
                            &ref.source[3]) == 4;
  }
  return ref;
}

TEST_F(SkinLayoutTest, XmlFilesAreUtf8WithoutByteOrderMarkAndWellFormed) {
  for (const auto& file : kXmlFiles) {
    SCOPED_TRACE(file[0]);
    std::string text;
    ASSERT_TRUE(zip_->Read(file[0], &text));
    // The reader does not skip a byte-order mark in archive mode: the file
    // would fail to load with "Expected start tag".
    EXPECT_NE(0u, text.compare(0, 3, "\xEF\xBB\xBF")) << "starts with a byte-order mark";
    EXPECT_EQ('<', text.empty() ? 0 : text[0]);
    size_t bad = 0;
    EXPECT_TRUE(test::IsStrictUtf8(text, &bad)) << "invalid UTF-8 at byte " << bad;
    MarkupElement root;
    std::string error;
    ASSERT_TRUE(test::ParseSkinMarkup(text, &root, &error)) << error;
    EXPECT_EQ(file[1], root.name);
  }
}

TEST_F(SkinLayoutTest, ThemeDeclaresEveryFontColourAndClass) {
  MarkupElement global = Parse("themes/default/global.xml");
  EXPECT_TRUE(global.attributes.empty());
  std::map<std::string, const MarkupElement*> fonts, colours, classes;
  for (const MarkupElement& child : global.children) {
    std::map<std::string, const MarkupElement*>* table =
        child.name == "Font" ? &fonts : child.name == "TextColor" ? &colours : child.name == "Class" ? &classes : nullptr;
    ASSERT_NE(nullptr, table) << "unexpected <" << child.name << ">";
    std::string key = Get(child, child.name == "Font" ? "id" : "name");
    EXPECT_TRUE(table->emplace(key, &child).second) << "declared twice: " << key;
  }
  EXPECT_EQ(32u, fonts.size());
  EXPECT_EQ(47u, colours.size());
  EXPECT_EQ(42u, classes.size());

  // Fonts: "system" or "arial"; the size is the number that ends the id; bold
  // and underline as the id says; "system_12" is the one default.
  int defaults = 0;
  for (const auto& font : fonts) {
    SCOPED_TRACE(font.first);
    const std::string& id = font.first;
    const MarkupElement& e = *font.second;
    std::string face = id.compare(0, 6, "system") == 0 ? "system" : "arial";
    EXPECT_EQ(0u, id.compare(0, face.size(), face));
    EXPECT_EQ(face, Get(e, "name"));
    EXPECT_EQ(id.substr(id.rfind('_') + 1), Get(e, "size"));
    EXPECT_EQ(id.find("_bold_") != std::string::npos, Get(e, "bold") == "true");
    EXPECT_EQ(id.find("_underline_") != std::string::npos, Get(e, "underline") == "true");
    defaults += Get(e, "default") == "true";
    if (id == "system_12") {
      EXPECT_EQ("true", Get(e, "default"));
    }
  }
  EXPECT_EQ(1, defaults);
  for (const char* id : {"system_12", "system_14", "system_20", "system_23", "system_bold_25", "arial_bold_22",
                         "system_underline_22"}) {
    EXPECT_EQ(1u, fonts.count(id)) << id;
  }

  // The colours the layouts and the code use, with their values; every value
  // is "#" and eight hexadecimal digits.
  const char* const kUsedColours[][2] = {
      {"white", "#ffffffff"},         {"black", "#ff000000"},
      {"darkcolor", "#ff333333"},     {"textBlack", "#FF3083FE"},
      {"textBlack2", "#FF0167FE"},    {"bordercolor", "#FFD0D4D9"},
      {"bk_main_wnd_Color", "#fff1f1f1"}, {"bk_main_wnd_Color2", "#FFFAFAFA"},
      {"textdefaultcolor", "#ff333333"},  {"textdefaultdisablecolor", "#ffa1aebc"},
  };
  for (const auto& c : kUsedColours) {
    ASSERT_EQ(1u, colours.count(c[0])) << c[0];
    EXPECT_EQ(c[1], Get(*colours[c[0]], "value")) << c[0];
  }
  for (const auto& colour : colours) {
    std::string value = Get(*colour.second, "value");
    EXPECT_TRUE(value.size() == 9 && value[0] == '#' &&
                value.find_first_not_of("0123456789abcdefABCDEF", 1) == std::string::npos)
        << colour.first << " = " << value;
  }
  for (const char* name : {"lightcolor", "bk_progress_progress", "transbkblack", "splitline_level3",
                           "color_palette1", "color_palette10"}) {
    EXPECT_EQ(1u, colours.count(name)) << name;
  }

  const char* const kClasses[] = {
      "vscrollbar", "hscrollbar", "font_title", "caption", "option", "circle_option", "circle_option_2",
      "checkbox_font12", "checkbox_font14", "checkbox_green", "btn_global_blue_80x30", "btn_global_white_80x30",
      "btn_global_red_80x30", "btn_wnd_min", "btn_wnd_close", "btn_wnd_max", "btn_wnd_restore", "btn_wnd_settings",
      "btn_wnd_white_min", "btn_wnd_white_close", "btn_wnd_white_max", "btn_wnd_white_menu", "btn_delete",
      "btn_recycle", "btn_refresh", "btn_del_search", "list", "listitem", "list_topitem", "progress_blue",
      "slider_green", "menu", "menu_element", "menu_text", "splitline_hor_level1", "splitline_hor_level2",
      "splitline_ver_level1", "simple", "prompt", "edit", "input", "icon_headimage_mask_40x40"};
  std::set<std::string> expected(std::begin(kClasses), std::end(kClasses));
  std::set<std::string> actual;
  for (const auto& c : classes) actual.insert(c.first);
  EXPECT_EQ(expected, actual);

  // The vertical bar class styles the agreement's scroll bar.
  const struct {
    const char* klass;
    const char* attribute;
    const char* value;
  } kBarStyles[] = {
      {"vscrollbar", "width", "14"},
      {"vscrollbar", "fadealpha", "true"},
      {"vscrollbar", "thumbnormalimage", "file='../public/vscrollbar/thumb_normal.png' corner='0,8,0,8'"},
      {"vscrollbar", "thumbhotimage", "file='../public/vscrollbar/thumb_hovered.png' corner='0,8,0,8'"},
      {"vscrollbar", "railhotimage", "file='../public/vscrollbar/bk_hovered.png' corner='0,4,0,4'"},
      {"vscrollbar", "showbutton1", "false"},
      {"vscrollbar", "showbutton2", "false"},
      {"hscrollbar", "height", "14"},
      {"hscrollbar", "thumbnormalimage", "file='../public/hscrollbar/thumb_normal.png' corner='8,0,8,0'"},
      {"hscrollbar", "railhotimage", "file='../public/hscrollbar/bk_hovered.png' corner='4,0,4,0'"},
      {"progress_blue", "_value", "0"},
      {"slider_green", "_value", "0"},
  };
  for (const auto& c : kBarStyles) {
    ASSERT_EQ(1u, classes.count(c.klass));
    EXPECT_EQ(c.value, Get(*classes[c.klass], c.attribute)) << c.klass << " " << c.attribute;
  }
}

// Where each named control lives: the install window's code finds them by
// name and switches pages by index among "maintab"'s children.
TEST_F(SkinLayoutTest, InstallWindowHasItsPagesAndTheNamedControlsTheCodeUses) {
  MarkupElement window = Parse("themes/default/vorandel/controls.xml");
  EXPECT_EQ("600,400", Get(window, "size"));
  EXPECT_EQ("0,0,0,400", Get(window, "caption"));
  ASSERT_EQ(1u, window.children.size());
  const MarkupElement& maintab = window.children[0];
  EXPECT_EQ("VBox", maintab.name);
  EXPECT_EQ("maintab", Get(maintab, "name"));
  ASSERT_EQ(5u, maintab.children.size());

  const char* const kBackgrounds[] = {"bg.png", "", "bg2.png", "bg4.png", ""};
  for (int page = 0; page < 5; ++page) {
    const MarkupElement& p = maintab.children[page];
    EXPECT_EQ("VBox", p.name) << "page " << page;
    // Only page 0 is shown when the window opens.
    EXPECT_EQ(page == 0 ? "" : "false", Get(p, "visible")) << "page " << page;
    EXPECT_EQ(kBackgrounds[page], Get(p, "bkimage")) << "page " << page;
  }

  const struct {
    const char* name;
    const char* element;
    std::set<int> pages;
    const char* text;  // null: not checked
  } kNamed[] = {
      {"setup_name_pg1", "Label", {0}, nullptr},
      {"closebtn", "Button", {0, 1, 3, 4}, nullptr},
      {"installPage", "Button", {0, 1, 4}, "立即安装"},
      {"opt_user", "CheckBox", {0}, "我已阅读并同意"},
      {"btn_user", "Button", {0}, "《用户使用许可协议》"},
      {"opt_custom", "Button", {0}, "自定义"},
      {"opt_back", "Button", {1, 4}, "<返回"},
      {"savepath", "Label", {1}, nullptr},
      {"btn_selpath", "Button", {1}, "浏览"},
      {"savepath_msg", "Label", {1}, nullptr},
      {"progress", "Progress", {2}, nullptr},
      {"progress_msg", "Label", {2}, "正在安装，请不要关闭：1%"},
      {"setup_name_pg4", "Label", {3}, nullptr},
      {"openmain", "Button", {3}, "安装完成"},
      {"edt_shouquan", "RichEdit", {4}, ""},
  };
  for (const auto& c : kNamed) {
    SCOPED_TRACE(c.name);
    std::set<int> pages;
    for (int page = 0; page < 5; ++page) {
      for (const MarkupElement* e : maintab.children[page].Descendants()) {
        if (Get(*e, "name") != c.name) continue;
        pages.insert(page);
        EXPECT_EQ(c.element, e->name) << "page " << page;
        if (c.text) {
          EXPECT_EQ(c.text, Get(*e, "text")) << "page " << page;
        }
      }
    }
    EXPECT_EQ(c.pages, pages);
  }

  // The states the window must open in.
  const struct {
    const char* name;
    const char* attribute;
    const char* value;
  } kInitial[] = {
      {"opt_user", "selected", "true"},  // the install button works at once
      {"progress", "min", "0"},          {"progress", "max", "100"},
      {"progress", "value", "1"},        {"progress", "hor", "true"},
      {"progress", "mouse", "false"},    {"edt_shouquan", "readonly", "true"},
      {"edt_shouquan", "multiline", "true"}, {"edt_shouquan", "vscrollbar", "true"},
      {"edt_shouquan", "rich", "true"},  {"installPage", "width", "219"},
      {"installPage", "height", "64"},   {"openmain", "width", "219"},
  };
  std::vector<const MarkupElement*> all = window.Descendants();
  for (const auto& c : kInitial) {
    int seen = 0;
    for (const MarkupElement* e : all) {
      if (Get(*e, "name") != c.name) continue;
      ++seen;
      EXPECT_EQ(c.value, Get(*e, c.attribute)) << c.name << " " << c.attribute;
    }
    EXPECT_GT(seen, 0) << c.name;
  }
}

TEST_F(SkinLayoutTest, PopupHasTheNamedControlsTheCodeUses) {
  MarkupElement window = Parse("themes/default/vorandel/popwnd.xml");
  EXPECT_EQ("360,180", Get(window, "size"));
  EXPECT_EQ("0,0,0,120", Get(window, "caption"));
  const char* const kNamed[][3] = {
      {"closebtn", "Button", nullptr}, {"msg_text", "Label", nullptr}, {"title", "Label", nullptr},
      {"btn_ok", "Button", "确定"},     {"btn_cancel", "Button", "取消"},
  };
  std::vector<const MarkupElement*> all = window.Descendants();
  for (const auto& c : kNamed) {
    int seen = 0;
    for (const MarkupElement* e : all) {
      if (Get(*e, "name") != c[0]) continue;
      ++seen;
      EXPECT_EQ(c[1], e->name) << c[0];
      if (c[2]) {
        EXPECT_EQ(c[2], Get(*e, "text")) << c[0];
      }
    }
    EXPECT_EQ(1, seen) << c[0];
  }
}

// Every picture a layout (or a class the installer applies) names is in the
// archive under the path the reader resolves, relative to the layout's
// folder, and every source rectangle lies inside its picture.
TEST_F(SkinLayoutTest, EveryPictureTheSkinNamesIsInTheArchive) {
  std::set<std::string> names;
  for (const std::string& name : zip_->Names()) names.insert(name);
  struct Owner {
    std::string folder;
    std::vector<const MarkupElement*> elements;
  };
  MarkupElement controls = Parse("themes/default/vorandel/controls.xml");
  MarkupElement popup = Parse("themes/default/vorandel/popwnd.xml");
  MarkupElement global = Parse("themes/default/global.xml");
  std::vector<const MarkupElement*> bar_classes;
  for (const MarkupElement& c : global.children) {
    // The other classes name pictures that are absent by design: the
    // installer never applies them.
    if (Get(c, "name") == "vscrollbar" || Get(c, "name") == "hscrollbar") bar_classes.push_back(&c);
  }
  // Scroll bars belong to the window whose layout folder is "vorandel".
  const Owner kOwners[] = {
      {"themes/default/vorandel/", controls.Descendants()},
      {"themes/default/vorandel/", popup.Descendants()},
      {"themes/default/vorandel/", bar_classes},
  };
  int references = 0;
  for (const Owner& owner : kOwners) {
    for (const MarkupElement* e : owner.elements) {
      for (const auto& attribute : e->attributes) {
        const std::string& key = attribute.first;
        if (key.size() < 5 || key.compare(key.size() - 5, 5, "image") != 0) continue;
        SCOPED_TRACE(key + "=\"" + attribute.second + "\"");
        ImageReference ref = ParseImageString(attribute.second);
        ASSERT_FALSE(ref.file.empty());
        std::string path = Normalize(owner.folder + ref.file);
        ++references;
        ASSERT_EQ(1u, names.count(path)) << path << " is not in the archive";
        if (!ref.has_source) continue;
        std::string bytes;
        int width = 0, height = 0;
        ASSERT_TRUE(zip_->Read(path, &bytes) && test::PngHeaderSize(bytes, &width, &height));
        EXPECT_TRUE(ref.source[0] >= 0 && ref.source[1] >= 0 && ref.source[0] < ref.source[2] &&
                    ref.source[1] < ref.source[3] && ref.source[2] <= width && ref.source[3] <= height)
            << "source outside the " << width << "x" << height << " picture";
      }
    }
  }
  EXPECT_GT(references, 40);
}

// A colour or font id that is not registered paints nothing or falls back
// silently; every one the skin names must be declared in global.xml.
TEST_F(SkinLayoutTest, LayoutsNameOnlyDeclaredColoursAndFonts) {
  MarkupElement global = Parse("themes/default/global.xml");
  std::set<std::string> colours, fonts;
  for (const MarkupElement& c : global.children) {
    if (c.name == "TextColor") colours.insert(Get(c, "name"));
    if (c.name == "Font") fonts.insert(Get(c, "id"));
  }
  const std::set<std::string> kColourAttributes = {
      "normaltextcolor", "hottextcolor", "pushedtextcolor", "disabledtextcolor", "selectedtextcolor",
      "bkcolor", "bkcolor1", "bordercolor", "normalcolor", "hotcolor", "pushedcolor", "disabledcolor",
      "selectednormalcolor", "selectedhotcolor", "selectedpushedcolor", "selecteddisabledcolor",
      "promptcolor", "caretcolor", "progresscolor"};
  std::vector<const MarkupElement*> elements;
  MarkupElement controls = Parse("themes/default/vorandel/controls.xml");
  MarkupElement popup = Parse("themes/default/vorandel/popwnd.xml");
  for (const MarkupElement* document : {&controls, &popup, &global}) {
    for (const MarkupElement* e : document->Descendants()) elements.push_back(e);
  }
  int checked = 0;
  for (const MarkupElement* e : elements) {
    for (const auto& attribute : e->attributes) {
      if (kColourAttributes.count(attribute.first)) {
        ++checked;
        EXPECT_EQ(1u, colours.count(attribute.second)) << attribute.first << "=\"" << attribute.second << "\"";
      } else if (attribute.first == "font") {
        ++checked;
        EXPECT_EQ(1u, fonts.count(attribute.second)) << "font=\"" << attribute.second << "\"";
      }
    }
  }
  EXPECT_GT(checked, 40);
}

}  // namespace
