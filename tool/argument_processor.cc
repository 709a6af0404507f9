// Parsing the command line into named and positional arguments.
#include "argument_processor.h"

#include "corv/class_decl.h"

namespace kilnrun {
namespace {

void ArgumentValueFinalizer(CORVobject obj) {
  auto *self = reinterpret_cast<ArgumentValue *>(obj);
  RuntimeUnlockString(self->name);
  RuntimeUnlockString(self->value);
  self->name = self->value = nullptr;
}

void ArgumentProcessorInitializer(CORVobject obj) {
  reinterpret_cast<ArgumentProcessor *>(obj)->arguments = CreateArray(1, kCORVArrayObject, -1);
}

void ArgumentProcessorFinalizer(CORVobject obj) {
  auto *self = reinterpret_cast<ArgumentProcessor *>(obj);
  RuntimeUnlockObject(self->arguments);
  RuntimeUnlockString(self->executePath);
  self->arguments = nullptr;
  self->executePath = nullptr;
}

void SetString(CORVstring *field, const std::string &text) {
  CORVstring s = RuntimeCreateString(text.data(), static_cast<int32_t>(text.size()), kEncodingUTF8);
  RuntimeUnlockString(*field);
  *field = s;
}

// The length in bytes of the UTF-8 character that starts at `at`.
size_t CharacterLength(const std::string &text, size_t at) {
  size_t length = 1;
  while (at + length < text.size() &&
         (static_cast<unsigned char>(text[at + length]) & 0xC0) == 0x80)
    ++length;
  return length;
}

corv::Ref<ArgumentValue> Append(CORVobject arguments, const std::string &name) {
  auto value = corv::New<ArgumentValue>(&kArgumentValueDecl);
  SetString(&value->name, name);
  CORVArrayAppendObject(arguments, value.object());
  return value;
}

}  // namespace

const CORVclassDecl kArgumentValueDecl =
    corv::ClassDecl("ArgumentValue", sizeof(ArgumentValue)).Finalizer(ArgumentValueFinalizer);

const CORVclassDecl kArgumentProcessorDecl =
    corv::ClassDecl("ArgumentProcessor", sizeof(ArgumentProcessor))
        .Initializer(ArgumentProcessorInitializer)
        .Finalizer(ArgumentProcessorFinalizer);

corv::Ref<corv::FolderItem> ArgumentValue::FolderItemValue() {
  CORVstring path = CORVStringLength(value) > 0 ? value : name;
  if (CORVStringLength(path) == 0) return nullptr;
  return corv::GetFolderItem(corv::String::Share(path));
}

void ArgumentProcessor::Process(CORVobject args, CORVobject wordOptions) {
  if (!args) RaiseNilObjectException();
  int32_t last = RuntimeUBound(args);
  CORVstring program = last >= 0 ? CORVArrayStringAt(args, 0) : nullptr;
  RuntimeUnlockString(executePath);
  executePath = program;
  CORVArrayRedim(arguments, -1);
  bool haveWords = wordOptions && RuntimeUBound(wordOptions) >= 0;
  corv::Ref<ArgumentValue> pending;
  for (int32_t i = 1; i <= last; ++i) {
    String a = String::Adopt(CORVArrayStringAt(args, i));
    std::string text = a.bytes();
    if (!text.empty() && text[0] == '-') {
      std::string rest = text.substr(1);
      if (!rest.empty() && rest[0] == '-') {
        rest = rest.substr(1);
      } else if (haveWords) {
        String word(rest);
        if (CORVArrayIndexOfString(wordOptions, word.get(), 0) < 0 && !rest.empty()) {
          // A cluster of one-letter options; the last letter goes on as named.
          size_t at = 0;
          size_t length = CharacterLength(rest, at);
          while (at + length < rest.size()) {
            Append(arguments, rest.substr(at, length));
            at += length;
            length = CharacterLength(rest, at);
          }
          rest = rest.substr(at);
        }
      }
      corv::Ref<ArgumentValue> named = Append(arguments, rest);
      size_t equals = rest.find('=');
      if (equals != std::string::npos) {
        SetString(&named->name, rest.substr(0, equals));
        SetString(&named->value, rest.substr(equals + 1));
        pending = nullptr;
      } else {
        pending = named;
      }
      continue;
    }
    if (pending && CORVStringLength(pending->name) > 0) {
      SetString(&pending->value, text);
      pending = nullptr;
    } else {
      corv::Ref<ArgumentValue> positional = Append(arguments, "");
      SetString(&positional->value, text);
    }
  }
}

void ArgumentProcessor::Process(CORVobject args) {
  corv::Ref<> none = corv::Ref<>::Adopt(CreateArray(1, kCORVArrayString, -1));
  Process(args, none.object());
}

corv::Ref<ArgumentValue> ArgumentProcessor::Find(const String &name) {
  int32_t last = RuntimeUBound(arguments);
  for (int32_t i = 0; i <= last; ++i) {
    auto item = corv::Ref<ArgumentValue>::Adopt(CORVArrayObjectAt(arguments, i));
    if (RuntimeStringCompare(item->name, name.get()) == 0) return item;
  }
  for (int32_t i = 0; i <= last; ++i) {
    auto item = corv::Ref<ArgumentValue>::Adopt(CORVArrayObjectAt(arguments, i));
    if (CORVStringLength(item->name) == 0 && RuntimeStringCompare(item->value, name.get()) == 0)
      return item;
  }
  return nullptr;
}

String ArgumentProcessor::GetValue(const String &name, const String &fallback) {
  corv::Ref<ArgumentValue> found = Find(name);
  return found ? String::Share(found->value) : fallback;
}

int32_t ArgumentProcessor::Count() {
  return RuntimeUBound(arguments) + 1;
}

}  // namespace kilnrun
