/* Resource ids of Setup.exe: wizard page templates, their controls, the string
 * table and the side picture. Plain C preprocessor: included by the C++ sources,
 * by windres and by the preview tool. */
#ifndef KELVARO_SETUP_RESOURCE_H
#define KELVARO_SETUP_RESOURCE_H

/* Wizard page dialog templates */
#define IDD_WELCOME                  103
#define IDD_FINISH                   104
#define IDD_PROGRESS                 105
#define IDD_UPDATE                   106
#define IDD_REPAIR                   107
#define IDD_DOWNGRADE                108
#define IDD_PREREQUISITES            111
#define IDD_CONFIRM                  134
#define IDD_FEATURES                 137
#define IDD_RUNNINGAPPS              139
#define IDD_GHOSTSCRIPT              140

/* Side picture bitmap, shown by control IDC_SIDE_PICTURE on every page */
#define IDB_SIDE_PICTURE             500

/* Controls. Ids shared by several pages have one name per role. */
#define IDC_REMOVE_EXISTING_CHECK    1001 /* Downgrade: "Remove existing product" */
#define IDC_DOWNGRADE_TEXT           1003
#define IDC_PROGRESS_BAR             1004
#define IDC_REPAIR_TEXT              1005
#define IDC_REPAIR_RADIO             1006
#define IDC_REPAIR_REMOVE_RADIO      1007
#define IDC_UPDATE_TEXT              1008
#define IDC_UPDATE_RADIO             1009
#define IDC_UPDATE_REMOVE_RADIO      1010
#define IDC_CONFIRM_TEXT             1012
#define IDC_FEATURE_TREE             1013
#define IDC_MODIFY_RADIO             1014
#define IDC_FINISH_TEXT              1015
#define IDC_DEFAULT_BUTTON           1016
#define IDC_RUNNINGAPPS_TEXT         1017
#define IDC_RETRY_BUTTON             1018
#define IDC_PREREQUISITES_LIST       1019
#define IDC_PREREQUISITES_LABEL      1020
#define IDC_JOB_DESCRIPTION          1021
#define IDC_RUN_AFTER_INSTALL_CHECK  1022
#define IDC_LANGUAGE_LABEL           1023
#define IDC_LANGUAGE_COMBO           1024
#define IDC_SIDE_PICTURE             1025
#define IDC_PRODUCT_TITLE            1026
#define IDC_FEATURES_TEXT            1028
#define IDC_PROGRESS_TEXT            1029
#define IDC_CLICK_NEXT_TEXT          1030
#define IDC_INSTALLER_VERSION        1031
#define IDC_INSTALLED_VERSION        1032 /* Update and Downgrade pages */
#define IDC_FEATURE_DESCRIPTION      1032 /* Features page */
#define IDC_PREREQUISITES_HINT       1033
#define IDC_GHOSTSCRIPT_LABEL        1036
#define IDC_GHOSTSCRIPT_LIST         1037
#define IDC_GHOSTSCRIPT_TEXT         1038
#define IDC_FINISH_LINK              1040

/* String table */
#define IDS_FINISH                   133 /* Finish button caption */
#define IDS_INSTALL                  136 /* Next caption on the confirmation page, by mode */
#define IDS_REMOVE                   137
#define IDS_REPAIR                   138
#define IDS_UPDATE                   139
#define IDS_CONFIRM_INSTALL          140 /* confirmation texts, by mode */
#define IDS_CONFIRM_REMOVE           141
#define IDS_CONFIRM_REPAIR           142
#define IDS_CONFIRM_UPDATE           143
#define IDS_NEXT                     144
#define IDS_MODIFY                   145
#define IDS_CONFIRM_MODIFY           146
#define IDS_DONE_INSTALL             147 /* success texts of the finish page, by mode */
#define IDS_DONE_UPDATE              148
#define IDS_DONE_REPAIR              149
#define IDS_DONE_MODIFY              150
#define IDS_DONE_REMOVE              151
#define IDS_SETUP_FAILED             152 /* %d code, %x code */
#define IDS_LANGUAGE_CODE            153 /* "en-US", "de-DE", "fr-FR", "nl-NL" */
#define IDS_PREREQUISITES_HINT       154
#define IDS_JOB_DOWNLOADING          155 /* job descriptions: %s display name */
#define IDS_JOB_INSTALLING           156
#define IDS_JOB_REMOVING             157
#define IDS_JOB_MODIFYING            158
#define IDS_JOB_REPAIRING            159
#define IDS_PRODUCT_NAME             160
#define IDS_JOB_STARTING_SERVICE     161
#define IDS_JOB_STOPPING_SERVICE     162
#define IDS_PRINT_SPOOLER            163
#define IDS_BACK                     164
#define IDS_HELP                     165
#define IDS_CANCEL                   166
#define IDS_INSTALLED_VERSION        167 /* %s version text */
#define IDS_INSTALLER_VERSION        168 /* %s version text */
#define IDS_SELECT_ITEM              169
#define IDS_DOWNLOAD_FAILED          170 /* %s display name, %s address */
#define IDS_SETUP_FAILED_DETAIL      171 /* %s detail, %d code, %x code */
#define IDS_REBOOT_REQUIRED          172
#define IDS_REBOOT                   173 /* Finish button caption when a reboot is needed */
#define IDS_LEGACY_GHOSTSCRIPT_HINT  174
#define IDS_DOWNLOAD_FAILED_FAX      175 /* link markup: %s Ghostscript address, %s eDocPrintPro address, %s detail */
#define IDS_DOWNLOAD_FAILED_DOTNET   176 /* link markup: %s address, %s link text, %s detail */
#define IDS_SETUP_FILES_FAILED       177 /* message box: %s system text, %d code, %x code */
#define IDS_USAGE                    178 /* the usage text of /? (console or message box) */

#endif /* KELVARO_SETUP_RESOURCE_H */
