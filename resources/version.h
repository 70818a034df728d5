/* The program's version: read by the resource script and by the program. */
#ifndef VELTRIK_VERSION_H
#define VELTRIK_VERSION_H

#define VELTRIK_VERSION_MAJOR 1
#define VELTRIK_VERSION_MINOR 1
#define VELTRIK_VERSION_PATCH 0
#define VELTRIK_VERSION_BUILD 0
/* The version block's texts, and the caption's. */
#define VELTRIK_VERSION_TEXT "1.01"
#define VELTRIK_APP_TITLE "Veltrik v1.1.0.0"
#define VELTRIK_DESCRIPTION "A free tool to fix Windows Safe Mode."
#define VELTRIK_MAKER "Morvane Software"

#endif
