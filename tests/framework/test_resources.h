// Resource identifiers of the framework tests' resource script.
#ifndef TESTS_FRAMEWORK_TEST_RESOURCES_H_
#define TESTS_FRAMEWORK_TEST_RESOURCES_H_

#define IDD_PLAIN 100        // a dialog with a Western (ANSI) template font
#define IDD_JAPANESE 101     // a dialog with a Shift-JIS template font
#define IDD_NO_SETFONT 102   // a dialog without a template font
#define IDC_LABEL 1001
#define IDC_BUTTON 1002
#define IDM_MAIN 200
#define IDM_OPEN 201
#define IDM_QUIT 202
#define IDM_RECENT 203

#endif  // TESTS_FRAMEWORK_TEST_RESOURCES_H_
