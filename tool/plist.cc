// Reading, merging and writing property lists.
//
// In memory a property list is a Dictionary: a "dict" element maps key
// strings to values, an "array" element is a PlistArray (a Dictionary
// subclass) mapping 0, 1, 2, … to values. Values are Booleans, 64-bit
// integers, doubles, strings (UTF-8 text; "data" as bytes without an
// encoding; "date" as a Date in GMT) and nested dictionaries. Keys and text are
// kept as written, entities included, so writing gives them back unchanged.
#include "plist.h"

#include <cmath>
#include <string>
#include <string_view>

#include "corv/class_decl.h"
#include "corv/date.h"
#include "plugin_entries.h"

namespace kilnrun::PlistUtils {

using corv::Dictionary;
using corv::Ref;
using corv::String;
using corv::StringArray;
using corv::Variant;

const CORVclassDecl kPlistArrayDecl =
    corv::ClassDecl("PlistUtils.PlistArray", sizeof(CORVdictionary)).Super(&kDictionaryDecl);

Ref<Dictionary> NewPlistArray() {
  return corv::New<Dictionary>(&kPlistArrayDecl);
}

bool IsPlistArray(const Ref<Dictionary> &d) {
  if (CORVIsaDeclaration(d.object(), &kPlistArrayDecl)) return true;
  return d->Count() > 0 && d->Key(0).Type() == kVariantInt32;
}

namespace {

String ElementText(HTMLnode *element) {
  NodeRef text = element->NextText();
  return text ? text->Value() : String();
}

// Decimal text as a 64-bit integer: optional sign, digits, and whatever
// follows ignored; out-of-range values stop at the nearest limit.
int64_t Int64Value(const String &text) {
  String digits = Trim(text);
  std::string_view bytes = digits.view();
  size_t i = 0;
  bool negative = i < bytes.size() && bytes[i] == '-';
  if (i < bytes.size() && (bytes[i] == '-' || bytes[i] == '+')) ++i;
  uint64_t magnitude = 0;
  const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
  for (; i < bytes.size() && bytes[i] >= '0' && bytes[i] <= '9'; ++i) {
    uint64_t digit = static_cast<uint64_t>(bytes[i] - '0');
    magnitude = magnitude > (limit - digit) / 10 ? limit : magnitude * 10 + digit;
  }
  return negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
}

// Whether `text` is `word` (lower-case ASCII), case ignored as the
// language's comparison ignores it. Text of plain ASCII, nearly all element
// names and values, is compared in place rather than through a new string.
bool Is(const String &text, std::string_view word) {
  std::string_view bytes = text.view();
  bool ascii = text.encoding() == kEncodingUTF8;
  for (size_t i = 0; ascii && i < bytes.size(); ++i)
    ascii = static_cast<unsigned char>(bytes[i]) < 0x80;
  if (!ascii) return text == String(word);
  if (bytes.size() != word.size()) return false;
  for (size_t i = 0; i < bytes.size(); ++i) {
    char c =
        bytes[i] >= 'A' && bytes[i] <= 'Z' ? static_cast<char>(bytes[i] - 'A' + 'a') : bytes[i];
    if (c != word[i]) return false;
  }
  return true;
}

// Val reads no infinity or NaN, which writers spell as below.
double RealValue(const String &text) {
  String t = Trim(text);
  if (Is(t, "inf") || Is(t, "+inf") || Is(t, "infinity")) return HUGE_VAL;
  if (Is(t, "-inf") || Is(t, "-infinity")) return -HUGE_VAL;
  if (Is(t, "nan") || Is(t, "-nan")) return NAN;
  return corv::Val(t);
}

// Writers break Base64 into indented lines; the decoder wants it whole.
String Base64Text(const String &text) {
  String joined = text;
  for (int32_t code : {9, 10, 13, 32}) joined = ReplaceAll(joined, corv::Chr(code), "");
  return joined;
}

// The format's dates, "YYYY-MM-DDTHH:MM:SSZ" in GMT; any other text is kept
// as a string.
Variant DateValue(const String &text) {
  String t = Trim(text);
  std::string_view form = "dddd-dd-ddTdd:dd:ddZ";
  std::string_view bytes = t.view();
  bool matches = bytes.size() == form.size();
  for (size_t i = 0; matches && i < form.size(); ++i)
    matches = form[i] == 'd' ? bytes[i] >= '0' && bytes[i] <= '9' : bytes[i] == form[i];
  auto field = [&t](int32_t start, int32_t length) {
    return static_cast<int32_t>(corv::Val(MidB(t, start, length)));
  };
  // Out-of-range fields would roll over into another date, or another year
  // form, when written back.
  matches = matches && field(1, 4) >= 1 && field(6, 2) >= 1 && field(6, 2) <= 12 &&
            field(9, 2) >= 1 && field(9, 2) <= 31 && field(12, 2) <= 23 && field(15, 2) <= 59 &&
            field(18, 2) <= 59;
  if (!matches) return t;
  Ref<corv::Date> date = corv::Date::New();
  date->GMTOffset(0);
  date->Year(field(1, 4));
  date->Month(field(6, 2));
  date->Day(field(9, 2));
  date->Hour(field(12, 2));
  date->Minute(field(15, 2));
  date->Second(field(18, 2));
  return date;  // a Date object makes a Date variant
}

// The same instant in the format's own form.
String DateText(CORVobject object) {
  auto source = Ref<corv::Date>::Share(object);
  Ref<corv::Date> inGMT = corv::Date::New();
  inGMT->GMTOffset(source->GMTOffset());
  inGMT->TotalSeconds(source->TotalSeconds());
  inGMT->GMTOffset(0);
  return ReplaceAll(inGMT->SQLDateTime(), " ", "T") + "Z";
}

bool IsElement(HTMLnode *node) {
  return !node->comment && !node->processingInstruction && !node->isCloseTag &&
         !node->Name().empty();
}

Variant ElementValue(HTMLnode *element) {
  String name = element->Name();
  if (element->emptyTag) {
    // What writers emit for empty containers and strings keeps its type.
    if (Is(name, "dict")) return Dictionary::New();
    if (Is(name, "array")) return NewPlistArray();
    if (Is(name, "string")) return String("");
    return Is(name, "true");
  }
  if (Is(name, "array")) return ParsePlistValue(element, true);
  if (Is(name, "dict")) return ParsePlistValue(element, false);
  String text = ElementText(element);
  if (Is(name, "integer")) return Int64Value(text);
  if (Is(name, "real")) return RealValue(text);
  if (Is(name, "data")) return Base64Decode(Base64Text(text));
  if (Is(name, "date")) return DateValue(text);
  return corv::ConvertEncoding(text, kEncodingUTF8);
}

// Where the lines of a written list go. Lines joins strings as the
// language does, reconciling the encodings of the pieces; Buffer puts the
// bytes in one buffer when every piece is UTF-8 (or plain ASCII), as
// nearly all are, and gives up at the first piece that is not: the list is
// then written again through Lines.
class Lines {
 public:
  void Add(std::string_view line) { lines_.Append(String(line)); }
  void Add(std::string_view before, const String &middle, std::string_view after) {
    lines_.Append(String(before) + middle + String(after));
  }
  String Text() {
    lines_.Append(String());  // the final line feed
    return corv::DefineEncoding(Join(lines_, corv::Chr(10)), kEncodingUTF8);
  }

