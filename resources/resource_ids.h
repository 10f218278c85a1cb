// Resource and control identifiers. Plain #defines: the resource compiler reads this file too.
#ifndef SELVANE_RESOURCE_IDS_H
#define SELVANE_RESOURCE_IDS_H

#define IDD_PERFORMANCE 101
#define IDM_CONTEXT 102
#define IDI_MONITOR 106
#define IDI_GAUGE_FIRST 108 /* 108 to 119 */
#define IDI_GAUGE_LAST 119
#define IDR_REMOTE_PAGE 120 /* the remote endpoint's page, RCDATA */
#define IDD_PROCESSES 109

/* Performance page */
#define IDC_CPU_HISTORY 1022
#define IDC_MEM_HISTORY 1023
#define IDC_CPU_GAUGE 1024
#define IDC_MEM_GAUGE 1025
#define IDC_TOTALS_GROUP 1036
#define IDC_PHYSICAL_GROUP 1037
#define IDC_PROCESS_TOTAL 1043
#define IDC_THREAD_TOTAL 1044
#define IDC_PHYS_TOTAL 1045
#define IDC_PHYS_AVAILABLE 1046
#define IDC_STATUS_TEXT 4001
#define IDC_DISABLE_DFS 4002
#define IDC_SET_TARGET 4003
#define IDC_DOMAIN_LIST 4004
#define IDC_TARGET_MHZ 4005

/* Processes page */
#define IDC_PROCESS_LIST 1023
#define IDC_THREAD_LIST 1024
#define IDC_PAUSE_LISTS 1025

/* Context menu commands */
#define IDM_KILL_PROCESS 40097
#define IDM_SHOW_THREADS 40098
#define IDM_PRIORITY_HIGH 40099
#define IDM_PRIORITY_NORMAL 40100
#define IDM_PRIORITY_LOW 40101
#define IDM_AFFINITY_NONE 6001 /* 6001 + affinity value, up to 6005 */
#define IDM_AFFINITY_CPU1 6002
#define IDM_AFFINITY_CPU2 6003
#define IDM_AFFINITY_CPU3 6004
#define IDM_AFFINITY_CPU4 6005

#endif
