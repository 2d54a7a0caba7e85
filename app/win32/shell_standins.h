// The windows the main window places around its working area.
#pragma once

#include "app/win32/BitmapLink.h"
#include "app/win32/CFileList.h"
#include "app/win32/Info.h"
#include "app/win32/StatusText.h"
#include "app/win32/splash.h"
