// IPCSocket: a loopback byte stream whose every step happens inside Poll.
//
// The transport holds one handle and the flags that say what it is doing:
// no handle (closed), a handle that is neither connected nor listening
// (connecting), connected, or listening. Every path that gives up a
// connection closes the handle first and then raises Error, so a handler
// always sees the final state and a later Poll does nothing. Received bytes
// stay readable after the connection is gone; Close drops both buffers.
//
// A listening socket that accepts becomes that connection; a server that
// wants the next one listens again from its Connected handler, and takes
// over the very listening handle, so connections already waiting are kept.
//
// Events run application code, which may Close, Connect or Listen again, or
// drop its last reference: a pass holds a reference on the socket and stops
// as soon as the handle it started with is no longer the socket's.
#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "core/event_loop.h"
#include "corv.h"
#include "corv/class_decl.h"
#include "corv/ref.h"
#include "lib/stream_file.h"
#include "platform/clock.h"
#include "platform/error_codes.h"
#include "platform/socket.h"

namespace {

using corv::platform::kNoSocket;
using corv::platform::SocketHandle;

constexpr size_t kReceivePerPoll = 8192;
constexpr size_t kSendPerPoll = 65536;
constexpr size_t kScratchSize = 1 << 20;

// A growable byte buffer read from the front: consumed bytes are skipped and
// the storage is compacted only once they outweigh the rest, so draining a
// large buffer in small pieces costs linear time.
class ByteQueue {
 public:
  size_t size() const { return bytes_.size() - start_; }
  const char *data() const { return bytes_.data() + start_; }
  void Append(const char *bytes, size_t count) {
    bytes_.insert(bytes_.end(), bytes, bytes + count);
  }
  void Consume(size_t count) {
    start_ += count;
    if (start_ == bytes_.size()) {
      Clear();
    } else if (start_ > bytes_.size() / 2) {
      bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<ptrdiff_t>(start_));
      start_ = 0;
    }
  }
  void Clear() {
    bytes_.clear();
    start_ = 0;
  }

 private:
  std::vector<char> bytes_;
  size_t start_ = 0;
};

// Bytes written and not yet sent: the written strings themselves, each
// holding a reference, so a large Write costs no copy. `offset` bytes of the
// first string have left already.
class SendQueue {
 public:
  ~SendQueue() { Clear(); }
  size_t size() const { return total_; }
  void Append(CORVstring s) {
    strings_.push_back(RuntimeLockString(s));
    total_ += CORVStringLength(s);
  }
  /// The next bytes in at most `limit` bytes over at most `most` runs.
  size_t Runs(corv::platform::ByteRun *runs, size_t most, size_t limit) const {
    size_t count = 0, offset = offset_;
    for (auto it = strings_.begin(); it != strings_.end() && count < most && limit > 0; ++it) {
      size_t take = std::min<size_t>(CORVStringLength(*it) - offset, limit);
      runs[count++] = {CORVStringBytes(*it) + offset, take};
      limit -= take;
      offset = 0;
    }
    return count;
  }
  void Consume(size_t count) {
    total_ -= count;
    while (count > 0) {
      size_t left = CORVStringLength(strings_.front()) - offset_;
      if (count < left) {
        offset_ += count;
        return;
      }
      count -= left;
      RuntimeUnlockString(strings_.front());
      strings_.pop_front();
      offset_ = 0;
    }
  }
  void Clear() {
    for (CORVstring s : strings_) RuntimeUnlockString(s);
    strings_.clear();
    offset_ = total_ = 0;
  }

 private:
  std::deque<CORVstring> strings_;
  size_t offset_ = 0;
  size_t total_ = 0;
};

// Received bytes land here first; one buffer serves every socket because
// only one Poll runs at a time.
char *ScratchBuffer() {
  static std::unique_ptr<char[]> scratch(new char[kScratchSize]);
  return scratch.get();
}

// A listening handle given up by an accept, while the socket's Connected
// handler runs: a handler that listens again at the same port takes it
// over, so connections already waiting on it are served instead of reset.
// Closed after the handler when nobody took it.
struct HandedOver {
  SocketHandle handle = kNoSocket;
  uint16_t port = 0;
} gHandedOver;

// Every IPCSocket alive, for the event loop's socket poll (not counted: a
// socket leaves the list when it is freed).
std::vector<CORVipcSocket *> gSockets;

}  // namespace

struct CORVipcTransport {
  SocketHandle handle = kNoSocket;
  bool connected = false;
  bool listening = false;
  bool sendPending = false;
  bool ipcPath = false;
  bool polling = false;  // a handler that polls again must not nest a pass
  uint16_t port = 0;
  uint64_t sentTotal = 0;
  ByteQueue received;
  SendQueue toSend;
};

