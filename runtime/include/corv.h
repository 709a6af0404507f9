/* Public C interface of the Corvane console runtime: every entry point the
 * application, plugins and tests call, with C linkage under its own name. */
#ifndef CORV_H
#define CORV_H

#include "corv_array.h"
#include "corv_console.h"
#include "corv_date.h"
#include "corv_dictionary.h"
#include "corv_app.h"
#include "corv_event_loop.h"
#include "corv_exception.h"
#include "corv_folderitem.h"
#include "corv_ipc_socket.h"
#include "corv_loader.h"
#include "corv_object.h"
#include "corv_plugin.h"
#include "corv_runtime.h"
#include "corv_stream.h"
#include "corv_string.h"
#include "corv_thread.h"
#include "corv_types.h"
#include "corv_variant.h"

#endif
