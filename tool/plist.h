// Property lists: reading XML property-list text into nested dictionaries,
// merging two of them and writing them back.
#pragma once

#include "corv/dictionary.h"
#include "corv/ref.h"
#include "corv/string.h"
#include "html_node.h"

namespace kilnrun::PlistUtils {

/// A dictionary that stands for an "array" element: integer keys 0, 1, 2, …
/// It is its own class so that an empty array stays an array when written.
extern const CORVclassDecl kPlistArrayDecl;
/// A new, empty array dictionary.
corv::Ref<corv::Dictionary> NewPlistArray();
/// True when `d` came from an "array" element (or NewPlistArray), or holds
/// an integer as its first key.
bool IsPlistArray(const corv::Ref<corv::Dictionary> &d);

/// The top-level container of the first "plist" element; nil when the text
/// has none (an empty plist element gives an empty dictionary).
corv::Ref<corv::Dictionary> ParsePlist(const corv::String &text);
/// The children of a "dict" (asArray false) or "array" element.
corv::Ref<corv::Dictionary> ParsePlistValue(HTMLnode *element, bool asArray);
/// XML property-list text, lines ending in a line feed.
corv::String WritePlist(const corv::Ref<corv::Dictionary> &plist);
/// `a`'s keys in order with `b`'s values winning, then `b`'s other keys;
/// only the top level is merged. Nil for either raises NilObjectException.
corv::Ref<corv::Dictionary> MergePlist(const corv::Ref<corv::Dictionary> &a,
                                       const corv::Ref<corv::Dictionary> &b);

}  // namespace kilnrun::PlistUtils