namespace {

CORVipcSocket *AsSocket(CORVobject obj) {
  if (!obj) RaiseNilObjectException();
  return reinterpret_cast<CORVipcSocket *>(obj);
}

// The transport, or null (reported) when the object has none.
CORVipcTransport *TransportOf(CORVipcSocket *s) {
  if (!s->transport) CORV_REPORT("ctl->mImp", nullptr);
  return s->transport;
}

void Raise(CORVipcSocket *s, int32_t eventIndex) {
  if (eventIndex < 0) return;
  auto obj = corv::AsObject(s);
  auto handler = reinterpret_cast<CORVIPCSocketEventHandler>(
      CORVEventHandler(obj, static_cast<uint32_t>(eventIndex)));
  if (handler) handler(obj);
}

void RaiseError(CORVipcSocket *s, int32_t code) {
  s->lastError = code;
  Raise(s, s->sink.error);
}

void CloseHandle(CORVipcTransport *t) {
  if (t->handle != kNoSocket) corv::platform::CloseSocket(t->handle);
  t->handle = kNoSocket;
  t->connected = t->listening = false;
}

// The connection is over: closed first, then reported.
void GiveUp(CORVipcSocket *s, int32_t code) {
  CloseHandle(s->transport);
  RaiseError(s, code);
}

void Connected(CORVipcSocket *s) {
  s->transport->connected = true;
  Raise(s, s->sink.connected);
}

void SendSome(CORVipcSocket *s) {
  CORVipcTransport *t = s->transport;
  corv::platform::ByteRun runs[16];
  size_t runCount = t->toSend.Runs(runs, std::size(runs), kSendPerPoll);
  auto sent = corv::platform::SendBytes(t->handle, runs, runCount);
  if (!sent.ok()) {
    if (corv::platform::WouldBlock(sent.error)) return;
    // A peer that went away mid-send is a lost connection, not a dead process.
    GiveUp(s, corv::platform::ConnectionLost(sent.error)
                  ? kIPCSocketConnectionLost
                  : corv::platform::SocketErrorCode(sent.error));
    return;
  }
  t->toSend.Consume(sent.value);
  t->sentTotal += sent.value;
  t->sendPending = t->toSend.size() > 0;
}

void Receive(CORVipcSocket *s) {
  CORVipcTransport *t = s->transport;
  char *scratch = ScratchBuffer();
  auto got = corv::platform::ReceiveBytes(t->handle, scratch, kReceivePerPoll);
  if (!got.ok()) {
    if (corv::platform::WouldBlock(got.error)) return;
    GiveUp(s, corv::platform::ConnectionLost(got.error)
                  ? kIPCSocketConnectionLost
                  : corv::platform::SocketErrorCode(got.error));
    return;
  }
  if (got.value == 0) return GiveUp(s, kIPCSocketConnectionLost);
  t->received.Append(scratch, got.value);
  Raise(s, s->sink.dataAvailable);
}

// The waiting connection replaces the listening handle.
void Accept(CORVipcSocket *s) {
  CORVipcTransport *t = s->transport;
  auto accepted = corv::platform::AcceptConnection(t->handle);
  if (!accepted.ok()) {
    if (!corv::platform::WouldBlock(accepted.error))
      RaiseError(s, corv::platform::SocketErrorCode(accepted.error));
    return;
  }
  HandedOver outer = gHandedOver;  // a handler may accept on another socket
  gHandedOver = {t->handle, t->port};
  t->handle = accepted.value;
  t->listening = false;
  struct CloseUntaken {
    HandedOver outer;
    ~CloseUntaken() {
      if (gHandedOver.handle != kNoSocket) corv::platform::CloseSocket(gHandedOver.handle);
      gHandedOver = outer;
    }
  } closeUntaken{outer};
  Connected(s);
}

void PollPass(CORVipcSocket *s) {
  CORVipcTransport *t = s->transport;
  const SocketHandle handle = t->handle;
  auto still = [&] { return s->transport && s->transport->handle == handle; };
  const bool connecting = !t->connected && !t->listening;
  auto ready = corv::platform::PollSocket(handle, t->connected || t->listening,
                                          connecting || t->toSend.size() > 0);
  if (!ready.ok()) return RaiseError(s, corv::platform::SocketErrorCode(ready.error));
  if (!ready.value.readable && !ready.value.writable && !ready.value.exceptional) {
    // Callers poll in a loop: give the processor to whoever we wait for.
    corv::platform::SleepMilliseconds(0);
    return;
  }
  if (ready.value.readable) {
    if (t->listening)
      Accept(s);
    else if (t->connected)
      Receive(s);
    if (!still()) return;
  }
  if (ready.value.writable) {
    if (connecting)
      Connected(s);
    else if (t->connected && t->toSend.size() > 0)
      SendSome(s);
    if (!still()) return;
  }
  if (ready.value.exceptional)
    GiveUp(s, t->connected ? kIPCSocketConnectionLost : kIPCSocketCannotConnect);
}

// The event loop's socket poll: one pass over every socket alive now.
void PollLiveSockets() {
  std::vector<corv::Ref<>> snapshot;
  snapshot.reserve(gSockets.size());
  for (CORVipcSocket *s : gSockets) snapshot.push_back(corv::Ref<>::Share(corv::AsObject(s)));
  for (const corv::Ref<> &s : snapshot) IPCSocketPoll(s.object());
}

CORVstring TakeBytes(ByteQueue &queue, size_t count, CORVobject encoding, bool consume) {
  count = std::min(count, queue.size());
  CORVstring out = RuntimeCreateString(queue.data(), static_cast<int32_t>(count),
                                       corv::stream::EncodingCodeOf(encoding));
  if (consume) queue.Consume(count);
  return out;
}

const CORVeventDecl kIPCSocketEvents[] = {
    {0x804, "Connected", "", ""},
    {0x804, "DataAvailable", "", ""},
    {0x804, "Error", "", ""},
    {0x804, "SendComplete", "userAborted as Boolean", ""},
    {0x804, "SendProgress", "bytesSent as Integer, bytesLeft as Integer", "Boolean"},
};

const CORVpropertyDecl kIPCSocketProperties[] = {
    {"Path", "String", reinterpret_cast<void *>(&IPCSocketPathGetter),
     reinterpret_cast<void *>(&IPCSocketPathSetter)},
    {"LastErrorCode", "Integer", reinterpret_cast<void *>(&IPCSocketLastErrorGetter), nullptr},
};

}  // namespace

