/* File streams: TextInputStream, TextOutputStream and BinaryStream over one
 * file primitive, and the FolderItem openers that make them. I/O failures
 * never raise: openers give nil, reads give short or empty results, and the
 * platform's error number is kept for LastErrorCode. */
#ifndef CORV_STREAM_H
#define CORV_STREAM_H

#include <stdbool.h>

#include "corv_object.h"

CORV_BEGIN_DECLS

/* One open file. Every platform read, write and position call on any
 * primitive holds the process-wide file lock. The runtime's primitives carry
 * their read-ahead after these fields, so only the runtime makes them. */
typedef struct CORVfilePrimitive {
  int32_t lastError; /* platform error number of the last failing call */
  uint8_t created;   /* this primitive created the file */
  intptr_t handle;   /* platform file handle */
} CORVfilePrimitive;

enum { kTextInputBufferSize = 1024 };

typedef struct CORVtextInputStream {
  CORVobjectHeader header;
  CORVfilePrimitive *file; /* null once closed */
  CORVobject encoding;     /* TextEncoding of the strings read, or nil */
  int32_t readPosition;    /* next unread byte of the buffer */
  int32_t bufferCount;     /* valid bytes in the buffer */
  uint8_t buffer[kTextInputBufferSize];
  int32_t keptError; /* the last error, kept after Close */
} CORVtextInputStream;

typedef struct CORVtextOutputStream {
  CORVobjectHeader header;
  CORVfilePrimitive *file;
  CORVstring delimiter; /* line terminator of WriteLine; empty: the platform's */
  int32_t keptError;
} CORVtextOutputStream;

typedef struct CORVbinaryStream {
  CORVobjectHeader header;
  CORVfilePrimitive *file;
  uint8_t littleEndian; /* false when made: numbers are big-endian */
  int32_t keptError;
} CORVbinaryStream;

extern const CORVclassDecl kTextInputStreamDecl;
extern const CORVclassDecl kTextOutputStreamDecl;
extern const CORVclassDecl kBinaryStreamDecl;

/* Openers on a FolderItem; nil on failure, with the platform's error number
 * in the item's LastErrorCode. */
CORVobject FolderItemOpenTextFile(CORVobject item);
CORVobject FolderItemCreateTextFile(CORVobject item);
CORVobject FolderItemAppendTextFile(CORVobject item);
CORVobject FolderItemOpenBinaryFile(CORVobject item, bool readWrite);
CORVobject FolderItemCreateBinaryFile(CORVobject item, CORVstring type);

/* TextInputStream. An encoding argument is a TextEncoding object or nil. */
CORVstring TextInputStreamReadLine(CORVobject stream, CORVobject encoding);
CORVstring TextInputStreamReadAll(CORVobject stream, CORVobject encoding);
CORVstring TextInputStreamRead(CORVobject stream, int32_t count, CORVobject encoding);
bool TextInputStreamEOF(CORVobject stream);
int64_t TextInputStreamGetPosition(CORVobject stream);
void TextInputStreamSetPosition(CORVobject stream, int64_t position);
void TextInputStreamClose(CORVobject stream);
int32_t TextInputStreamLastErrorGetter(CORVobject stream);
CORVobject TextInputStreamEncodingGetter(CORVobject stream);
void TextInputStreamEncodingSetter(CORVobject stream, CORVobject encoding);

/* TextOutputStream. */
void TextOutputStreamWrite(CORVobject stream, CORVstring text);
void TextOutputStreamWriteLine(CORVobject stream, CORVstring text);
void TextOutputStreamFlush(CORVobject stream);
void TextOutputStreamClose(CORVobject stream);
int32_t TextOutputStreamLastErrorGetter(CORVobject stream);
CORVstring TextOutputStreamDelimiterGetter(CORVobject stream);
void TextOutputStreamDelimiterSetter(CORVobject stream, CORVstring delimiter);

/* BinaryStream. */
CORVstring BinaryStreamRead(CORVobject stream, int32_t count, CORVobject encoding);
void BinaryStreamWrite(CORVobject stream, CORVstring data);
int32_t BinaryStreamReadByte(CORVobject stream);
void BinaryStreamWriteByte(CORVobject stream, int32_t value);
int32_t BinaryStreamReadShort(CORVobject stream);
void BinaryStreamWriteShort(CORVobject stream, int32_t value);
int32_t BinaryStreamReadLong(CORVobject stream);
void BinaryStreamWriteLong(CORVobject stream, int32_t value);
int64_t BinaryStreamGetPosition(CORVobject stream);
void BinaryStreamSetPosition(CORVobject stream, int64_t position);
int64_t BinaryStreamGetLength(CORVobject stream);
void BinaryStreamSetLength(CORVobject stream, int64_t length);
bool BinaryStreamEOF(CORVobject stream);
void BinaryStreamFlush(CORVobject stream);
void BinaryStreamClose(CORVobject stream);
int32_t BinaryStreamLastErrorGetter(CORVobject stream);
bool BinaryStreamLittleEndianGetter(CORVobject stream);
void BinaryStreamLittleEndianSetter(CORVobject stream, bool littleEndian);

CORV_END_DECLS

#endif
