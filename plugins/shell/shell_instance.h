// The Shell plugin's instance data, shared with applications that create
// Shell objects of their own class (the size a compiled application would
// take from the plugin's definition).
#pragma once

#include <stdbool.h>

#include "corv_types.h"

typedef struct CORVshellData {
  int32_t timeOut; /* milliseconds; -1: none */
  int32_t pid;
  int32_t mode; /* 0 synchronous; other modes run synchronously too */
  int32_t errorCode;
  bool isRunning;
  CORVstring result;     /* the whole standard output of the last command */
  uint32_t readPosition; /* how much of `result` ReadAll has handed out */
} CORVshellData;

/* Size of a Shell object: the object header, then the shell's data. */
#define CORV_SHELL_INSTANCE_SIZE (sizeof(CORVobjectHeader) + sizeof(CORVshellData))