const CORVclassDecl kIPCSocketDecl = corv::ClassDecl("IPCSocket", sizeof(CORVipcSocket))
                                         .Initializer(IPCSocketInitializer)
                                         .Finalizer(IPCSocketFinalizer)
                                         .Events(kIPCSocketEvents)
                                         .Properties(kIPCSocketProperties);

extern "C" uint16_t CORVIPCSocketPort(CORVstring path) {
  const char *bytes = CORVStringBytes(path);
  uint32_t h = 0;  // signed 32-bit arithmetic, wrapping, done unsigned
  for (uint32_t i = 0; i < CORVStringLength(path); ++i) {
    unsigned char b = static_cast<unsigned char>(bytes[i]);
    if (b >= 'a' && b <= 'z') b = static_cast<unsigned char>(b - 32);
    h = h * 31u + static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(b)));
  }
  int32_t remainder = static_cast<int32_t>(h) % 64510;  // takes the sign of h
  return static_cast<uint16_t>(remainder + 1025);
}

extern "C" void IPCSocketInitializer(CORVobject obj) {
  CORVipcSocket *s = AsSocket(obj);
  if (s->transport) return;  // already made
  s->transport = new CORVipcTransport();
  s->sink.connected = CORVEventIndex(obj->cls, "Connected");
  s->sink.dataAvailable = CORVEventIndex(obj->cls, "DataAvailable");
  s->sink.error = CORVEventIndex(obj->cls, "Error");
  gSockets.push_back(s);
  corv::SetSocketPollHook(&PollLiveSockets);
}

extern "C" void IPCSocketFinalizer(CORVobject obj) {
  CORVipcSocket *s = AsSocket(obj);
  gSockets.erase(std::remove(gSockets.begin(), gSockets.end(), s), gSockets.end());
  if (s->transport) CloseHandle(s->transport);
  delete s->transport;
  s->transport = nullptr;
  RuntimeUnlockString(s->path);
  s->path = nullptr;
}

extern "C" CORVstring IPCSocketPathGetter(CORVobject obj) {
  return RuntimeLockString(AsSocket(obj)->path);
}

extern "C" void IPCSocketPathSetter(CORVobject obj, CORVstring path) {
  CORVipcSocket *s = AsSocket(obj);
  s->path = RuntimeLockUnlockStrings(path, s->path);
}

extern "C" void IPCSocketConnect(CORVobject obj) {
  CORVipcSocket *s = AsSocket(obj);
  CORVipcTransport *t = TransportOf(s);
  if (!t) return;
  if (CORVStringLength(s->path) == 0) return RaiseError(s, kIPCSocketNoPath);
  CloseHandle(t);
  s->lastError = 0;  // a new attempt: its own failure or none
  t->ipcPath = true;
  t->port = CORVIPCSocketPort(s->path);
  auto started = corv::platform::StartLoopbackConnection(t->port);
  if (!started.ok()) return RaiseError(s, corv::platform::SocketErrorCode(started.error));
  t->handle = started.value.handle;
  if (started.value.connected) Connected(s);
}

