// The markup tree: parsing text into nodes, searching them, printing back.
//
// Invariant: a node with a parent is held exactly where it sits in that
// parent's `children`; `parent` is a borrowed pointer, cleared when the node
// leaves the list or the parent is finalized, so no cycle of counted
// references exists and dropping the root frees the whole tree. Open
// elements nest at most kMaxDepth deep below the node being parsed into:
// a deeper start tag stays in the element open there, so every walk over a
// parsed tree has a bounded depth.
#include "html_node.h"

#include "corv/class_decl.h"

namespace kilnrun::PlistUtils {

using corv::Dictionary;
using corv::LenB;
using corv::MidB;
using corv::Ref;
using corv::String;
using corv::StringArray;

namespace {

// Deep enough for any real document, shallow enough that the recursive
// walks (render, search, destruction) cannot exhaust the stack.
constexpr int32_t kMaxDepth = 256;

void HTMLnodeFinalizer(CORVobject obj) {
  auto *self = reinterpret_cast<HTMLnode *>(obj);
  if (self->children) {
    NodeArray children = self->Children();
    for (int32_t i = 0; i <= children.UBound(); ++i) {
      NodeRef child = children(i);
      if (child && child->parent == self) child->parent = nullptr;  // it may outlive us
    }
  }
  RuntimeUnlockObject(self->children);
  RuntimeUnlockObject(self->tagAttributes);
  RuntimeUnlockString(self->name);
  RuntimeUnlockString(self->value);
  self->children = self->tagAttributes = nullptr;
  self->name = self->value = nullptr;
}

// The language's assignment to a String field.
void Store(CORVstring *field, const String &text) {
  *field = RuntimeLockUnlockStrings(text.get(), *field);
}

// UTF-8 and ASCII text, where the markers below (punctuation, which has no
// case) match byte for byte and a line break is the byte 10 or 13: the
// common case, read without making a string per test.
bool IsUTF8(const String &text) {
  return text.encoding() == kEncodingUTF8 || text.encoding() == kEncodingASCII;
}

bool StartsWith(const String &text, int32_t pos, std::string_view marker) {
  if (IsUTF8(text)) {
    std::string_view bytes = text.view();
    return pos >= 1 && static_cast<size_t>(pos - 1) <= bytes.size() &&
           bytes.substr(static_cast<size_t>(pos - 1), marker.size()) == marker;
  }
  return MidB(text, pos, static_cast<int32_t>(marker.size())) == String(marker);
}

// Whether bytes `from` to `to` of UTF-8 text are white space that Trim
// would remove whole (other text: false, and Trim decides).
bool IsBlank(const String &text, int32_t from, int32_t to) {
  if (!IsUTF8(text)) return false;
  std::string_view bytes = text.view();
  for (int32_t i = from; i <= to; ++i) {
    auto c = static_cast<unsigned char>(bytes[static_cast<size_t>(i - 1)]);
    if (c != ' ' && (c < 9 || c > 13)) return false;
  }
  return true;
}

// A plain tag, bytes `from` to `to` of UTF-8 text: "<name>", "<name/>",
// "<name />" or "</name>", the name made of letters, digits, "_", "-", ".",
// ":". Its name, or empty when the tag is anything else (then the general
// path reads it, to the same name for these forms).
struct PlainTag {
  std::string_view name;
  bool empty = false;  // ends in "/>"
};

PlainTag ReadPlainTag(const String &text, int32_t from, int32_t to, bool closing) {
  if (text.encoding() != kEncodingUTF8 || from < 1 || to > LenB(text)) return {};
  std::string_view bytes =
      text.view().substr(static_cast<size_t>(from - 1), static_cast<size_t>(to - from + 1));
  size_t start = closing ? 2 : 1;
  if (bytes.size() < start + 2 || bytes.substr(0, start) != (closing ? "</" : "<") ||
      bytes.back() != '>')
    return {};
  size_t i = start;
  auto isNameByte = [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '.' || c == ':';
  };
  while (i < bytes.size() && isNameByte(bytes[i])) ++i;
  PlainTag tag{bytes.substr(start, i - start)};
  if (!closing && bytes[i] != '>') {
    while (bytes[i] == ' ') ++i;
    tag.empty = bytes[i] == '/';
    if (tag.empty) ++i;
  }
  if (tag.name.empty() || i != bytes.size() - 1) return {};
  return tag;
}

String LineBreaksAsSpaces(const String &text) {
  if (text.encoding() == kEncodingUTF8 &&
      text.view().find_first_of("\n\r") == std::string_view::npos)
    return text;
  return ReplaceAll(ReplaceAll(text, corv::Chr(10), " "), corv::Chr(13), " ");
}

// The next occurrence of a marker at or after a position that only moves
// forward, remembered so that parsing a long text searches it once.
class Finder {
 public:
  Finder(const String &text, const String &marker) : text_(text), marker_(marker) {}
  int32_t At(int32_t from) {
    if (next_ != 0 && next_ < from) next_ = InStrB(from, text_, marker_);
    return next_;  // 0 once the marker is gone: it stays gone further on
  }
  int32_t Length() const { return LenB(marker_); }

