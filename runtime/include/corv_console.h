/* Console output: Print and the standard-error stream object. */
#ifndef CORV_CONSOLE_H
#define CORV_CONSOLE_H

#include <stdbool.h>

#include "corv_object.h"
#include "corv_types.h"

CORV_BEGIN_DECLS

/* A console stream object: set for standard output, clear for standard error. */
typedef struct CORVstdOutputStream {
  CORVobjectHeader header;
  bool isStdOut;
} CORVstdOutputStream;
extern const CORVclassDecl kStdOutputStreamDecl;

/* Print(s): s and a line ending to standard output, flushed. */
void RuntimeConsolePrint(CORVstring s);
/* The standard-error stream object: one shared object, never freed. */
CORVobject RuntimeGetStdErr(void);
void RuntimeStdOutputStreamWrite(CORVobject stream, CORVstring s);
void RuntimeStdOutputStreamWriteLine(CORVobject stream, CORVstring s);
void RuntimeStdOutFlush(CORVobject stream);

CORV_END_DECLS

#endif
