/* Resource and control ids of both products' modules.  Plain #defines only:
   this file is read by the resource compiler as well as by the C++ dialog
   code of both platforms (the Mac dialog numbers its controls alike). */
#ifndef VEXLOR_RESOURCES_RESOURCE_H
#define VEXLOR_RESOURCES_RESOURCE_H

/* Plug-in property list, scripting terminology and the about text share
   one id; the host looks the first two up by type. */
#define VX_REGISTRATION_ID 16000
#define VX_MANIFEST_ID 2
#define VX_MANIFEST_TYPE 24

/* Dialog-level buttons and check boxes. */
#define IDC_OK 1
#define IDC_CANCEL 2
#define IDC_RESET_ALL 12
#define IDC_DESPECKLE 24              /* flag 1, Halvane only, hidden at start */
#define IDC_PREVIEW_WITHOUT_MIX 34    /* flag 2: Halvane's preview without mix-in */
#define IDC_INVERT_MATTE 34           /* flag 2: Glimra's matte inversion */
#define IDC_PROTECT_SHADOWS 44        /* flag 6, Halvane only */
#define IDC_RESET_NR 501              /* hidden at start */
#define IDC_PROFILE_DIGITAL_ON_LOAD 502 /* flag 3 */
#define IDC_PROFILE_DIGITAL 503
#define IDC_PROFILE_FILM_ON_LOAD 504  /* flag 4 */
#define IDC_PROFILE_FILM 505
#define IDC_ALWAYS_PROFILE 506        /* flag 7 */
#define IDC_CLEANER_SMOOTH_AREAS 507  /* flag 8, Halvane only */

/* Preview, overview and their commands. */
#define IDC_PREVIEW 900
#define IDC_SHOW_ORIGINAL 901
#define IDC_EYEDROPPER 902            /* command only, no control */
#define IDC_SAVE_SETTINGS 903
#define IDC_LOAD_SETTINGS 904
#define IDC_START_SELECTION 906       /* command only, no control */
#define IDC_SELECT_NOISE 907          /* Halvane only, hidden at start */
#define IDC_SUBTRACT_SELECTION 908    /* command only, no control */
#define IDC_OVERVIEW 913
#define IDC_ZOOM_100 914
#define IDC_ZOOM_200 915
#define IDC_ZOOM_400 917
#define IDC_SHOW_ADVANCED 931

/* Halvane's simple-mode instructions, hidden in advanced mode. */
#define IDC_HALVANE_INSTRUCTIONS_FIRST 932
#define IDC_HALVANE_INSTRUCTIONS_LAST 937
/* Glimra's instructions, always shown, and its spare hidden text. */
#define IDC_GLIMRA_INSTRUCTIONS_FIRST 3001
#define IDC_GLIMRA_INSTRUCTIONS_LAST 3005
#define IDC_GLIMRA_SPARE_TEXT 306

/* Label, slider and edit box of parameter value i (0..20): the slider of
   value i is 10(i+2)+1, its edit box the next id, its label the one before. */
#define IDC_PARAM_LABEL(i) (10 * ((i) + 2))
#define IDC_PARAM_SLIDER(i) (10 * ((i) + 2) + 1)
#define IDC_PARAM_EDIT(i) (10 * ((i) + 2) + 2)
#define VX_PARAM_CONTROL_COUNT 21

/* String table. */
#define IDS_ABOUT 16000
#define IDS_ABOUT_ESCAPED 16002       /* line breaks written as backslash-n */
#define IDS_INTEGER_RANGE 16990
#define IDS_DECIMAL_RANGE 16991
#define IDS_HOST_TOO_OLD 16992
#define IDS_HOST_INCOMPATIBLE 16993
#define IDS_SUITE_UNAVAILABLE 16994

#endif