 private:
  const String &text_;
  String marker_;
  int32_t next_ = -1;
};

// InstrHonorQuotes with the quotes counted from byte `from` on.
int32_t HonorQuotes(const String &source, int32_t from, int32_t start, Finder &find, Finder &quote,
                    bool endIfMissing) {
  int32_t quotes = 0;
  int32_t nextQuote = quote.At(from);
  for (int32_t p = start;;) {
    int32_t hit = find.At(p);
    if (hit == 0) break;
    while (nextQuote > 0 && nextQuote <= hit + find.Length() - 1) {
      ++quotes;
      nextQuote = quote.At(nextQuote + 1);
    }
    if (quotes % 2 == 0) return hit;
    p = hit + 1;
  }
  return endIfMissing ? LenB(source) : 0;
}

NodeRef NewChild(HTMLnode *parent) {
  NodeRef node = HTMLnode::New();
  parent->AddChild(node);
  return node;
}

void AppendMarkup(HTMLnode *current, const String &text, bool isComment) {
  NodeRef node = NewChild(current);
  node->comment = isComment;
  node->processingInstruction = !isComment;
  Store(&node->value, text);
}

void AppendText(HTMLnode *current, const String &text, bool isWhitespace) {
  if (text.empty()) return;
  NodeRef node = NewChild(current);
  node->whitespace = isWhitespace;
  Store(&node->value, text);
}

void ProcessCharacterData(HTMLnode *current, const String &piece, bool keepWhitespace) {
  String text = Trim(piece);
  if (!keepWhitespace) return AppendText(current, text, false);
  int32_t leading = LenB(piece) - LenB(corv::LTrim(piece));
  int32_t trailing = LenB(piece) - LenB(corv::RTrim(piece));
  if (text.empty()) return AppendText(current, piece, true);
  AppendText(current, corv::LeftB(piece, leading), true);
  AppendText(current, text, false);
  AppendText(current, corv::RightB(piece, trailing), true);
}

// ExtractAttributes, nil when the tag has none (no dictionary is made).
Ref<Dictionary> AttributesIfAny(const String &tagText);

NodeRef ProcessTagOpen(HTMLnode *current, const String &piece) {
  String text = LineBreaksAsSpaces(Trim(MidB(piece, 2, LenB(piece) - 2)));
  NodeRef node = NewChild(current);
  if (corv::RightB(text, 1) == "/") {
    node->emptyTag = true;
    text = corv::RTrim(corv::LeftB(text, LenB(text) - 1));
  }
  Store(&node->name, NthField(NthField(text, " ", 1), "<", 1));
  Ref<Dictionary> attributes = AttributesIfAny(text);
  RuntimeLockUnlockObjects(attributes.object(), node->tagAttributes);
  node->tagAttributes = attributes.object();
  return node;
}

NodeRef OpenPlainElement(HTMLnode *current, const PlainTag &tag) {
  NodeRef node = NewChild(current);
  node->emptyTag = tag.empty;
  Store(&node->name, String(tag.name));
  return node;
}

// The new current node: the parent of the element closed, or `current`
// when the end tag closes nothing open below `top`.
HTMLnode *ProcessTagClose(HTMLnode *top, HTMLnode *current, const String &piece);

void AdjustChildren(HTMLnode *node, HTMLnode *target) {
  if (!node->children) return;  // text, mostly
  NodeArray children = node->Children();
  int32_t count = children.UBound() + 1;
  if (count == 0) return;
  // The children as they were on entry. Those of `target` itself never
  // move, and what moves to it goes after them, so its own list is walked
  // as it stands; any other list loses the children that move: a copy.
  NodeArray list = children;
  if (node != target) {
    list = corv::NewArray<HTMLnode *>();
    for (int32_t i = 0; i < count; ++i) list.Append(children(i));
  }
  for (int32_t i = 0; i < count; ++i) {
    NodeRef child = list(i);
    if (child.get() != target && child->parent != target && child->parent &&
        !child->parent->hasCloseTag)
      SetParent(child, target);
    // A closed element's content was gathered when it closed, and an
    // unclosed one can be holding content only until then.
    if (!child->hasCloseTag) AdjustChildren(child.get(), target);
  }
}

// ProcessTagClose once the end tag's name is read.
HTMLnode *CloseElement(HTMLnode *top, HTMLnode *current, const String &closing) {
  // The node parsed into is never closed by its own content.
  for (HTMLnode *n = current; n && n != top; n = n->parent) {
    if (!closing.empty() && n->Name() == closing && !n->hasCloseTag) {
      n->hasCloseTag = true;
      AdjustChildren(n, n);
      return n->parent;
    }
  }
  NodeRef node = NewChild(current);
  node->isCloseTag = true;
  Store(&node->name, closing);
  return current;
}

HTMLnode *ProcessTagClose(HTMLnode *top, HTMLnode *current, const String &piece) {
  String text = MidB(piece, 3);
  if (corv::RightB(text, 1) == ">") text = corv::LeftB(text, LenB(text) - 1);
  return CloseElement(top, current, Trim(text));
}

int32_t DepthBelow(HTMLnode *top, HTMLnode *node) {
  int32_t depth = 0;
  for (; node && node != top; node = node->parent) ++depth;
  return depth;
}

void RenderInto(HTMLnode *node, bool withMarkup, const StringArray &out) {
  if (String::Share(node->name).empty()) withMarkup = false;
  if (node->comment) return out.Append(String("<!--") + node->Value() + "-->");
  if (node->processingInstruction) return out.Append(String("<?") + node->Value() + "?>");
  if (!String::Share(node->value).empty()) return out.Append(node->Value());
  if (withMarkup && node->isCloseTag) {
    out.Append(String("</") + node->Name() + ">");
  } else if (withMarkup) {
    out.Append(String("<") + node->Name());
    Ref<Dictionary> attributes = node->Attributes();
    for (int32_t i = 0; i < attributes->Count(); ++i) {
      out.Append(String(" ") + attributes->Key(i).StringValue());
      String value = attributes->ValueByIndex(i).StringValue();
      if (!value.empty()) out.Append(String("=\"") + value + "\"");
    }
    if (node->emptyTag) node->hasCloseTag = false;
    out.Append(node->emptyTag ? " />" : ">");
  }
  NodeArray children = node->Children();
  for (int32_t i = 0; i <= children.UBound(); ++i) RenderInto(children(i).get(), true, out);
  if (withMarkup && node->hasCloseTag) out.Append(String("</") + node->Name() + ">");
}

}  // namespace

const CORVclassDecl kHTMLnodeDecl =
    corv::ClassDecl("PlistUtils.HTMLnode", sizeof(HTMLnode)).Finalizer(HTMLnodeFinalizer);

NodeRef HTMLnode::New() {
  return corv::New<HTMLnode>(&kHTMLnodeDecl);
}

NodeRef HTMLnode::New(const String &text, bool keepWhitespace) {
  NodeRef node = New();
  node->Parse(text, keepWhitespace);
  return node;
}

void HTMLnode::Parse(const String &text, bool keepWhitespace) {
  Finder lessThan(text, "<"), greaterThan(text, ">"), quote(text, corv::Chr(34));
  Finder commentEnd(text, "-->"), instructionEnd(text, "?>");
  HTMLnode *current = this;
  int32_t depth = 0;
  int32_t length = LenB(text);
  for (int32_t pos = 1; pos <= length;) {
    int32_t end;  // the last byte of the piece
    if (lessThan.At(pos) != pos) {
      int32_t next = lessThan.At(pos);
      end = next > 0 ? next - 1 : length;
      if (keepWhitespace || !IsBlank(text, pos, end))
        ProcessCharacterData(current, MidB(text, pos, end - pos + 1), keepWhitespace);
    } else if (StartsWith(text, pos, "<!--")) {
      int32_t close = commentEnd.At(pos + 4);
      AppendMarkup(current, close > 0 ? MidB(text, pos + 4, close - pos - 4) : String(), true);
      end = close > 0 ? close + 2 : pos + 1;
    } else if (StartsWith(text, pos, "<?")) {
      int32_t close = instructionEnd.At(pos + 2);
      AppendMarkup(current, close > 0 ? MidB(text, pos + 2, close - pos - 2) : String(), false);
      end = close > 0 ? close + 1 : pos;
    } else if (StartsWith(text, pos, "</")) {
      end = HonorQuotes(text, pos, pos, greaterThan, quote, true);
      PlainTag plain = ReadPlainTag(text, pos, end, true);
      current = !plain.name.empty()
                    ? CloseElement(this, current, String(plain.name))
                    : ProcessTagClose(this, current, MidB(text, pos, end - pos + 1));
      depth = DepthBelow(this, current);
    } else {
      end = HonorQuotes(text, pos, pos, greaterThan, quote, true);
      while (end < length && end - 1 > pos && StartsWith(text, end - 1, "?>"))
        end = HonorQuotes(text, pos, end + 1, greaterThan, quote, true);
      PlainTag plain = ReadPlainTag(text, pos, end, false);
      NodeRef node = !plain.name.empty() ? OpenPlainElement(current, plain)
                                         : ProcessTagOpen(current, MidB(text, pos, end - pos + 1));
      if (!node->emptyTag && depth < kMaxDepth) {
        current = node.get();
        ++depth;
      }
    }
    pos = end + 1;
  }
}

NodeRef HTMLnode::FindTag(const String &tagName, const String &attributeName,
                          const String &attributeValue) {
  bool matches = !String::Share(name).empty() && Name() == tagName;
  if (matches && !attributeName.empty()) {
    Ref<Dictionary> attributes = Attributes();
    matches = attributes->HasKey(attributeName) &&
              attributes->Value(attributeName).StringValue() == attributeValue;
  }
  if (matches) return NodeRef::Share(this);
  NodeArray list = Children();
  for (int32_t i = 0; i <= list.UBound(); ++i) {
    NodeRef found = list(i)->FindTag(tagName, attributeName, attributeValue);
    if (found) return found;
  }
  return nullptr;
}

void HTMLnode::FindTagList(const String &tagName, const NodeArray &list, bool reset) {
  if (reset) list.Redim(-1);
  if (Name() == tagName) list.Append(NodeRef::Share(this));
  NodeArray mine = Children();
  for (int32_t i = 0; i <= mine.UBound(); ++i) mine(i)->FindTagList(tagName, list, false);
}

String HTMLnode::Render(bool withMarkup) {
  StringArray out = corv::NewArray<String>();
  RenderInto(this, withMarkup, out);
  return Join(out, "");
}

NodeRef HTMLnode::Clone() {
  NodeRef root = New(Render(true), true);
  return root->Child(0);
}

NodeRef HTMLnode::NextText() {
  if (IsText(false)) return NodeRef::Share(this);
  NodeArray list = Children();
  for (int32_t i = 0; i <= list.UBound(); ++i) {
    NodeRef found = list(i)->NextText();
    if (found) return found;
  }
  return nullptr;
}

void HTMLnode::SetValue(const String &text) {
  NodeArray list = Children();
  while (list.UBound() >= 0) RemoveChild(list(0));
  NodeRef node = NewChild(this);
  Store(&node->value, text);
}

String HTMLnode::GetValue() {
  return Render(false);
}

bool HTMLnode::IsText(bool allowWhitespace) {
  if (comment || processingInstruction) return false;
  if (whitespace && !allowWhitespace) return false;
  return !String::Share(value).empty();
}

void HTMLnode::AddChild(const NodeRef &node) {
  Children().Append(node);
  node->parent = this;
}

void HTMLnode::RemoveChild(const NodeRef &node) {
  NodeArray list = Children();
  for (int32_t i = list.IndexOf(node); i >= 0; i = list.IndexOf(node)) list.Remove(i);
  if (node->parent == this) node->parent = nullptr;
}

int32_t HTMLnode::ChildCount() {
  return Children().UBound() + 1;
}

NodeRef HTMLnode::Child(int32_t index) {
  NodeArray list = Children();
  return index >= 0 && index <= list.UBound() ? list(index) : nullptr;
}

NodeRef HTMLnode::SiblingLeft() {
  if (!parent) return nullptr;
  return parent->Child(parent->Children().IndexOf(NodeRef::Share(this)) - 1);
}

NodeRef HTMLnode::SiblingRight() {
  if (!parent) return nullptr;
  int32_t index = parent->Children().IndexOf(NodeRef::Share(this));
  return index < 0 ? nullptr : parent->Child(index + 1);
}

int32_t InstrHonorQuotes(int32_t start, const String &source, const String &find, int32_t quote,
                         bool endIfMissing) {
  Finder finder(source, find), quotes(source, corv::Chr(quote));
  return HonorQuotes(source, 1, start, finder, quotes, endIfMissing);
}

int32_t InstrEither(int32_t start, const String &source, const String &a, const String &b,
                    bool *whichIsB) {
  int32_t atA = InStrB(start, source, a);
  int32_t atB = InStrB(start, source, b);
  *whichIsB = atB > 0 && (atA == 0 || atB <= atA);
  return *whichIsB ? atB : atA;
}

namespace {

// BalanceCharacters over finders, so that a long run of one marker without
// the other is searched once.
int32_t Balance(int32_t start, const String &source, Finder &open, Finder &close, bool toEnd) {
  int32_t depth = 1;
  for (int32_t pos = start;;) {
    int32_t atOpen = open.At(pos), atClose = close.At(pos);
    bool isClose = atClose > 0 && (atOpen == 0 || atClose <= atOpen);
    int32_t at = isClose ? atClose : atOpen;
    if (at == 0) return toEnd ? LenB(source) : -1;
    depth += isClose ? -1 : 1;
    if (depth == 0) return at;
    pos = at + 1;
  }
}

// The first byte at or after `pos` that LTrim would keep.
int32_t SkipWhitespace(const String &text, int32_t pos) {
  for (;;) {
    String window = MidB(text, pos, 16);
    int32_t white = LenB(window) - LenB(corv::LTrim(window));
    pos += white;
    if (white < 16) return pos;
  }
}

// Where a tag's attribute text is read from: positions only move forward,
// so a tag with many attributes is read in one pass.
struct AttributeScan {
  const String &text;
  Finder equals, space, quote, lessThan, greaterThan, opens, closes;
  explicit AttributeScan(const String &t)
      : text(t),
        equals(t, "="),
        space(t, " "),
        quote(t, corv::Chr(34)),
        lessThan(t, "<"),
        greaterThan(t, ">"),
        opens(t, "<?"),
        closes(t, "?>") {}

