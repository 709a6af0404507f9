// Parsing the command line into named and positional arguments.
#include "argument_processor.h"

#include "corv/class_decl.h"

namespace kilnrun {

using corv::String;

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

// The language's assignment to a String field of a record.
void Store(CORVstring *field, const String &text) {
  *field = RuntimeLockUnlockStrings(text.get(), *field);
}

using ArgumentArray = corv::Array<ArgumentValue *>;

corv::Ref<ArgumentValue> Append(const ArgumentArray &arguments, const String &name) {
  auto value = corv::New<ArgumentValue>(&kArgumentValueDecl);
  Store(&value->name, name);
  arguments.Append(value);
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
  String path = String::Share(value);
  if (path.empty()) path = String::Share(name);
  if (path.empty()) return nullptr;
  return corv::GetFolderItem(path);
}

void ArgumentProcessor::Process(CORVobject args, CORVobject wordOptions) {
  if (!args) RaiseNilObjectException();
  auto list = corv::StringArray::Share(args);
  auto words = corv::StringArray::Share(wordOptions);
  auto parsed = ArgumentArray::Share(arguments);
  int32_t last = list.UBound();
  Store(&executePath, last >= 0 ? list(0) : String());
  parsed.Redim(-1);
  bool haveWords = words && words.UBound() >= 0;
  corv::Ref<ArgumentValue> pending;
  for (int32_t i = 1; i <= last; ++i) {
    String a = list(i);
    if (Left(a, 1) == "-") {
      String rest = Mid(a, 2);
      if (Left(rest, 1) == "-") {
        rest = Mid(rest, 2);
      } else if (haveWords && words.IndexOf(rest) < 0) {
        // A cluster of one-letter options; the last letter goes on as named.
        int32_t length = Len(rest);
        for (int32_t j = 1; j < length; ++j) Append(parsed, Mid(rest, j, 1));
        rest = Right(rest, 1);
      }
      corv::Ref<ArgumentValue> named = Append(parsed, rest);
      int32_t equals = InStr(rest, "=");
      if (equals > 0) {
        Store(&named->name, Left(rest, equals - 1));
        Store(&named->value, Mid(rest, equals + 1));
        pending = nullptr;
      } else {
        pending = named;
      }
      continue;
    }
    if (pending && !String::Share(pending->name).empty()) {
      Store(&pending->value, a);
      pending = nullptr;
    } else {
      Store(&Append(parsed, String())->value, a);
    }
  }
}

void ArgumentProcessor::Process(CORVobject args) {
  Process(args, corv::NewArray<String>().object());
}

corv::Ref<ArgumentValue> ArgumentProcessor::Find(const String &name) {
  auto parsed = ArgumentArray::Share(arguments);
  int32_t last = parsed.UBound();
  for (int32_t i = 0; i <= last; ++i) {
    corv::Ref<ArgumentValue> item = parsed(i);
    if (String::Share(item->name) == name) return item;
  }
  for (int32_t i = 0; i <= last; ++i) {
    corv::Ref<ArgumentValue> item = parsed(i);
    if (String::Share(item->name).empty() && String::Share(item->value) == name) return item;
  }
  return nullptr;
}

String ArgumentProcessor::GetValue(const String &name, const String &fallback) {
  corv::Ref<ArgumentValue> found = Find(name);
  return found ? String::Share(found->value) : fallback;
}

int32_t ArgumentProcessor::Count() {
  return ArgumentArray::Share(arguments).UBound() + 1;
}

}  // namespace kilnrun
