// Resource identifiers of the updater (resources/updater.rc).
#ifndef RESOURCES_UPDATER_RESOURCES_H_
#define RESOURCES_UPDATER_RESOURCES_H_

#define IDD_UPDATE 101     // the progress dialog
#define IDI_UPDATER 102    // the icon group
#define IDC_PROGRESS 1001  // progress bar, range 0 to 30000
#define IDC_NAME 1002      // the file or entry being processed
#define IDC_STATUS 1003    // the status line

#endif  // RESOURCES_UPDATER_RESOURCES_H_