  // The balanced "<...>" group starting at `pos`: its last byte.
  int32_t GroupEnd(int32_t pos) { return Balance(pos + 1, text, lessThan, greaterThan, true); }

  // The value after "=" at `*pos`; `*pos` moves past it and its quote.
  String Value(int32_t *pos) {
    String value;
    int32_t after;  // the first byte after the value
    if (MidB(text, *pos, 1) == corv::Chr(34)) {
      int32_t close = quote.At(*pos + 1);
      int32_t end = close > 0 ? close : LenB(text) + 1;
      value = MidB(text, *pos + 1, end - *pos - 1);
      int32_t balance = Count(&opens, *pos + 1, end) - Count(&closes, *pos + 1, end);
      // A quote inside an embedded instruction does not end the value.
      while (close > 0 && balance > 0) {
        int32_t next = quote.At(close + 1);
        end = next > 0 ? next : LenB(text) + 1;
        value += corv::Chr(34) + MidB(text, close + 1, end - close - 1);
        balance += Count(&opens, close + 1, end) - Count(&closes, close + 1, end);
        close = next;
      }
      after = close > 0 ? close + 1 : LenB(text) + 1;
    } else if (MidB(text, *pos, 1) == "<") {
      after = GroupEnd(*pos) + 1;
      value = MidB(text, *pos, after - *pos);
    } else {
      int32_t at = space.At(*pos);
      after = at > 0 ? at : LenB(text) + 1;
      value = MidB(text, *pos, after - *pos);
    }
    *pos = SkipWhitespace(text, after);
    return value;
  }