extern "C" void IPCSocketListen(CORVobject obj) {
  CORVipcSocket *s = AsSocket(obj);
  CORVipcTransport *t = TransportOf(s);
  if (!t) return;
  if (CORVStringLength(s->path) == 0) return RaiseError(s, kIPCSocketNoPath);
  CloseHandle(t);
  s->lastError = 0;
  t->ipcPath = true;
  t->port = CORVIPCSocketPort(s->path);
  if (gHandedOver.handle != kNoSocket && gHandedOver.port == t->port) {
    t->handle = std::exchange(gHandedOver.handle, kNoSocket);
    t->listening = true;
    return;
  }
  auto listening = corv::platform::ListenOnLoopback(t->port);
  if (!listening.ok()) return RaiseError(s, corv::platform::SocketErrorCode(listening.error));
  t->handle = listening.value;
  t->listening = true;
}

extern "C" void IPCSocketPoll(CORVobject obj) {
  CORVipcSocket *s = AsSocket(obj);
  CORVipcTransport *t = TransportOf(s);
  if (!t || t->handle == kNoSocket || t->polling) return;
  corv::Ref<> keep = corv::Ref<>::Share(obj);  // a handler may drop the last reference
  t->polling = true;
  struct Done {
    CORVipcSocket *s;
    ~Done() {
      if (s->transport) s->transport->polling = false;
    }
  } done{s};
  PollPass(s);
}

extern "C" void IPCSocketWrite(CORVobject obj, CORVstring data) {
  CORVipcTransport *t = TransportOf(AsSocket(obj));
  if (!t || CORVStringLength(data) == 0) return;
  t->toSend.Append(data);
  t->sendPending = true;
}

extern "C" CORVstring IPCSocketRead(CORVobject obj, int32_t count, CORVobject encoding) {
  CORVipcTransport *t = TransportOf(AsSocket(obj));
  if (!t || count <= 0) return nullptr;
  return TakeBytes(t->received, static_cast<size_t>(count), encoding, true);
}

extern "C" CORVstring IPCSocketReadAll(CORVobject obj, CORVobject encoding) {
  CORVipcTransport *t = TransportOf(AsSocket(obj));
  if (!t) return nullptr;
  return TakeBytes(t->received, t->received.size(), encoding, true);
}

extern "C" CORVstring IPCSocketLookahead(CORVobject obj, CORVobject encoding) {
  CORVipcTransport *t = TransportOf(AsSocket(obj));
  if (!t) return nullptr;
  return TakeBytes(t->received, t->received.size(), encoding, false);
}

extern "C" int32_t IPCSocketBytesAvailable(CORVobject obj) {
  CORVipcTransport *t = TransportOf(AsSocket(obj));
  return t ? static_cast<int32_t>(std::min<size_t>(t->received.size(), INT32_MAX)) : 0;
}

extern "C" int32_t IPCSocketBytesLeftToSend(CORVobject obj) {
  CORVipcTransport *t = TransportOf(AsSocket(obj));
  return t ? static_cast<int32_t>(std::min<size_t>(t->toSend.size(), INT32_MAX)) : 0;
}

extern "C" bool IPCSocketIsConnected(CORVobject obj) {
  CORVipcTransport *t = TransportOf(AsSocket(obj));
  return t && t->connected;
}

extern "C" bool IPCSocketEOF(CORVobject obj) {
  CORVipcTransport *t = TransportOf(AsSocket(obj));
  return !t || (!t->connected && t->received.size() == 0);
}

extern "C" void IPCSocketFlush(CORVobject obj) {
  CORVipcSocket *s = AsSocket(obj);
  CORVipcTransport *t = TransportOf(s);
  if (!t || t->polling) return;
  corv::Ref<> keep = corv::Ref<>::Share(obj);
  // Hands over what the system takes now, never waiting for more room.
  while (s->transport && s->transport->connected && s->transport->toSend.size() > 0) {
    size_t before = s->transport->toSend.size();
    SendSome(s);
    if (s->transport && s->transport->toSend.size() == before) break;
  }
}

extern "C" void IPCSocketClose(CORVobject obj) {
  CORVipcTransport *t = TransportOf(AsSocket(obj));
  if (!t) return;
  CloseHandle(t);
  t->received.Clear();
  t->toSend.Clear();
  t->sendPending = false;
}

extern "C" int32_t IPCSocketLastErrorGetter(CORVobject obj) {
  return AsSocket(obj)->lastError;
}

extern "C" intptr_t IPCSocketGetHandle(CORVobject obj) {
  CORVipcTransport *t = TransportOf(AsSocket(obj));
  return t ? t->handle : kNoSocket;
}
