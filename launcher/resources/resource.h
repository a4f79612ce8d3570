/* Ids of the launcher's resources: the two dialog templates, the two icons
   and every control. Plain definitions only, so that a resource script can
   include this file as the C++ code does. */
#ifndef ARDMON_RESOURCE_H
#define ARDMON_RESOURCE_H

/* Dialog templates */
#define IDD_ARDMON_DIALOG 102 /* the main window, "Halvo Launcher" */
#define IDD_INIVIEW 130       /* the viewer, "View Environment" */

/* Icons */
#define IDR_MAINFRAME 138    /* the application icon */
#define IDI_START_TRADER 139 /* the image of the start button */

/* A control the code never addresses (the system's headers may have it) */
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

/* The hidden Cancel button of both windows: Esc and the close box */
#define IDC_CANCEL 2

/* Controls of the main window */
#define IDC_LOAD 1            /* "&Load", the default button */
#define IDC_PROFILES 1000     /* the profile list */
#define IDC_VIEW_CLIENT 1002  /* "&View": the client file */
#define IDC_CURRENT_ENV 1005  /* the last load, read-only */
#define IDC_VIEW_PROFILE 1006 /* "V&iew": the selected profile */
#define IDC_START_TRADER 1007 /* the icon button that starts the terminal */
#define IDC_LAUNCH 1008       /* "&Launch Halvo Trader" */

/* Controls of the viewer */
#define IDC_GET_KEYS 1     /* "&Get Keys", the default button */
#define IDC_SECTIONS 1003  /* the section names */
#define IDC_KEYS 1004      /* the key/value pairs */
#define IDC_FILE_NAME 1005 /* the shown file's name, read-only */

#endif /* ARDMON_RESOURCE_H */