  // Occurrences that lie wholly in [from, end).
  static int32_t Count(Finder *finder, int32_t from, int32_t end) {
    int32_t count = 0;
    for (int32_t at = finder->At(from); at > 0 && at + finder->Length() <= end;
         at = finder->At(at + finder->Length()))
      ++count;
    return count;
  }
};

void StoreAttribute(Ref<Dictionary> &attributes, const String &name, const String &value) {
  if (name.empty()) return;
  if (!attributes) attributes = Dictionary::New();
  attributes->Value(name, value);
}

Ref<Dictionary> AttributesIfAny(const String &tagText) {
  Ref<Dictionary> attributes;
  String text = LineBreaksAsSpaces(tagText);
  int32_t space = InStrB(text, " ");
  int32_t lt = InStrB(text, "<");
  if (lt > 0 && (lt < space || space == 0)) {
    // A "<" right after the name starts the attribute text.
    text = Replace(text, "<", " <");
    space = InStrB(text, " ");
  }
  if (space == 0) return attributes;
  AttributeScan scan(text);
  int32_t length = LenB(text);
  for (int32_t pos = space + 1; pos <= length;) {
    String name;
    if (MidB(text, pos, 1) == "<") {
      name = MidB(text, pos, scan.GroupEnd(pos) - pos + 1);
    } else {
      int32_t equals = scan.equals.At(pos);
      name = equals > 0 ? MidB(text, pos, equals - pos) : MidB(text, pos);
    }
    pos = SkipWhitespace(text, pos + LenB(name));
    String value;
    if (MidB(text, pos, 1) == "=") {
      pos = SkipWhitespace(text, pos + 1);
      value = scan.Value(&pos);
    }
    // Words before the last one are attributes without a value; white space
    // before the "=" does not make the name empty.
    StringArray words = Split(corv::RTrim(name), " ");
    for (int32_t i = 0; i < words.UBound(); ++i)
      StoreAttribute(attributes, Trim(words(i)), String());
    StoreAttribute(attributes, words.UBound() >= 0 ? words(words.UBound()) : String(), value);
  }
  return attributes;
}

}  // namespace

int32_t BalanceCharacters(int32_t start, const String &source, const String &open,
                          const String &close, bool toEnd) {
  Finder opens(source, open), closes(source, close);
  return Balance(start, source, opens, closes, toEnd);
}

Ref<Dictionary> ExtractAttributes(const String &tagText) {
  Ref<Dictionary> attributes = AttributesIfAny(tagText);
  return attributes ? attributes : Dictionary::New();
}

void SetParent(const NodeRef &node, HTMLnode *newParent) {
  if (newParent == node.get() || newParent == node->parent) return;
  if (node->parent) node->parent->RemoveChild(node);
  newParent->AddChild(node);
}

}  // namespace kilnrun::PlistUtils
