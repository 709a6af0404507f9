// Shell objects through the plugin entries.
#include "shell.h"

#include "corv/class_decl.h"
#include "corv_shell.h"
#include "plugin_entries.h"

namespace kilnrun {
namespace {

// The constructor and destructor are plugin entries too; when the plugin is
// missing the object stays empty and each member call raises.
void ShellInitializer(CORVobject self) {
  if (auto init = reinterpret_cast<CORVobjectFunction>(PluginFunction(kShellInit))) init(self);
}

void ShellDestructor(CORVobject self) {
  if (auto exit = reinterpret_cast<CORVobjectFunction>(PluginFunction(kShellExit))) exit(self);
}

}  // namespace

const CORVclassDecl kShellDecl = corv::ClassDecl("Shell", CORV_SHELL_INSTANCE_SIZE)
                                     .Initializer(ShellInitializer)
                                     .Destructor(ShellDestructor);

Shell::Shell() : shell_(corv::New<>(&kShellDecl)) {}

void Shell::Execute(const corv::String &command) {
  auto execute =
      reinterpret_cast<void (*)(CORVobject, CORVstring)>(RequirePluginFunction(kShellExecute));
  execute(shell_.object(), command.get());
}

corv::String Shell::Result() {
  auto result =
      reinterpret_cast<CORVstring (*)(CORVobject)>(RequirePluginFunction(kShellResultGet));
  return corv::String::Adopt(result(shell_.object()));
}

void Shell::SetMode(int32_t mode) {
  auto setMode =
      reinterpret_cast<void (*)(CORVobject, int32_t)>(RequirePluginFunction(kShellModeSet));
  setMode(shell_.object(), mode);
}

}  // namespace kilnrun
