// Numeric identifiers of every resource and command; shared by the .rc file and the code.
#ifndef VANTREL_RESOURCE_H
#define VANTREL_RESOURCE_H

// Menu bar and shortcut table
#define IDR_MAINMENU    4001
#define IDR_ACCEL       107

// Commands: menu items, shortcuts and the Spy button
#define IDM_CLEAR       4002
#define IDM_CONNECT     4003
#define IDM_SPYING      4004
#define IDM_EXIT        4005
#define IDM_SPOOLTO     4006
#define IDM_SPOOLING    4007
#define IDM_COPY        4008
#define IDM_DELETE      4009
#define IDM_ABOUT       4011
#define IDM_OPTIONS     4012
#define IDM_DISPLAY     4013

// Dialog templates
#define IDD_CONNECT     101
#define IDD_ABOUT       110
#define IDD_OPTIONS     111
#define IDD_DISPLAY     113

// Dialog controls
#define IDC_USERNAME    1001
#define IDC_PASSWORD    1002
#define IDC_DATABASE    1003
#define IDC_PIPENAME    1004
#define IDC_ABOUTICON   1005
#define IDC_INTERVAL    1006
#define IDC_MESSAGE     1007
#define IDC_PHYSICAL    1008
#define IDC_PAGED       1009
#define IDC_VIRTUAL     1010
#define IDC_VERSION     1012

// Settings store texts; there is deliberately no string 5 (the password is never stored)
#define IDS_APPKEY      1
#define IDS_REGROOT     2
#define IDS_KEYCLASS    3
#define IDS_USER        4
#define IDS_DATABASE    6
#define IDS_PIPE        7
#define IDS_TIMERSPEED  8

// Icons
#define IDI_MAIN        102
#define IDI_SMALL       106
#define IDI_CONNECT     108
#define IDI_SPY         109
#define IDI_OPTIONS     112
#define IDI_DISPLAY     114

#endif
