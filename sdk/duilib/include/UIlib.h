// The UI library: windows drawn from XML skins with GDI and GDI+, controls, notifications.
// Include this header; everything lives in namespace DuiLib.
#pragma once

#include "UIBase.h"
#include "UIContainer.h"
#include "UIControl.h"
#include "UIControls.h"
#include "UIDlgBuilder.h"
#include "UIManager.h"
#include "WinImplBase.h"
