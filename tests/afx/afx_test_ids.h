#pragma once
#define IDD_THROWING 200
#define IDC_THROW 300
