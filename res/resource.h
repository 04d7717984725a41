#pragma once
// Identifiers shared by the resource script and the code.

#define IDD_RENAME 102
#define IDC_PROMPT 100
#define IDC_NEW_NAME 201
