/* The Shell class of the shell plugin as applications see it: the size of
 * its objects (for an application that declares its own Shell class over
 * the plugin's members), its modes and the ErrorCode of a command ended by
 * its TimeOut. Its members are reached through the plugin entries.
 *
 * Mode 0 (synchronous, the default): Execute returns when the command has
 *   finished; Result then holds its whole standard output and ErrorCode its
 *   exit status. A TimeOut above 0 (milliseconds) ends a command that runs
 *   longer; ErrorCode is then CORV_SHELL_TIMED_OUT and Result holds the
 *   output written until then.
 * Mode 1 (asynchronous): Execute returns once the command has started;
 *   Poll, which the event loop calls while the command runs, collects its
 *   output and sees its end: IsRunning turns false and ErrorCode takes the
 *   exit status. PID is the command interpreter's process.
 * Mode 2 (interactive): as mode 1, and Write and WriteLine (ending the line
 *   with "\n") feed the command's standard input, which in the other modes
 *   is empty.
 * Other values run as mode 0.
 *
 * Result is all the output collected since Execute; ReadAll collects what is
 * there and returns the output not returned by an earlier ReadAll. Close
 * ends a running command and every program it started (ErrorCode: how it
 * ended, 128 + the signal); Execute ends a command still running before it
 * starts the next, and so does dropping the Shell. Write and WriteLine raise
 * ShellNotRunningException when no interactive command runs or it no longer
 * reads its input; Execute raises ShellNotAvailableException when the
 * command interpreter cannot be started. */
#ifndef CORV_SHELL_H
#define CORV_SHELL_H

#include "corv_types.h"

CORV_BEGIN_DECLS

enum { kShellSynchronous = 0, kShellAsynchronous = 1, kShellInteractive = 2 };

/* ErrorCode of a synchronous command ended by its TimeOut: what timeout(1)
 * gives for a command it had to end. */
#define CORV_SHELL_TIMED_OUT 124

/* Bytes of the plugin's own data after the object header. */
#define CORV_SHELL_DATA_SIZE 96
/* Size of a Shell object: the object header, then the shell's data. */
#define CORV_SHELL_INSTANCE_SIZE (sizeof(CORVobjectHeader) + CORV_SHELL_DATA_SIZE)

CORV_END_DECLS

#endif
