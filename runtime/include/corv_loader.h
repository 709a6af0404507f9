/* The application image loader: finding, placing and linking the image, its
 * resources, options and symbols. */
#ifndef CORV_LOADER_H
#define CORV_LOADER_H

#include <stdbool.h>

#include "corv_types.h"

CORV_BEGIN_DECLS

/* The image's entry function (code offset 0). Images of this platform cannot
 * run their code, so the application registers a native entry that stands in
 * for it before the loader runs. */
typedef void (*CORVImageEntry)(void);
void CORVSetImageEntry(CORVImageEntry entry);

/* Finds, reads, places and links the image, calls its entry and then
 * destroys the at-exit objects. */
void loadAndRunImage(void);
/* Applies the link records to the placed code. */
void linkImage(const uint8_t *records, uint32_t length);
/* Fills the resource table from a resources segment (which must stay
 * allocated); `fileOffset` is its position in the executable, or 0. */
void registerResources(const uint8_t *records, uint32_t length, uint32_t fileOffset);
/* Reads the option records. */
void applyOptions(const uint8_t *records, uint32_t length);
/* The image function holding a code address: its name (one reference for
 * the caller) and the offset within it. False when not found. */
bool symbolFor(uint32_t address, CORVstring *name, uint32_t *offset);

/* One entry of the resource table. `name` is null for a record without a name. */
typedef struct CORVresource {
  uint32_t type; /* four-character code stored little-endian: "xnVC" is 'CVnx' */
  uint16_t id;
  const uint8_t *data;
  uint32_t length;
  const char *name;
  uint32_t fileOffset;
} CORVresource;
int32_t CORVResourceCount(void);
const CORVresource *CORVResourceAt(int32_t index);
/* The first resource of that type and id, or null. */
const CORVresource *CORVFindResource(uint32_t type, uint16_t id);

/* The option text of the image (one reference for the caller) and whether
 * any option record was present. */
CORVstring CORVImageOptions(void);
bool CORVImageHasOptions(void);

CORV_END_DECLS

/* A four-character code from its letters, as resource types are written. */
#define CORV_FOUR_CHAR(a, b, c, d) \
  (((uint32_t)(a) << 24) | ((uint32_t)(b) << 16) | ((uint32_t)(c) << 8) | (uint32_t)(d))

#endif
