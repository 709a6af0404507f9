// corvane-ide-sim: a console program of this runtime that stands in for the
// Corvane IDE. Its listening IPCSocket becomes the connection it accepts, so
// each accepted connection is handed on and a new socket listens at once;
// every step happens in DoEvents, which polls all of them.
#include <string>
#include <vector>

#include "corv.h"
#include "corv/application.h"
#include "corv/class_decl.h"
#include "corv/console.h"
#include "corv/date.h"
#include "corv/exception.h"
#include "corv/folder_item.h"
#include "corv/ipc_socket.h"
#include "corvane_ide.h"
#include "platform/detach.h"
#include "stand_in_ide.h"

namespace {

struct Server {
  idesim::Options options;
  idesim::StandInIDE *ide = nullptr;
  corv::String path;
  corv::Ref<corv::IPCSocket> listener;
  std::vector<corv::Ref<corv::IPCSocket>> connections;
  int served = 0;
  bool failed = false;
};
Server *gServer = nullptr;

void OnAccepted(CORVobject listener);
const CORVhandlerDecl kListenerHandlers[] = {{"Connected", reinterpret_cast<void *>(&OnAccepted)}};
const CORVclassDecl kListenerDecl = corv::ClassDecl("IDESimListener", sizeof(CORVipcSocket))
                                        .Super(&kIPCSocketDecl)
                                        .Handlers(kListenerHandlers);

// Starts listening; false (with the reason on standard error) when it cannot.
bool Listen(Server &server) {
  server.listener = corv::IPCSocket::New(&kListenerDecl);
  server.listener->SetPath(server.path);
  server.listener->Listen();
  int32_t error = server.listener->LastErrorCode();
  if (error == 0) return true;
  corv::String where = corv::Str(corv::IPCSocketPort(server.path)) + " (of " + server.path + ")";
  if (error == 48)
    idesim::Complain(corv::String("port ") + where +
                     " is taken: an IDE or another stand-in is already listening there.");
  else
    idesim::Complain(corv::String("cannot listen at port ") + where + ": error " +
                     corv::Str(error));
  server.listener = nullptr;
  return false;
}

// The listener that just accepted is a connection now; another one listens.
void OnAccepted(CORVobject) {
  Server &server = *gServer;
  server.connections.push_back(server.listener);
  if (!Listen(server)) server.failed = true;
}
void Log(const Server &server, const std::string &script) {
  if (server.options.logPath.empty()) return;
  corv::Ref<corv::FolderItem> file = corv::GetFolderItem(corv::String(server.options.logPath));
  corv::Ref<corv::TextOutputStream> out = file ? file->AppendToTextFile() : nullptr;
  if (!out) out = file ? file->CreateTextFile() : nullptr;
  if (!out) return;
  std::string time(corv::Date::New()->SQLDateTime().view());
  out->Write(corv::String("{\"time\":" + idesim::JsonString(time) +
                          ",\"script\":" + idesim::JsonString(script) + "}\n"));
  out->Close();
}

// Runs the script of every connection whose peer has closed.
void ServeFinishedConnections(Server &server) {
  for (size_t i = 0; i < server.connections.size();) {
    corv::Ref<corv::IPCSocket> connection = server.connections[i];
    if (connection->IsConnected()) {
      ++i;
      continue;
    }
    std::string script(connection->ReadAll().view());
    connection->Close();
    server.connections.erase(server.connections.begin() + static_cast<ptrdiff_t>(i));
    if (!script.empty()) {  // an empty one was an availability check
      Log(server, script);
      server.ide->RunScript(script);
    }
    ++server.served;
  }
}

std::vector<std::string> Arguments(CORVobject args) {
  std::vector<std::string> out;
  for (int32_t i = 0; i <= RuntimeUBound(args); ++i)
    out.emplace_back(corv::String::Adopt(CORVArrayStringAt(args, i)).view());
  return out;
}

int32_t SimRun(CORVobject, CORVobject args) {
  Server server;
  bool help = false;
  std::string error;
  if (!idesim::ParseOptions(Arguments(args), server.options, help, error)) {
    idesim::Complain(corv::String(std::string_view(error)));
    corv::StdErr()->WriteLine(idesim::kUsage);
    return 1;
  }
  if (help) {
    corv::Print(idesim::kUsage);
    return 0;
  }
  server.path = server.options.socketPath.empty()
                    ? kilnrun::CorvaneIDE::SocketPath()
                    : corv::String(std::string_view(server.options.socketPath));
  gServer = &server;
  if (!Listen(server)) return 1;
  corv::Print(corv::String("corvane-ide-sim: listening at port ") +
              corv::Str(corv::IPCSocketPort(server.path)) + " (" + server.path + ")");
  if (!server.options.foreground && !corv::platform::DetachProcess().ok()) {
    idesim::Complain("cannot detach; use --foreground");
    return 1;
  }
  idesim::StandInIDE ide(server.options);
  server.ide = &ide;
  while (!server.failed) {
    RuntimeDoEvents(5);
    ServeFinishedConnections(server);
    ide.FinishDueBuilds();
    if (server.options.exitAfter > 0 && server.served >= server.options.exitAfter &&
        !ide.BuildsPending())
      break;
  }
  server.connections.clear();
  server.listener = nullptr;
  gServer = nullptr;
  return server.failed ? 1 : 0;
}

void Wrapper(CORVobject app, CORVAppFunction function) {
  CORVCallFunctionWithExceptionHandling(app, function);
}
const CORVmethodDecl kMethods[] = {
    {"_CallFunctionWithExceptionHandling", "%%p", reinterpret_cast<void *>(&Wrapper)}};
const CORVhandlerDecl kHandlers[] = {{"Run", reinterpret_cast<void *>(&SimRun)}};
const CORVclassDecl kSimAppDecl = corv::ClassDecl("CorvaneIDESim", sizeof(CORVconsoleApplication))
                                      .Super(&kConsoleApplicationDecl)
                                      .Methods(kMethods)
                                      .Handlers(kHandlers);

void SimEntry() {
  RuntimeInit();
  CORVBindDeclaration(&kSimAppDecl);
  CORVBindDeclaration(&kListenerDecl);
  corv::RunConsoleApplication(&kSimAppDecl);
}

}  // namespace

int main(int argc, char **argv) {
  CORVSetImageEntry(&SimEntry);
  return CORVProcessMain(argc, argv);
}
