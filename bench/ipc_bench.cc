// The IPC socket against plain blocking socket calls in the same run:
// delivering a 100-byte script (connect, write, wait until sent, close) the
// way CorvaneIDE does, and pushing 64 MiB through Write and Poll.
#include <benchmark/benchmark.h>

#include <string>
#include <thread>

#include "corv.h"
#include "corv/ipc_socket.h"
#include "platform/blocking_socket.h"

namespace {

namespace blocking = corv::platform::blocking;

const corv::String &PeerPath() {
  static const corv::String path("/tmp/kilnrun-ipc-bench");
  return path;
}

// A peer that accepts connections one after another and reads each to its
// end, on a thread of its own for the whole run.
uint16_t DrainingPeer() {
  static const uint16_t port = [] {
    uint16_t port = corv::IPCSocketPort(PeerPath());
    auto listener = blocking::Listen(port);
    if (!listener.ok()) return uint16_t{0};
    std::thread([handle = listener.value] {
      static char buffer[1 << 20];
      for (;;) {
        auto connection = blocking::Accept(handle);
        if (!connection.ok()) continue;
        for (;;) {
          auto got = blocking::Receive(connection.value, buffer, sizeof buffer);
          if (!got.ok() || got.value == 0) break;
        }
        corv::platform::CloseSocket(connection.value);
      }
    }).detach();
    return port;
  }();
  return port;
}

const std::string kScript(100, 's');

// Connect, Write, Poll until every byte has left, Close.
void BM_DeliverScriptIPCSocket(benchmark::State &state) {
  if (!DrainingPeer()) return state.SkipWithError("no port for the peer");
  corv::String script(kScript);
  for (auto _ : state) {
    corv::Ref<corv::IPCSocket> s = corv::IPCSocket::New();
    s->SetPath(PeerPath());
    s->Connect();
    s->Write(script);
    while ((!s->IsConnected() || s->BytesLeftToSend() > 0) && s->LastErrorCode() == 0) s->Poll();
    if (s->LastErrorCode() != 0) return state.SkipWithError("delivery failed");
    s->Close();
  }
}
// A fixed count of deliveries stays within the peer's queue of waiting
// connections, so the figure is the sender's and not the peer thread's (on
// a busy machine it is scheduled late), and far from the system's range of
// ports, each of which a closed connection holds for a while.
BENCHMARK(BM_DeliverScriptIPCSocket)->Iterations(1000)->Unit(benchmark::kMicrosecond);

void BM_DeliverScriptBlocking(benchmark::State &state) {
  uint16_t port = DrainingPeer();
  if (!port) return state.SkipWithError("no port for the peer");
  for (auto _ : state) {
    auto s = blocking::Connect(port);
    if (!s.ok() || !blocking::SendAll(s.value, kScript.data(), kScript.size()).ok())
      return state.SkipWithError("delivery failed");
    corv::platform::CloseSocket(s.value);
  }
}
BENCHMARK(BM_DeliverScriptBlocking)->Iterations(1000)->Unit(benchmark::kMicrosecond);

constexpr size_t kLarge = 64 << 20;

void BM_Write64MiBIPCSocket(benchmark::State &state) {
  if (!DrainingPeer()) return state.SkipWithError("no port for the peer");
  corv::String data(std::string_view(std::string(kLarge, 'x')), 0xFFFF);
  for (auto _ : state) {
    corv::Ref<corv::IPCSocket> s = corv::IPCSocket::New();
    s->SetPath(PeerPath());
    s->Connect();
    s->Write(data);
    while ((!s->IsConnected() || s->BytesLeftToSend() > 0) && s->LastErrorCode() == 0) s->Poll();
    if (s->LastErrorCode() != 0) return state.SkipWithError("write failed");
    s->Close();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kLarge));
}
BENCHMARK(BM_Write64MiBIPCSocket)->Unit(benchmark::kMillisecond);

void BM_Write64MiBBlocking(benchmark::State &state) {
  uint16_t port = DrainingPeer();
  if (!port) return state.SkipWithError("no port for the peer");
  std::string data(kLarge, 'x');
  for (auto _ : state) {
    auto s = blocking::Connect(port);
    if (!s.ok() || !blocking::SendAll(s.value, data.data(), data.size()).ok())
      return state.SkipWithError("write failed");
    corv::platform::CloseSocket(s.value);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kLarge));
}
BENCHMARK(BM_Write64MiBBlocking)->Unit(benchmark::kMillisecond);

}  // namespace
