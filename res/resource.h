/* Resource ids of Selvo.flt, shared by the resource script and the code. */
#ifndef SELVO_RESOURCE_H
#define SELVO_RESOURCE_H

/* String table */
#define IDS_CLASS_NAME 1
#define IDS_CATEGORY 2
#define IDS_LIB_DESCRIPTION 3
#define IDS_FILTER_DESCRIPTION 5

#endif
