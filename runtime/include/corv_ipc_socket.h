/* IPCSocket: a byte stream between two programs on this machine that agree
 * on a path text, carried over 127.0.0.1 at a port computed from the path.
 * Nothing happens on the wire except inside Poll (called directly or by
 * every event-loop step), which raises Connected, DataAvailable and Error.
 * Failures never raise: they arrive as Error with the code kept first. */
#ifndef CORV_IPC_SOCKET_H
#define CORV_IPC_SOCKET_H

#include <stdbool.h>

#include "corv_object.h"

CORV_BEGIN_DECLS

/* Error codes of their own; any other is the system's socket error number in
 * the BSD numbering (61 refused, 54 reset, 48 port in use, ...). */
enum {
  kIPCSocketConnectionLost = 102, /* the peer closed or reset the connection */
  kIPCSocketCannotConnect = 103,  /* the connection could not be made */
  kIPCSocketNoPath = 106,         /* Connect or Listen without a Path */
};

typedef struct CORVipcTransport CORVipcTransport;

typedef struct CORVipcSocket {
  CORVobjectHeader header;
  /* The indices of Connected, DataAvailable and Error in the object's class:
   * how transport notifications become the object's events. */
  struct {
    int32_t connected, dataAvailable, error;
  } sink;
  CORVipcTransport *transport;
  CORVstring path;
  int32_t lastError;
} CORVipcSocket;

extern const CORVclassDecl kIPCSocketDecl;
/* Event handlers take the socket only; Error's code is in LastErrorCode. */
typedef void (*CORVIPCSocketEventHandler)(CORVobject socket);

void IPCSocketInitializer(CORVobject socket);
void IPCSocketFinalizer(CORVobject socket);
CORVstring IPCSocketPathGetter(CORVobject socket);
void IPCSocketPathSetter(CORVobject socket, CORVstring path);
void IPCSocketConnect(CORVobject socket);
void IPCSocketListen(CORVobject socket);
void IPCSocketPoll(CORVobject socket);
void IPCSocketWrite(CORVobject socket, CORVstring data);
/* An encoding argument is a TextEncoding object or nil (bytes 0xFFFF). */
CORVstring IPCSocketRead(CORVobject socket, int32_t count, CORVobject encoding);
CORVstring IPCSocketReadAll(CORVobject socket, CORVobject encoding);
CORVstring IPCSocketLookahead(CORVobject socket, CORVobject encoding);
int32_t IPCSocketBytesAvailable(CORVobject socket);
int32_t IPCSocketBytesLeftToSend(CORVobject socket);
bool IPCSocketIsConnected(CORVobject socket);
bool IPCSocketEOF(CORVobject socket);
void IPCSocketFlush(CORVobject socket);
void IPCSocketClose(CORVobject socket);
int32_t IPCSocketLastErrorGetter(CORVobject socket);
intptr_t IPCSocketGetHandle(CORVobject socket);

/* The loopback port both ends derive from a path. */
uint16_t CORVIPCSocketPort(CORVstring path);

CORV_END_DECLS

#endif
