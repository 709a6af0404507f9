// PlistUtils.HTMLnode: the forgiving markup tree that property lists are
// read through; one node class for the root, elements, text, comments and
// processing instructions.
#pragma once

#include "corv.h"
#include "corv/dictionary.h"
#include "corv/ref.h"
#include "corv/string.h"

namespace kilnrun::PlistUtils {

struct HTMLnode;
using NodeRef = corv::Ref<HTMLnode>;
using NodeArray = corv::Array<HTMLnode *>;

/// A node of the tree. `children` owns the nodes under it; `parent` is not
/// counted (a node is kept alive by its parent's list, not the reverse).
struct HTMLnode {
  CORVobjectHeader header;
  CORVobject children;  // array of HTMLnode; nil until asked for (text has none)
  HTMLnode *parent;     // nil for the root; borrowed
  bool comment;
  bool hasCloseTag;
  bool whitespace;
  CORVstring name;
  bool processingInstruction;
  CORVstring value;
  CORVobject tagAttributes;  // Dictionary: attribute name -> value; nil until there is one
  bool emptyTag;
  bool isCloseTag;

  /// A new root that has parsed `text`.
  static NodeRef New();
  static NodeRef New(const corv::String &text, bool keepWhitespace);

  /// Parses `text` and hangs the nodes under this node.
  void Parse(const corv::String &text, bool keepWhitespace);
  /// Depth first, this node first: the first element named `tagName` that,
  /// when `attributeName` is not empty, holds that attribute with that value.
  NodeRef FindTag(const corv::String &tagName, const corv::String &attributeName,
                  const corv::String &attributeValue);
  /// Every element named `tagName` here and below, in document order.
  void FindTagList(const corv::String &tagName, const NodeArray &list, bool reset);
  corv::String Render(bool withMarkup);
  /// This node rendered and parsed again (white space kept).
  NodeRef Clone();
  /// This node when it is text, else the first text node below it.
  NodeRef NextText();
  /// Replaces the children by one text node.
  void SetValue(const corv::String &text);
  corv::String GetValue();
  bool IsText(bool allowWhitespace);
  void AddChild(const NodeRef &node);
  void RemoveChild(const NodeRef &node);
  int32_t ChildCount();
  NodeRef Child(int32_t index);
  NodeRef SiblingLeft();
  NodeRef SiblingRight();

  corv::String Name() { return corv::String::Share(name); }
  corv::String Value() { return corv::String::Share(value); }
  /// The attributes, made empty on first use: most nodes of a parsed
  /// document (text, and elements written without attributes) never need one.
  corv::Ref<corv::Dictionary> Attributes() {
    if (!tagAttributes) tagAttributes = corv::AsObject(corv::Dictionary::New().Leak());
    return corv::Ref<corv::Dictionary>::Share(tagAttributes);
  }
  NodeArray Children() {
    if (!children) children = CreateArray(1, kCORVArrayObject, -1);
    return NodeArray::Share(children);
  }
};
extern const CORVclassDecl kHTMLnodeDecl;

/// The first `find` at or after byte `start` not inside `quote` characters
/// (counted from the start of `source`); when none: LenB(source) if
/// `endIfMissing`, else 0.
int32_t InstrHonorQuotes(int32_t start, const corv::String &source, const corv::String &find,
                         int32_t quote, bool endIfMissing);
/// The byte position where the group opened before `start` closes (depth
/// starts at 1); when the markers run out, LenB(source) if `toEnd`, else -1.
int32_t BalanceCharacters(int32_t start, const corv::String &source, const corv::String &open,
                          const corv::String &close, bool toEnd);
/// The byte position of whichever of `a` and `b` comes first from `start`
/// (`b` on a tie; 0 for neither); `whichIsB` tells which it was.
int32_t InstrEither(int32_t start, const corv::String &source, const corv::String &a,
                    const corv::String &b, bool *whichIsB);
/// The attributes of a start tag's text (without "<" and ">").
corv::Ref<corv::Dictionary> ExtractAttributes(const corv::String &tagText);
/// Moves `node` to the end of `newParent`'s children.
void SetParent(const NodeRef &node, HTMLnode *newParent);

}  // namespace kilnrun::PlistUtils
