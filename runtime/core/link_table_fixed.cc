// The fixed part of the runtime link table. Each module lists its entry
// points in its own ".entries" file; the order of the files is the table's.
#include "core/link_table.h"
#include "corv.h"

#define CORV_LINK(function) {#function, reinterpret_cast<void *>(&function), 0, 0},
#define CORV_LINK_AS(name, function) {name, reinterpret_cast<void *>(&function), 0, 0},

namespace {

const CORVlinkEntry kFixedEntries[] = {
#include "core/exception.entries"
#include "core/loader.entries"
#include "core/app.entries"
#include "core/event_loop.entries"
#include "core/thread.entries"
#include "core/plugin.entries"
#include "core/object.entries"
#include "core/runtime.entries"
#include "lib/array.entries"
#include "lib/date.entries"
#include "lib/dictionary.entries"
#include "lib/folder_item.entries"
#include "lib/stream.entries"
#include "lib/ipc_socket.entries"
#include "lib/string.entries"
#include "lib/console.entries"
};

}  // namespace

const CORVlinkEntry *corv::FixedLinkEntries(size_t *count) {
  *count = sizeof kFixedEntries / sizeof kFixedEntries[0];
  return kFixedEntries;
}
