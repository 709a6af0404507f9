/* Process-wide services: the failure reporter and the runtime link table. */
#ifndef CORV_RUNTIME_H
#define CORV_RUNTIME_H

#include "corv_types.h"

CORV_BEGIN_DECLS

/* Reports an internal consistency failure. Never stops the program. */
void CORVReportFailure(const char *file, int32_t line, const char *condition, const char *message);

/* A second reporter, called after the default one (the remote debugger's slot). */
typedef void (*CORVFailureReporter)(const char *file, int32_t line, const char *condition,
                                    const char *message);
void CORVSetSecondFailureReporter(CORVFailureReporter reporter);

/* System.DebugLog: hands the text to the platform's debug log with nothing
 * added; an empty text is not sent. */
void SystemDebugLogger(CORVstring text);

/* Finds an entry point by name: fixed entries first, then dynamic ones, ASCII
 * case ignored, first match wins. Null when there is none. */
void *CORVLookupLinkEntry(const char *name);

/* Appends a dynamic link-table entry; a name already present with another
 * function is reported and the first registration stays. */
void registerLinkEntry(const char *name, void *function);

CORV_END_DECLS

#define CORV_REPORT(condition, message) \
  CORVReportFailure(__FILE__, __LINE__, (condition), (message))
/* Reports `cond` (as its own text) when it does not hold. */
#define CORV_CHECK(cond) ((cond) ? (void)0 : CORVReportFailure(__FILE__, __LINE__, #cond, NULL))

#endif
