// The UI library: windows drawn from XML skins with GDI and GDI+, controls, notifications.
// Include this header; everything lives in namespace DuiLib.
#pragma once

#include "UIBase.h"
#include "UIControl.h"
#include "UIContainer.h"
#include "UIControls.h"
#include "UIManager.h"
#include "UIDlgBuilder.h"
#include "WinImplBase.h"