 private:
  StringArray lines_ = corv::NewArray<String>();
};

class Buffer {
 public:
  void Add(std::string_view line) {
    text_.append(line);
    text_ += '\n';
  }
  void Add(std::string_view before, const String &middle, std::string_view after) {
    if (!IsUTF8Bytes(middle)) plain_ = false;
    if (!plain_) return;
    text_.append(before);
    text_.append(middle.view());
    Add(after);
  }
  bool plain() const { return plain_; }
  String Text() const { return String(text_); }

 private:
  static bool IsUTF8Bytes(const String &s) {
    if (s.empty() || s.encoding() == kEncodingUTF8) return true;
    if (s.encoding() != kEncodingASCII) return false;
    for (char c : s.view())
      if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
  }

  std::string text_;
  bool plain_ = true;
};

template <class Out>
void AppendContainer(const Ref<Dictionary> &d, Out &out);

template <class Out>
void AppendScalar(const Variant &value, Out &out) {
  switch (value.Type()) {
    case kVariantBoolean:
      return out.Add(value.BooleanValue() ? "<true />" : "<false />");
    case kVariantInt32:
    case kVariantInt64:
      return out.Add("<integer>", value.StringValue(), "</integer>");
    case kVariantSingle:
    case kVariantDouble:
    case kVariantCurrency:
      return out.Add("<real>", value.StringValue(), "</real>");
    case kVariantDate:
      return out.Add("<date>", DateText(value.ObjectValue()), "</date>");
    case kVariantObject:
      if (CORVIsaDeclaration(value.ObjectValue(), &kDictionaryDecl))
        return AppendContainer(Ref<Dictionary>::Share(value.ObjectValue()), out);
      break;
    default:
      break;
  }
  String text = value.Type() == kVariantString ? value.StringValue() : String();
  if (!text.empty() && text.encoding() == kEncodingUnknown)
    return out.Add("<data>", EncodeBase64(text, 76), "</data>");
  out.Add("<string>", corv::ConvertEncoding(text, kEncodingUTF8), "</string>");
}

template <class Out>
void AppendContainer(const Ref<Dictionary> &d, Out &out) {
  bool isArray = IsPlistArray(d);
  int32_t count = d->Count();
  if (count == 0) return out.Add(isArray ? "<array/>" : "<dict/>");
  out.Add(isArray ? "<array>" : "<dict>");
  for (int32_t i = 0; i < count; ++i) {
    if (!isArray) out.Add("<key>", d->Key(i).StringValue(), "</key>");
    AppendScalar(d->ValueByIndex(i), out);
  }
  out.Add(isArray ? "</array>" : "</dict>");
}

template <class Out>
String WriteTo(const Ref<Dictionary> &plist, Out &out) {
  out.Add("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
  out.Add(
      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
      "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">");
  out.Add("<plist version=\"1.0\">");
  AppendContainer(plist, out);
  out.Add("</plist>");
  return out.Text();
}

}  // namespace

Ref<Dictionary> ParsePlistValue(HTMLnode *element, bool asArray) {
  Ref<Dictionary> result = asArray ? NewPlistArray() : Dictionary::New();
  NodeArray children = element->Children();
  Variant key;
  bool haveKey = false;
  for (int32_t i = 0; i <= children.UBound(); ++i) {
    NodeRef child = children(i);
    if (!IsElement(child.get())) continue;  // comments and stray text are not values
    if (!asArray && Is(child->Name(), "key")) {
      key = ElementText(child.get());
      haveKey = true;
    } else if (asArray) {
      result->Value(result->Count(), ElementValue(child.get()));
    } else if (haveKey) {
      result->Value(key, ElementValue(child.get()));
    }
  }
  return result;
}

Ref<Dictionary> ParsePlist(const String &text) {
  // Text of no declared encoding (an archive member, a file read as it is)
  // is the UTF-8 property lists are written in; taken as bytes, every string
  // of the list would be written back as data.
  NodeRef root = HTMLnode::New(
      text.encoding() == kEncodingUnknown ? corv::DefineEncoding(text, kEncodingUTF8) : text,
      false);
  NodeRef plist = root->FindTag("plist", String(), String());
  if (!plist) return nullptr;
  NodeArray children = plist->Children();
  for (int32_t i = 0; i <= children.UBound(); ++i) {
    NodeRef child = children(i);
    if (!IsElement(child.get())) continue;
    Variant value = ElementValue(child.get());
    if (CORVIsaDeclaration(value.ObjectValue(), &kDictionaryDecl))
      return Ref<Dictionary>::Share(value.ObjectValue());
    break;  // a scalar at the top: nothing to merge into
  }
  return Dictionary::New();
}

String WritePlist(const Ref<Dictionary> &plist) {
  if (!plist) RaiseNilObjectException();
  Buffer buffer;
  String text = WriteTo(plist, buffer);
  if (buffer.plain()) return text;
  Lines lines;
  return WriteTo(plist, lines);
}

Ref<Dictionary> MergePlist(const Ref<Dictionary> &a, const Ref<Dictionary> &b) {
  if (!a || !b) RaiseNilObjectException();
  Ref<Dictionary> merged =
      CORVIsaDeclaration(a.object(), &kPlistArrayDecl) ? NewPlistArray() : Dictionary::New();
  for (int32_t i = 0; i < a->Count(); ++i) {
    Variant key = a->Key(i);
    merged->Value(key, b->HasKey(key) ? b->Value(key) : a->ValueByIndex(i));
  }
  for (int32_t i = 0; i < b->Count(); ++i) {
    Variant key = b->Key(i);
    if (!merged->HasKey(key)) merged->Value(key, b->ValueByIndex(i));
  }
  return merged;
}

}  // namespace kilnrun::PlistUtils
