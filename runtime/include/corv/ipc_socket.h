// IPCSocket as the application uses it: Ref<IPCSocket> with the language's
// members. Each member is the entry point of the same meaning; events are
// the class's (or a subclass's) handlers, raised from Poll.
#pragma once

#include <cstdint>

#include "corv/ref.h"
#include "corv/string.h"
#include "corv_ipc_socket.h"

namespace corv {

/// The IPC socket record with the language's members (it adds no fields).
struct IPCSocket : CORVipcSocket {
  /// new IPCSocket, or an instance of a subclass declared over kIPCSocketDecl.
  static Ref<IPCSocket> New(const CORVclassDecl *decl = &kIPCSocketDecl) {
    return corv::New<IPCSocket>(decl);
  }

  String Path() { return String::Adopt(IPCSocketPathGetter(self())); }
  void SetPath(const String &path) { IPCSocketPathSetter(self(), path.get()); }
  void Connect() { IPCSocketConnect(self()); }
  void Listen() { IPCSocketListen(self()); }
  void Poll() { IPCSocketPoll(self()); }
  void Write(const String &data) { IPCSocketWrite(self(), data.get()); }
  String Read(int32_t count, CORVobject encoding = nullptr) {
    return String::Adopt(IPCSocketRead(self(), count, encoding));
  }
  String ReadAll(CORVobject encoding = nullptr) {
    return String::Adopt(IPCSocketReadAll(self(), encoding));
  }
  String Lookahead(CORVobject encoding = nullptr) {
    return String::Adopt(IPCSocketLookahead(self(), encoding));
  }
  int32_t BytesAvailable() { return IPCSocketBytesAvailable(self()); }
  int32_t BytesLeftToSend() { return IPCSocketBytesLeftToSend(self()); }
  bool IsConnected() { return IPCSocketIsConnected(self()); }
  /// EOF (named in full here: EOF is a macro of the C library).
  bool EndOfFile() { return IPCSocketEOF(self()); }
  void Flush() { IPCSocketFlush(self()); }
  void Close() { IPCSocketClose(self()); }
  int32_t LastErrorCode() { return IPCSocketLastErrorGetter(self()); }
  intptr_t Handle() { return IPCSocketGetHandle(self()); }

 private:
  CORVobject self() { return reinterpret_cast<CORVobject>(this); }
};

/// The loopback port both ends derive from `path`.
inline uint16_t IPCSocketPort(const String &path) {
  return CORVIPCSocketPort(path.get());
}

}  // namespace corv
