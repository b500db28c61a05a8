// The framework layer the application is written against: one include for all of it.
#pragma once

#include <windows.h>

#include "afx/afx_app.h"
#include "afx/afx_dialog.h"
#include "afx/afx_file.h"
#include "afx/afx_msgmap.h"
#include "afx/afx_string.h"
#include "afx/afx_wnd.h"
#include "afx/handles.h"
