/* Resource and command ids, shared by the code and palvorine.rc. */
#ifndef PALVORINE_RESOURCE_H
#define PALVORINE_RESOURCE_H

/* Dialog templates */
#define IDD_VERSION             103
#define IDD_MAIN                129

/* Menus */
#define IDR_MAIN_MENU           109

/* Icons */
#define IDI_APP                 107

/* Menu commands */
#define IDM_VERSION             104
#define IDM_EXIT                105

/* Main dialog edit controls: IDC_FIELD_BASE + field index */
#define IDC_FIELD_BASE          1000
#define IDC_PRODUCT_NAME        1000
#define IDC_VERSION             1001
#define IDC_ORGANIZATION        1002
#define IDC_OWNER               1003
#define IDC_PRODUCT_ID          1004
#define IDC_PRODUCT_KEY         1005
#define IDC_PLUS_VERSION        1006
#define IDC_CURRENT_USER        1007
#define IDC_COMPUTER_NAME       1008
#define IDC_WORKGROUP           1009

/* Version dialog: the icon static keeps id 2 */
#define IDC_VERSION_ICON        2

#ifndef IDC_STATIC
#define IDC_STATIC              (-1)
#endif

#endif
