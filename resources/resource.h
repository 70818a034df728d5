/* Resource identifiers, shared by the resource script and the program. */
#ifndef VELTRIK_RESOURCE_H
#define VELTRIK_RESOURCE_H

#define IDI_VELTRIK 1
#define IDB_BACKGROUND_BAND 201
#define IDB_BACKGROUND_FIELD 205
#define IDB_BUTTON_FIX 202
#define IDB_BUTTON_ABOUT 203
#define IDB_BUTTON_EXIT 204

/* The SafeBoot templates, type "CUSTOM". */
#define IDR_TEMPLATE_XP 105
#define IDR_TEMPLATE_VISTA7 106
#define IDR_TEMPLATE_WIN7 107
#define IDR_TEMPLATE_WIN8 108
#define IDR_TEMPLATE_WIN10 109

#endif
