// The markup tree against the markup it has to forgive: unclosed elements,
// stray end tags, quotes and instructions inside tags, white space.
#include "html_node.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime_test.h"

namespace {

using corv::String;
using kilnrun::PlistUtils::HTMLnode;
using kilnrun::PlistUtils::NodeRef;

std::string Text(const String &s) {
  return std::string(s.view());
}

// A compact picture of a subtree: elements as name, "/" when self-closing,
// "*" when never closed, {attributes} and (children); text in double
// quotes, white space in single quotes, <!comment>, <?instruction>, /stray.
std::string Dump(HTMLnode *node) {
  if (node->comment) return "<!" + Text(node->Value()) + ">";
  if (node->processingInstruction) return "<?" + Text(node->Value()) + ">";
  if (node->isCloseTag) return "/" + Text(node->Name());
  if (node->whitespace) return "'" + Text(node->Value()) + "'";
  if (!node->Value().empty()) return "\"" + Text(node->Value()) + "\"";
  std::string out = Text(node->Name());
  if (node->emptyTag) out += "/";
  if (!node->emptyTag && !node->hasCloseTag) out += "*";
  auto attributes = node->Attributes();
  if (attributes->Count() > 0) {
    out += "{";
    for (int32_t i = 0; i < attributes->Count(); ++i)
      out += (i ? ";" : "") + Text(attributes->Key(i).StringValue()) + "=" +
             Text(attributes->ValueByIndex(i).StringValue());
    out += "}";
  }
  if (node->ChildCount() > 0) {
    out += "(";
    for (int32_t i = 0; i < node->ChildCount(); ++i)
      out += (i ? "," : "") + Dump(node->Child(i).get());
    out += ")";
  }
  return out;
}

std::string DumpChildren(HTMLnode *root) {
  std::string out = Dump(root);
  return out.size() >= 2 && out[0] == '*' ? out.substr(2, out.size() - 3) : "";
}

class HTMLnodeTest : public corv::testing::RuntimeTest {};

TEST_F(HTMLnodeTest, ParsesForgivingMarkupAndRendersItBack) {
  const struct {
    const char *text;
    bool keepWhitespace;
    const char *tree;
    const char *rendered;  // null: the text itself
  } kCases[] = {
      // What an unclosed element held moves up to the element closed around it.
      {"<a><b>x</a>", false, "a(b*,\"x\")", nullptr},
      {"<a><b><c>x</c>y</a>z", false, "a(b*,c(\"x\"),\"y\"),\"z\"", nullptr},
      {"<a>x", false, "a*(\"x\")", nullptr},
      // An end tag that closes nothing is kept where it was met.
      {"<a></c>y</a>", false, "a(/c,\"y\")", nullptr},
      {"</c><d/>", false, "/c,d/", "</c><d />"},
      {"<A>x</a >", false, "A(\"x\")", "<A>x</A>"},
      {"<true /><true/>", false, "true/,true/", "<true /><true />"},
      {"<a href=\"x>y\">t</a>", false, "a{href=x>y}(\"t\")", nullptr},
      {"<a v=\"<?p \"q\" ?>\" w=1>", false, "a*{v=<?p \"q\" ?>;w=1}",
       "<a v=\"<?p \"q\" ?>\" w=\"1\">"},
      {"<a b c=d e = \"f\"/>", false, "a/{b=;c=d;e=f}", "<a b c=\"d\" e=\"f\" />"},
      {"<a\nb=\"1\"\r\n/>", false, "a/{b=1}", "<a b=\"1\" />"},
      {"<a<b>", false, "a*{<b=}", "<a <b>"},
      {"<s>&lt;b&gt; &amp;</s>", false, "s(\"&lt;b&gt; &amp;\")", nullptr},
      {"  <k>v</k>  ", false, "k(\"v\")", "<k>v</k>"},
      {"  <k> v\n</k>  ", true, "'  ',k(' ',\"v\",'\n'),'  '", nullptr},
      {"<?xml version=\"1.0\"?><p/>", false, "<?xml version=\"1.0\">,p/",
       "<?xml version=\"1.0\"?><p />"},
      // Unterminated comments and instructions give empty nodes, the rest is text.
      {"<!-- c -->", false, "<! c >", nullptr},
      {"<!-- open", false, "<!>,\"-- open\"", "<!---->-- open"},
      {"<?open", false, "<?>,\"?open\"", "<?\?>?open"},
      {"<a", false, "*", ""},
  };
  for (const auto &c : kCases) {
    SCOPED_TRACE(c.text);
    NodeRef root = HTMLnode::New(c.text, c.keepWhitespace);
    EXPECT_EQ(DumpChildren(root.get()), c.tree);
    EXPECT_EQ(Text(root->Render(true)), c.rendered ? c.rendered : c.text);
  }
}

// UTF-8 markup takes quicker paths (plain tags read in place, blank text
// skipped); text of no known encoding takes the general ones. Both must
// build the same tree.
TEST_F(HTMLnodeTest, UTF8MarkupParsesAsTheGeneralPathDoes) {
  const char *kTexts[] = {
      "<a>x</a>",
      "<a/><a /><a  /><a/ ><a\t/><a\n/>",
      "<a >t</a >",
      "</x></x >",
      "<a:b-c.d_1>t</A:B-C.D_1>",
      "<1/><_>",
      "<a b='c'>d</a>",
      "<\xC3\xA9>x</\xC3\xA9>",
      "<dict>\n  <key>k</key>\n\t<true/>\r\n  <string> s </string>\n</dict>\n",
      "<a>\x0B</a><b> \x0C</b>",
      "<a",
      "<a/",
      "</",
      "<>",
      "</>",
      "< a>",
      "<a>>",
  };
  for (const char *text : kTexts) {
    for (bool keepWhitespace : {false, true}) {
      SCOPED_TRACE(std::string(text) + (keepWhitespace ? " (white space kept)" : ""));
      NodeRef utf8 = HTMLnode::New(String(text), keepWhitespace);
      NodeRef general = HTMLnode::New(String(text, kEncodingUnknown), keepWhitespace);
      EXPECT_EQ(Dump(utf8.get()), Dump(general.get()));
      EXPECT_EQ(Text(utf8->Render(true)), Text(general->Render(true)));
    }
  }
}

TEST_F(HTMLnodeTest, SearchesFindElementsAndText) {
  NodeRef root = HTMLnode::New(
      "<r><a k=\"One\">1</a><a k=\"two\"><b><i>deep</i></b></a><e></e><!--c--></r>", false);
  const struct {
    const char *name, *attribute, *value, *found;  // found: its text, or null
  } kCases[] = {
      {"A", "", "", "1"},    {"a", "k", "TWO", "deep"}, {"a", "k", "three", nullptr},
      {"i", "", "", "deep"}, {"e", "", "", nullptr},    {"x", "", "", nullptr},
  };
  for (const auto &c : kCases) {
    SCOPED_TRACE(std::string(c.name) + " " + c.value);
    NodeRef element = root->FindTag(c.name, c.attribute, c.value);
    NodeRef text = element ? element->NextText() : nullptr;
    if (!c.found) {
      EXPECT_TRUE(!element || !text);
    } else {
      ASSERT_TRUE(text);
      EXPECT_EQ(Text(text->Value()), c.found);
    }
  }
  NodeRef e = root->FindTag("e", "", "");
  ASSERT_TRUE(e);
  EXPECT_EQ(Text(e->SiblingLeft()->Name()), "a");
  EXPECT_TRUE(e->SiblingRight()->comment);
  EXPECT_FALSE(e->SiblingRight()->SiblingRight());
}

TEST_F(HTMLnodeTest, QuoteAndBracketScans) {
  using namespace kilnrun::PlistUtils;
  const struct {
    const char *source;
    int32_t start, quoted, balanced;  // balanced: from byte 2, a group opened at 1
  } kCases[] = {
      {"a\"b>\"c>", 1, 7, 4},  // the ">" inside quotes does not count
      {"x\"y>", 1, 4, 4},      // never outside quotes: the end
      {"<a<b>c>d>", 2, 5, 7},  // a nested group closes at its own ">"
      {"<a", 2, 2, 2},         // unbalanced: the end
  };
  for (const auto &c : kCases) {
    SCOPED_TRACE(c.source);
    EXPECT_EQ(InstrHonorQuotes(c.start, c.source, ">", 34, true), c.quoted);
    EXPECT_EQ(BalanceCharacters(2, c.source, "<", ">", true), c.balanced);
  }
  EXPECT_EQ(InstrHonorQuotes(1, "\"a>", ">", 34, false), 0);
  EXPECT_EQ(BalanceCharacters(2, "<a", "<", ">", false), -1);
}

TEST_F(HTMLnodeTest, DeepNestingNeitherOverflowsNorLeaks) {
  std::string text;
  for (int i = 0; i < 50000; ++i) text += "<a>";
  text += "x";
  NodeRef root = HTMLnode::New(String(text), false);
  EXPECT_EQ(root->Render(true).size(), text.size());
  EXPECT_TRUE(root->NextText());
}

TEST_F(HTMLnodeTest, MovedAndDroppedNodesKeepParentsTrue) {
  NodeRef root = HTMLnode::New("<a><b/></a><c/>", false);
  NodeRef a = root->Child(0), b = a->Child(0), c = root->Child(1);
  kilnrun::PlistUtils::SetParent(b, c.get());
  EXPECT_EQ(DumpChildren(root.get()), "a,c/(b/)");
  EXPECT_EQ(b->parent, c.get());
  root = nullptr;  // the tree goes; nodes still held lose their parent
  EXPECT_EQ(c->parent, nullptr);
  a->SetValue("t");
  EXPECT_EQ(Text(a->GetValue()), "t");
}

}  // namespace
